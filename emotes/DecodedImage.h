#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace vlo {

// A decoded still or animated image: full-size frames of premultiplied B, G, R, A bytes, rows top
// to bottom with a stride of width * 4 (QImage::Format_ARGB32_Premultiplied on little-endian).
// Read-only once built; shared as std::shared_ptr<const DecodedImage>.
struct DecodedImage {
  uint32_t width{0};
  uint32_t height{0};
  std::vector<std::vector<uint8_t>> frames;
  std::vector<uint32_t> delays;  // ms per frame for animations; empty for a single frame
  int totalMs{0};                // sum of delays; 0 for a single frame

  bool IsAnimated() const { return frames.size() > 1; }
};

using SharedImage = std::shared_ptr<const DecodedImage>;

}  // namespace vlo
