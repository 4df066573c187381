#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emotes/ImageDecoder.h"
#include "sim/emotes/ImageEncoders.h"

namespace vlo {
namespace {

using sim::GifFrame;
using sim::GifSpec;
using sim::RgbaImage;

// A small picture with every alpha class: opaque, transparent and half-covered pixels.
RgbaImage TestPicture(uint32_t width, uint32_t height) {
  RgbaImage image{width, height};
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      uint8_t* p = image.At(x, y);
      p[0] = static_cast<uint8_t>(40 + x * 20);
      p[1] = static_cast<uint8_t>(200 - y * 30);
      p[2] = 90;
      p[3] = (x + y) % 3 == 0 ? 255 : ((x + y) % 3 == 1 ? 0 : 128);
    }
  }
  return image;
}

RgbaImage Solid(uint32_t width, uint32_t height, uint8_t r, uint8_t g, uint8_t b) {
  RgbaImage image{width, height};
  for (size_t i = 0; i < image.rgba.size(); i += 4) {
    image.rgba[i] = r;
    image.rgba[i + 1] = g;
    image.rgba[i + 2] = b;
    image.rgba[i + 3] = 255;
  }
  return image;
}

void ExpectPremultiplied(const DecodedImage& decoded, const RgbaImage& source, int tolerance) {
  ASSERT_EQ(decoded.width, source.width);
  ASSERT_EQ(decoded.height, source.height);
  ASSERT_EQ(decoded.frames.size(), 1u);
  EXPECT_TRUE(decoded.delays.empty());
  EXPECT_EQ(decoded.totalMs, 0);
  const std::vector<uint8_t>& frame = decoded.frames[0];
  ASSERT_EQ(frame.size(), size_t{source.width} * source.height * 4);
  for (uint32_t y = 0; y < source.height; ++y) {
    for (uint32_t x = 0; x < source.width; ++x) {
      const uint8_t* s = source.At(x, y);
      const uint8_t* d = frame.data() + (size_t{y} * source.width + x) * 4;
      const int a = s[3];
      const int expected[4] = {(s[2] * a + 127) / 255, (s[1] * a + 127) / 255,
                               (s[0] * a + 127) / 255, a};
      for (int c = 0; c < 4; ++c) {
        EXPECT_NEAR(d[c], expected[c], tolerance) << "pixel " << x << "," << y << " byte " << c;
      }
    }
  }
}

TEST(ImageDecoderTest, StillImagesDecodeToPremultipliedBgra) {
  const RgbaImage picture = TestPicture(5, 4);
  auto png = DecodeImage(sim::EncodePng(picture));
  ASSERT_TRUE(png);
  ExpectPremultiplied(*png, picture, 1);

  auto webp = DecodeImage(sim::EncodeWebp(picture));
  ASSERT_TRUE(webp);
  ExpectPremultiplied(*webp, picture, 1);

  const RgbaImage opaque = Solid(16, 8, 200, 100, 30);
  auto jpeg = DecodeImage(sim::EncodeJpeg(opaque, 95));
  ASSERT_TRUE(jpeg);
  ExpectPremultiplied(*jpeg, opaque, 4);  // lossy
}

TEST(ImageDecoderTest, RejectsOversizedAndBrokenInput) {
  const std::string png = sim::EncodePng(TestPicture(40, 30));
  const std::string jpeg = sim::EncodeJpeg(Solid(40, 30, 1, 2, 3));
  const std::string webp = sim::EncodeWebp(TestPicture(40, 30));
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"empty", ""},
      {"unknown format", "hello, not an image"},
      {"wide png", sim::EncodePng(Solid(2048, 16, 1, 2, 3))},
      {"tall jpeg", sim::EncodeJpeg(Solid(8, 1025, 1, 2, 3))},
      {"wide webp", sim::EncodeWebp(Solid(1100, 2, 1, 2, 3))},
      {"truncated png", png.substr(0, png.size() / 2)},
      {"truncated jpeg", jpeg.substr(0, jpeg.size() - 40)},
      {"truncated webp", webp.substr(0, webp.size() - 10)},
      {"over 8 MiB", std::string(png) + std::string(kMaxEncodedBytes, '\0')},
  };
  for (const Case& c : cases) EXPECT_FALSE(DecodeImage(c.bytes)) << c.name;
  EXPECT_TRUE(DecodeImage(sim::EncodePng(Solid(1024, 4, 1, 2, 3)))) << "1024 is allowed";
}

