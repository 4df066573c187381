// Feeds hostile bytes to the image decoder. The first byte picks a mode:
//   0-3  the format's signature (GIF, PNG, JPEG, WebP) followed by the raw input;
//   4-7  a small valid image of that format, drawn from the input and then damaged by it
//        (byte flips and a cut), which reaches the deeper decoder paths without a corpus.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "emotes/ImageDecoder.h"
#include "sim/emotes/ImageEncoders.h"

namespace {

using vlo::sim::RgbaImage;

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_{data}, size_{size} {}
  uint8_t Byte() { return offset_ < size_ ? data_[offset_++] : 0; }
  size_t Left() const { return size_ - offset_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t offset_{0};
};

RgbaImage Picture(Reader& in, uint32_t width, uint32_t height) {
  RgbaImage image{width, height};
  const uint8_t seed = in.Byte();
  for (size_t i = 0; i < image.rgba.size(); ++i) {
    image.rgba[i] = static_cast<uint8_t>(seed * (i + 1) + (i % 4 == 3 ? 0x80 : 0));
  }
  return image;
}

std::string Build(int format, Reader& in) {
  const uint32_t width = 1 + in.Byte() % 48;
  const uint32_t height = 1 + in.Byte() % 48;
  const int frames = 1 + in.Byte() % 4;
  switch (format) {
    case 0: {
      vlo::sim::GifSpec spec;
      spec.width = static_cast<uint16_t>(width);
      spec.height = static_cast<uint16_t>(height);
      spec.palette = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
      for (int f = 0; f < frames; ++f) {
        vlo::sim::GifFrame frame;
        frame.left = in.Byte() % 8;
        frame.top = in.Byte() % 8;
        frame.width = static_cast<uint16_t>(1 + in.Byte() % width);
        frame.height = static_cast<uint16_t>(1 + in.Byte() % height);
        frame.delayCs = in.Byte() % 5;
        const uint8_t flags = in.Byte();
        frame.disposal = flags & 3;
        frame.transparent = (flags & 4) ? 0 : -1;
        frame.interlaced = (flags & 8) != 0;
        for (size_t p = 0; p < size_t{frame.width} * frame.height; ++p) {
          frame.indices.push_back(static_cast<uint8_t>((p + flags) % 4));
        }
        spec.frames.push_back(frame);
      }
      return vlo::sim::EncodeGif(spec);
    }
    case 1:
      return vlo::sim::EncodePng(Picture(in, width, height));
    case 2:
      return vlo::sim::EncodeJpeg(Picture(in, width, height), 50 + in.Byte() % 50);
    default: {
      if (frames == 1) return vlo::sim::EncodeWebp(Picture(in, width, height));
      std::vector<vlo::sim::WebpFrame> list;
      for (int f = 0; f < frames; ++f) list.push_back({Picture(in, width, height), in.Byte()});
      return vlo::sim::EncodeAnimatedWebp(list);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int mode = data[0] % 8;
  const auto* body = reinterpret_cast<const char*>(data + 1);
  std::string bytes;
  if (mode < 4) {
    static const std::string kSignatures[] = {"GIF89a", std::string{"\x89PNG\r\n\x1a\n", 8},
                                              "\xFF\xD8\xFF", std::string{"RIFF\0\0\0\0WEBP", 12}};
    bytes = kSignatures[mode];
    bytes.append(body, size - 1);
  } else {
    Reader in{data + 1, size - 1};
    bytes = Build(mode - 4, in);
    // Damage: pairs of (position, xor) bytes, then an optional cut.
    while (in.Left() >= 3 && !bytes.empty()) {
      const size_t at = (size_t{in.Byte()} << 8 | in.Byte()) % bytes.size();
      bytes[at] = static_cast<char>(bytes[at] ^ in.Byte());
    }
    if (in.Left() == 1 && !bytes.empty()) bytes.resize(in.Byte() % bytes.size());
  }
  const auto image = vlo::DecodeImage(bytes);
  if (image) {
    // Every frame must be whole and the delays consistent.
    const size_t frameBytes = size_t{image->width} * image->height * 4;
    for (const auto& frame : image->frames) {
      if (frame.size() != frameBytes) __builtin_trap();
    }
    if (image->frames.size() > 1 && image->delays.size() != image->frames.size()) __builtin_trap();
    if (image->frames.size() == 1 && !image->delays.empty()) __builtin_trap();
  }
  return 0;
}
