#pragma once

// In-memory image encoders over the system codecs, used by the simulated image servers to serve
// pictures they draw themselves, and by tests that need images of a known shape.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vlo::sim {

// Straight (not premultiplied) R, G, B, A bytes, rows top to bottom.
struct RgbaImage {
  uint32_t width{0};
  uint32_t height{0};
  std::vector<uint8_t> rgba;

  RgbaImage() = default;
  RgbaImage(uint32_t w, uint32_t h) : width{w}, height{h}, rgba(size_t{w} * h * 4, 0) {}
  uint8_t* At(uint32_t x, uint32_t y) { return rgba.data() + (size_t{y} * width + x) * 4; }
  const uint8_t* At(uint32_t x, uint32_t y) const {
    return rgba.data() + (size_t{y} * width + x) * 4;
  }
};

// Empty strings on failure.
std::string EncodePng(const RgbaImage& image);
std::string EncodeJpeg(const RgbaImage& image, int quality = 90);  // alpha is dropped
std::string EncodeWebp(const RgbaImage& image);                    // lossless

// One image of a GIF: palette indices of its own rectangle.
struct GifFrame {
  uint16_t left{0};
  uint16_t top{0};
  uint16_t width{0};
  uint16_t height{0};
  std::vector<uint8_t> indices;  // width * height
  int delayCs{10};               // centiseconds
  int disposal{0};               // 0 none, 1 keep, 2 background, 3 previous
  int transparent{-1};           // palette index, -1 for none
  bool interlaced{false};
};

struct GifSpec {
  uint16_t width{0};  // logical screen
  uint16_t height{0};
  std::vector<std::array<uint8_t, 3>> palette;  // R, G, B; at most 256
  std::vector<GifFrame> frames;
};

std::string EncodeGif(const GifSpec& spec);

struct WebpFrame {
  RgbaImage image;  // the canvas size
  int durationMs{100};
};

std::string EncodeAnimatedWebp(const std::vector<WebpFrame>& frames);

}  // namespace vlo::sim
