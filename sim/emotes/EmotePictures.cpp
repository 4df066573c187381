#include "sim/emotes/EmotePictures.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace vlo::sim {
namespace {

std::array<uint8_t, 3> HueColour(uint32_t hue) {
  const double h = static_cast<double>(hue % 360) / 60.0;
  const double x = 1.0 - std::fabs(std::fmod(h, 2.0) - 1.0);
  double r = 0, g = 0, b = 0;
  switch (static_cast<int>(h)) {
    case 0:
      r = 1;
      g = x;
      break;
    case 1:
      r = x;
      g = 1;
      break;
    case 2:
      g = 1;
      b = x;
      break;
    case 3:
      g = x;
      b = 1;
      break;
    case 4:
      r = x;
      b = 1;
      break;
    default:
      r = 1;
      b = x;
      break;
  }
  auto scale = [](double v) { return static_cast<uint8_t>(60 + v * 190); };
  return {scale(r), scale(g), scale(b)};
}

void Put(RgbaImage& image, uint32_t x, uint32_t y, std::array<uint8_t, 3> rgb, uint8_t alpha) {
  if (x >= image.width || y >= image.height) return;
  uint8_t* p = image.At(x, y);
  p[0] = rgb[0];
  p[1] = rgb[1];
  p[2] = rgb[2];
  p[3] = alpha;
}

}  // namespace

RgbaImage DrawFace(uint32_t width, uint32_t height, uint32_t hue, int mood) {
  RgbaImage image{width, height};
  const auto colour = HueColour(hue);
  const std::array<uint8_t, 3> ink{30, 30, 40};
  const double cx = (width - 1) / 2.0;
  const double cy = (height - 1) / 2.0;
  const double rx = width / 2.0 - 1;
  const double ry = height / 2.0 - 1;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const double dx = (x - cx) / rx;
      const double dy = (y - cy) / ry;
      const double d = std::sqrt(dx * dx + dy * dy);
      if (d > 1.0) continue;
      // Anti-aliased rim: the outermost band is half transparent.
      const uint8_t alpha = d > 0.93 ? 128 : 255;
      std::array<uint8_t, 3> rgb = colour;
      const bool eye = std::fabs(dy + 0.3) < 0.12 && std::fabs(std::fabs(dx) - 0.35) < 0.1;
      const double mouthCurve =
          mood % 3 == 0 ? 0.25 * dx * dx : (mood % 3 == 1 ? -0.25 * dx * dx : 0);
      const bool mouth = std::fabs(dx) < 0.5 && std::fabs(dy - 0.35 - mouthCurve) < 0.07;
      if (eye || mouth) rgb = ink;
      Put(image, x, y, rgb, alpha);
    }
  }
  return image;
}

std::string FacePng(uint32_t width, uint32_t height, uint32_t hue, int mood) {
  return EncodePng(DrawFace(width, height, hue, mood));
}

std::string FaceJpeg(uint32_t width, uint32_t height, uint32_t hue, int mood) {
  RgbaImage image = DrawFace(width, height, hue, mood);
  for (size_t i = 0; i < image.rgba.size(); i += 4) {
    const uint32_t a = image.rgba[i + 3];
    for (size_t c = 0; c < 3; ++c) {
      image.rgba[i + c] = static_cast<uint8_t>((image.rgba[i + c] * a + 255 * (255 - a)) / 255);
    }
    image.rgba[i + 3] = 255;
  }
  return EncodeJpeg(image, 92);
}

std::string FaceWebp(uint32_t width, uint32_t height, uint32_t hue, int mood) {
  return EncodeWebp(DrawFace(width, height, hue, mood));
}

std::string BouncingGif(uint32_t hue, int frames) {
  constexpr uint16_t kSide = 56;
  constexpr uint16_t kBall = 12;
  GifSpec spec;
  spec.width = kSide;
  spec.height = kSide;
  const auto colour = HueColour(hue);
  const auto ball = HueColour(hue + 180);
  // 0 transparent, 1 face, 2 ink, 3 ball
  spec.palette = {{0, 0, 0}, colour, {30, 30, 40}, ball};
  // Frame 0: the face, kept under everything that follows.
  const RgbaImage face = DrawFace(kSide, kSide, hue, 0);
  GifFrame base;
  base.width = kSide;
  base.height = kSide;
  base.transparent = 0;
  base.disposal = 1;
  base.delayCs = 8;
  for (uint32_t y = 0; y < kSide; ++y) {
    for (uint32_t x = 0; x < kSide; ++x) {
      const uint8_t* p = face.At(x, y);
      base.indices.push_back(p[3] == 0 ? 0 : (p[0] == 30 && p[1] == 30 ? 2 : 1));
    }
  }
  spec.frames.push_back(base);
  for (int i = 1; i < frames; ++i) {
    const double phase = static_cast<double>(i) / frames;
    GifFrame dot;
    dot.left = static_cast<uint16_t>(phase * (kSide - kBall));
    dot.top = static_cast<uint16_t>(std::fabs(std::sin(phase * 6.2832)) * (kSide - kBall));
    dot.width = kBall;
    dot.height = kBall;
    dot.transparent = 0;
    dot.delayCs = i % 4 == 0 ? 0 : 6;  // some zero delays, played at 100 ms
    dot.disposal = i % 2 == 0 ? 2 : 3;
    for (int y = 0; y < kBall; ++y) {
      for (int x = 0; x < kBall; ++x) {
        const double dx = x - (kBall - 1) / 2.0;
        const double dy = y - (kBall - 1) / 2.0;
        dot.indices.push_back(dx * dx + dy * dy <= (kBall / 2.0) * (kBall / 2.0) ? 3 : 0);
      }
    }
    spec.frames.push_back(dot);
  }
  return EncodeGif(spec);
}

std::string PulsingWebp(uint32_t hue, int frames) {
  std::vector<WebpFrame> list;
  for (int i = 0; i < frames; ++i) {
    list.push_back(WebpFrame{DrawFace(56, 56, hue + static_cast<uint32_t>(i) * 40, i), 70});
  }
  return EncodeAnimatedWebp(list);
}

}  // namespace vlo::sim