uint32_t Crc32(std::string_view bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char byte : bytes) {
    crc ^= byte;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

TEST(ImageDecoderTest, PngHeaderLyingAboutItsSizeIsRejected) {
  std::string png = sim::EncodePng(Solid(4, 4, 1, 2, 3));
  // IHDR's width and height are bytes 16..23; claim 100000 x 100000 with a valid CRC, so the
  // file is rejected for its size rather than for damage, and before any pixel buffer exists.
  const unsigned char huge[8] = {0, 1, 0x86, 0xA0, 0, 1, 0x86, 0xA0};
  png.replace(16, 8, reinterpret_cast<const char*>(huge), 8);
  const uint32_t crc = Crc32(std::string_view{png}.substr(12, 17));
  for (int i = 0; i < 4; ++i) png[29 + i] = static_cast<char>(crc >> (24 - 8 * i));
  EXPECT_FALSE(DecodeImage(png));
  png.replace(16, 8, std::string("\0\0\0\4\0\0\0\4", 8));
  const uint32_t original = Crc32(std::string_view{png}.substr(12, 17));
  for (int i = 0; i < 4; ++i) png[29 + i] = static_cast<char>(original >> (24 - 8 * i));
  EXPECT_TRUE(DecodeImage(png)) << "the CRC helper itself is right";
}

// Palette for the GIF tests: index 0 transparent, 1 red, 2 green, 3 blue.
GifSpec FourColourGif(uint16_t width, uint16_t height) {
  GifSpec spec;
  spec.width = width;
  spec.height = height;
  spec.palette = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  return spec;
}

GifFrame Blank(uint16_t left, uint16_t top, uint16_t width, uint16_t height) {
  GifFrame frame;
  frame.left = left;
  frame.top = top;
  frame.width = width;
  frame.height = height;
  return frame;
}

GifFrame Rect(uint16_t left, uint16_t top, uint16_t width, uint16_t height, uint8_t index,
              int delayCs, int disposal) {
  GifFrame frame = Blank(left, top, width, height);
  frame.indices.assign(size_t{width} * height, index);
  frame.delayCs = delayCs;
  frame.disposal = disposal;
  frame.transparent = 0;
  return frame;
}

// A frame as rows of letters: R, G, B for the opaque colours, "." for transparent.
std::vector<std::string> Letters(const DecodedImage& image, size_t frame) {
  std::vector<std::string> rows;
  for (uint32_t y = 0; y < image.height; ++y) {
    std::string row;
    for (uint32_t x = 0; x < image.width; ++x) {
      const uint8_t* p = image.frames[frame].data() + (size_t{y} * image.width + x) * 4;
      if (p[3] == 0) {
        row += '.';
      } else if (p[2] == 255) {
        row += 'R';
      } else if (p[1] == 255) {
        row += 'G';
      } else if (p[0] == 255) {
        row += 'B';
      } else {
        row += '?';
      }
    }
    rows.push_back(row);
  }
  return rows;
}

TEST(ImageDecoderTest, GifFramesAreComposedWithOffsetsAndDisposal) {
  GifSpec spec = FourColourGif(4, 4);
  spec.frames.push_back(Rect(0, 0, 4, 4, 1, 0, 1));  // red, kept; delay 0
  spec.frames.push_back(Rect(1, 1, 2, 2, 2, 2, 2));  // green, then cleared; delay 2
  GifFrame blue = Rect(2, 0, 2, 2, 3, 5, 3);         // blue, then the previous canvas back
  blue.indices[0] = 0;                               // one transparent pixel shows red below
  spec.frames.push_back(blue);
  spec.frames.push_back(Rect(0, 3, 1, 1, 2, 1, 0));   // green dot; delay 1
  spec.frames.push_back(Rect(3, 3, 5, 5, 3, 10, 0));  // clipped to the canvas; delay 10

  auto image = DecodeImage(sim::EncodeGif(spec));
  ASSERT_TRUE(image);
  ASSERT_EQ(image->frames.size(), 5u);
  using Rows = std::vector<std::string>;
  EXPECT_EQ(Letters(*image, 0), (Rows{"RRRR", "RRRR", "RRRR", "RRRR"}));
  EXPECT_EQ(Letters(*image, 1), (Rows{"RRRR", "RGGR", "RGGR", "RRRR"}));
  EXPECT_EQ(Letters(*image, 2), (Rows{"RRRB", "R.BB", "R..R", "RRRR"}));
  EXPECT_EQ(Letters(*image, 3), (Rows{"RRRR", "R..R", "R..R", "GRRR"}));
  EXPECT_EQ(Letters(*image, 4), (Rows{"RRRR", "R..R", "R..R", "GRRB"}));
  EXPECT_EQ(image->delays, (std::vector<uint32_t>{100, 20, 50, 100, 100}));
  EXPECT_EQ(image->totalMs, 370);
}

TEST(ImageDecoderTest, InterlacedSingleFrameGifIsAStill) {
  GifSpec spec = FourColourGif(3, 9);
  GifFrame frame = Blank(0, 0, 3, 9);
  for (uint8_t y = 0; y < 9; ++y) {
    for (int x = 0; x < 3; ++x) frame.indices.push_back(static_cast<uint8_t>(y % 4));
  }
  frame.transparent = 0;
  frame.interlaced = true;
  spec.frames.push_back(frame);
  auto image = DecodeImage(sim::EncodeGif(spec));
  ASSERT_TRUE(image);
  EXPECT_TRUE(image->delays.empty());
  EXPECT_EQ(image->totalMs, 0);
  EXPECT_EQ(Letters(*image, 0), (std::vector<std::string>{"...", "RRR", "GGG", "BBB", "...", "RRR",
                                                          "GGG", "BBB", "..."}));
}

TEST(ImageDecoderTest, AnimationLimits) {
  GifSpec many = FourColourGif(2, 2);
  for (int i = 0; i < 500; ++i) many.frames.push_back(Rect(0, 0, 2, 2, 1 + i % 3, 4, 1));
  auto capped = DecodeImage(sim::EncodeGif(many));
  ASSERT_TRUE(capped);
  EXPECT_EQ(capped->frames.size(), 400u);
  EXPECT_EQ(capped->delays.size(), 400u);
  EXPECT_EQ(capped->totalMs, 400 * 40);

  // 512 x 512 is exactly the pixel limit: 1 MiB per frame, so 48 frames fit in 48 MiB.
  GifSpec big = FourColourGif(512, 512);
  for (int i = 0; i < 60; ++i) big.frames.push_back(Rect(0, 0, 8, 8, 1 + i % 3, 4, 1));
  auto heavy = DecodeImage(sim::EncodeGif(big));
  ASSERT_TRUE(heavy);
  EXPECT_EQ(heavy->frames.size(), 48u);

  GifSpec wide = FourColourGif(600, 600);  // 360000 canvas pixels
  wide.frames.push_back(Rect(0, 0, 4, 4, 1, 4, 1));
  wide.frames.push_back(Rect(0, 0, 4, 4, 2, 4, 1));
  EXPECT_FALSE(DecodeImage(sim::EncodeGif(wide)));

  GifSpec lying = FourColourGif(65535, 65535);  // a tiny file claiming a huge canvas
  lying.frames = wide.frames;
  EXPECT_FALSE(DecodeImage(sim::EncodeGif(lying)));
}

TEST(ImageDecoderTest, TruncatedGifKeepsOnlyWholeFrames) {
  GifSpec spec = FourColourGif(16, 16);
  for (int i = 0; i < 3; ++i) {
    GifFrame frame = Blank(0, 0, 16, 16);
    for (int p = 0; p < 256; ++p)
      frame.indices.push_back(static_cast<uint8_t>(1 + (p * 7 + i) % 3));
    frame.delayCs = 3;
    spec.frames.push_back(frame);
  }
  const std::string whole = sim::EncodeGif(spec);
  auto full = DecodeImage(whole);
  ASSERT_TRUE(full);
  ASSERT_EQ(full->frames.size(), 3u);
  // Cut inside the third frame's data: two frames survive.
  auto cut = DecodeImage(whole.substr(0, whole.size() - 30));
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->frames.size(), 2u);
  EXPECT_EQ(cut->frames[1], full->frames[1]);
  // A single-frame file cut short fails.
  spec.frames.resize(1);
  const std::string one = sim::EncodeGif(spec);
  EXPECT_FALSE(DecodeImage(one.substr(0, one.size() - 30)));
}

TEST(ImageDecoderTest, AnimatedWebpIsComposedWithDurations) {
  std::vector<sim::WebpFrame> frames;
  frames.push_back({Solid(8, 6, 255, 0, 0), 40});
  frames.push_back({Solid(8, 6, 0, 255, 0), 70});
  frames.push_back({Solid(8, 6, 0, 0, 255), 5});  // very short: played at 100 ms
  auto image = DecodeImage(sim::EncodeAnimatedWebp(frames));
  ASSERT_TRUE(image);
  ASSERT_EQ(image->frames.size(), 3u);
  EXPECT_EQ(image->width, 8u);
  EXPECT_EQ(image->height, 6u);
  EXPECT_EQ(image->delays, (std::vector<uint32_t>{40, 70, 100}));
  EXPECT_EQ(image->totalMs, 210);
  EXPECT_EQ(Letters(*image, 1)[3], "GGGGGGGG");

  std::vector<sim::WebpFrame> huge;
  huge.push_back({Solid(600, 600, 255, 0, 0), 40});
  huge.push_back({Solid(600, 600, 0, 255, 0), 40});
  EXPECT_FALSE(DecodeImage(sim::EncodeAnimatedWebp(huge)));
}

}  // namespace
}  // namespace vlo
