#include "ui/chatview/EmoteBitmaps.h"

#include "ui/chatview/ImageSource.h"

namespace vlo {

int FrameIndex(const DecodedImage& image, int64_t nowMs, bool animate) {
  if (!animate || image.frames.size() < 2 || image.totalMs <= 0) return 0;
  int64_t remainder{nowMs % image.totalMs};
  if (remainder < 0) remainder += image.totalMs;
  const int last{static_cast<int>(image.frames.size()) - 1};
  for (int i{0}; i < last && i < static_cast<int>(image.delays.size()); ++i) {
    if (remainder < image.delays[i]) return i;
    remainder -= image.delays[i];
  }
  return last;
}

EmoteBitmaps::Frame EmoteBitmaps::Get(const std::string& key, ChatImageSource& images,
                                      int64_t nowMs, bool animate) {
  SharedImage image{images.GetImage(key)};
  if (!image || image->frames.empty() || image->width == 0 || image->height == 0) return {};
  Slot& slot{slots_[key]};
  if (slot.image != image) {
    slot.image = image;
    slot.frames.assign(image->frames.size(), QImage{});
  }
  const bool animated{animate && image->frames.size() > 1 && image->totalMs > 0};
  const int index{FrameIndex(*image, nowMs, animate)};
  QImage& frame{slot.frames[index]};
  const std::vector<uint8_t>& bytes{image->frames[index]};
  const size_t stride{static_cast<size_t>(image->width) * 4};
  if (frame.isNull() && bytes.size() >= stride * image->height) {
    frame = QImage{bytes.data(), static_cast<int>(image->width), static_cast<int>(image->height),
                   static_cast<qsizetype>(stride), QImage::Format_ARGB32_Premultiplied};
  }
  return {frame.isNull() ? nullptr : &frame, animated};
}

}  // namespace vlo
