#pragma once

// Shared pieces of the format decoders. Internal to emotes/.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "emotes/DecodedImage.h"
#include "emotes/ImageDecoder.h"

namespace vlo::decode {

std::optional<DecodedImage> DecodeGif(std::string_view bytes);
std::optional<DecodedImage> DecodePng(std::string_view bytes);
std::optional<DecodedImage> DecodeJpeg(std::string_view bytes);
std::optional<DecodedImage> DecodeWebp(std::string_view bytes);

inline bool StillSizeOk(uint64_t width, uint64_t height) {
  return width > 0 && height > 0 && width <= kMaxStillSide && height <= kMaxStillSide;
}

inline bool CanvasSizeOk(uint64_t width, uint64_t height) {
  return width > 0 && height > 0 && width * height <= kMaxCanvasPixels;
}

// True while one more frame of `canvasBytes` fits beside `kept` frames.
inline bool MayKeepAnotherFrame(uint64_t canvasBytes, size_t kept) {
  return kept < kMaxFrames && canvasBytes * (kept + 1) <= kMaxFrameBytes;
}

// Very short frame delays play at 100 ms, as browsers do.
inline uint32_t PlayedDelay(uint64_t ms) {
  return ms <= 10 ? 100u : static_cast<uint32_t>(std::min<uint64_t>(ms, UINT32_MAX));
}

// Straight-alpha colour to premultiplied (rounded).
inline uint8_t Premultiply(uint32_t colour, uint32_t alpha) {
  return static_cast<uint8_t>((colour * alpha + 127) / 255);
}

inline DecodedImage MakeStill(uint32_t width, uint32_t height, std::vector<uint8_t> bgra) {
  DecodedImage image;
  image.width = width;
  image.height = height;
  image.frames.push_back(std::move(bgra));
  return image;
}

// Sets totalMs; a single kept frame becomes a still (no delays). Nothing when no frame was kept.
inline std::optional<DecodedImage> FinishAnimation(DecodedImage image) {
  if (image.frames.empty()) return std::nullopt;
  if (image.frames.size() == 1) {
    image.delays.clear();
    image.totalMs = 0;
    return image;
  }
  uint64_t total = 0;
  for (uint32_t delay : image.delays) total += delay;
  image.totalMs = static_cast<int>(std::min<uint64_t>(total, INT32_MAX));
  return image;
}

}  // namespace vlo::decode
