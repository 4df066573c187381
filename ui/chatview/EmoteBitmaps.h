#pragma once

#include <QImage>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "emotes/DecodedImage.h"

namespace vlo {

class ChatImageSource;

// The frame of an animation to show at `nowMs` (any monotonic milliseconds): frame 0 unless
// `animate` is on and the image has several frames and a positive total duration.
int FrameIndex(const DecodedImage& image, int64_t nowMs, bool animate);

// Drawable frames per image key, each made once on first use from the decoded premultiplied BGRA
// pixels (the image wraps the decoded bytes, which the slot keeps alive). Window thread only.
class EmoteBitmaps {
 public:
  struct Frame {
    const QImage* image{nullptr};  // null: nothing to draw yet
    bool animated{false};
  };

  Frame Get(const std::string& key, ChatImageSource& images, int64_t nowMs, bool animate);
  void Clear() { slots_.clear(); }

 private:
  struct Slot {
    SharedImage image;
    std::vector<QImage> frames;  // null images until first used
  };
  std::unordered_map<std::string, Slot> slots_;
};

}  // namespace vlo
