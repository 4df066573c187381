#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>

#include "emotes/DecodeSupport.h"

namespace vlo::decode {
namespace {

// Bounds the work a hostile file can ask for: pixels decoded over all frames, and pixels of one
// frame (frames may be larger than the canvas and are clipped to it).
constexpr uint64_t kMaxDecodedPixels = 64ull * 1024 * 1024;
constexpr uint64_t kMaxFramePixels = 4ull * 1024 * 1024;

struct GifInput {
  std::string_view bytes;
  size_t offset{0};
};

int ReadBytes(GifFileType* gif, GifByteType* out, int length) {
  auto* input = static_cast<GifInput*>(gif->UserData);
  const size_t count = std::min<size_t>(static_cast<size_t>(std::max(length, 0)),
                                        input->bytes.size() - input->offset);
  std::memcpy(out, input->bytes.data() + input->offset, count);
  input->offset += count;
  return static_cast<int>(count);
}

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};
using GifPtr = std::unique_ptr<GifFileType, GifCloser>;

GraphicsControlBlock DefaultControl() {
  GraphicsControlBlock control{};
  control.DisposalMode = DISPOSAL_UNSPECIFIED;
  control.DelayTime = 10;
  control.TransparentColor = NO_TRANSPARENT_COLOR;
  return control;
}

// Called after each image descriptor was read; must read or skip the image data. False stops.
using ImageVisitor = std::function<bool(GifFileType*, const GraphicsControlBlock&)>;

// Walks the records of a GIF. False when the file cannot even be opened.
bool WalkGif(std::string_view bytes, const ImageVisitor& onImage) {
  GifInput input{bytes};
  int error = 0;
  GifPtr gif{DGifOpen(&input, ReadBytes, &error)};
  if (!gif) return false;
  GraphicsControlBlock control = DefaultControl();
  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) break;
    if (type == TERMINATE_RECORD_TYPE) break;
    if (type == IMAGE_DESC_RECORD_TYPE) {
      if (DGifGetImageDesc(gif.get()) == GIF_ERROR) break;
      if (!onImage(gif.get(), control)) break;
      control = DefaultControl();  // a control block applies to the next image only
      continue;
    }
    if (type != EXTENSION_RECORD_TYPE) break;
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR) break;
    if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] == 4) {
      DGifExtensionToGCB(block[0], block + 1, &control);
    }
    bool ok = true;
    while (block) {
      if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR) {
        ok = false;
        break;
      }
    }
    if (!ok) break;
  }
  return true;
}

bool SkipImageData(GifFileType* gif) {
  int codeSize = 0;
  GifByteType* block = nullptr;
  if (DGifGetCode(gif, &codeSize, &block) == GIF_ERROR) return false;
  while (block) {
    if (DGifGetCodeNext(gif, &block) == GIF_ERROR) return false;
  }
  return true;
}

// Decodes the current image's rows in file order (interlaced or not), handing each row with
// its index to `onRow`. False when the data is damaged or truncated.
bool ReadRows(GifFileType* gif, const std::function<void(uint32_t, const GifByteType*)>& onRow) {
  const GifImageDesc& desc = gif->Image;
  const auto width = static_cast<uint32_t>(desc.Width);
  const auto height = static_cast<uint32_t>(desc.Height);
  std::vector<GifByteType> line(width);
  auto readRow = [&](uint32_t y) {
    if (DGifGetLine(gif, line.data(), static_cast<int>(width)) == GIF_ERROR) return false;
    onRow(y, line.data());
    return true;
  };
  if (desc.Interlace) {
    static constexpr uint32_t kStart[] = {0, 4, 2, 1};
    static constexpr uint32_t kStep[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
      for (uint32_t y = kStart[pass]; y < height; y += kStep[pass]) {
        if (!readRow(y)) return false;
      }
    }
    return true;
  }
  for (uint32_t y = 0; y < height; ++y) {
    if (!readRow(y)) return false;
  }
  return true;
}

const ColorMapObject* ColoursOf(const GifFileType* gif) {
  const ColorMapObject* map = gif->Image.ColorMap ? gif->Image.ColorMap : gif->SColorMap;
  return map && map->Colors && map->ColorCount > 0 ? map : nullptr;
}

// Writes one row of colour indices as premultiplied BGRA; transparent pixels are left alone
// when `skipTransparent`, else written as 0.
void PaintRow(const GifByteType* indices, uint32_t count, const ColorMapObject* map,
              int transparent, uint8_t* out, bool skipTransparent) {
  for (uint32_t x = 0; x < count; ++x, out += 4) {
    const int index = indices[x];
    if (index == transparent) {
      if (!skipTransparent) std::memset(out, 0, 4);
      continue;
    }
    if (index < map->ColorCount) {
      const GifColorType& colour = map->Colors[index];
      out[0] = colour.Blue;
      out[1] = colour.Green;
      out[2] = colour.Red;
    } else {
      out[0] = out[1] = out[2] = 0;
    }
    out[3] = 255;
  }
}

struct Scan {
  int images{0};
  uint32_t firstWidth{0};
  uint32_t firstHeight{0};
  uint32_t screenWidth{0};
  uint32_t screenHeight{0};
};

// Counts image descriptors (up to two: one means a still) without decoding pixels.
std::optional<Scan> ScanGif(std::string_view bytes) {
  Scan scan;
  const bool opened = WalkGif(bytes, [&scan](GifFileType* gif, const GraphicsControlBlock&) {
    if (scan.images == 0) {
      scan.firstWidth = static_cast<uint32_t>(std::max(gif->Image.Width, 0));
      scan.firstHeight = static_cast<uint32_t>(std::max(gif->Image.Height, 0));
      scan.screenWidth = static_cast<uint32_t>(std::max(gif->SWidth, 0));
      scan.screenHeight = static_cast<uint32_t>(std::max(gif->SHeight, 0));
    }
    ++scan.images;
    return scan.images < 2 && SkipImageData(gif);
  });
  if (!opened || scan.images == 0) return std::nullopt;
  return scan;
}

std::optional<DecodedImage> DecodeStill(std::string_view bytes) {
  std::optional<DecodedImage> result;
  WalkGif(bytes, [&result](GifFileType* gif, const GraphicsControlBlock& control) {
    const auto width = static_cast<uint32_t>(std::max(gif->Image.Width, 0));
    const auto height = static_cast<uint32_t>(std::max(gif->Image.Height, 0));
    const ColorMapObject* map = ColoursOf(gif);
    if (!StillSizeOk(width, height) || !map) return false;
    std::vector<uint8_t> pixels(size_t{width} * height * 4);
    const bool ok = ReadRows(gif, [&](uint32_t y, const GifByteType* row) {
      PaintRow(row, width, map, control.TransparentColor, pixels.data() + size_t{y} * width * 4,
               false);
    });
    if (ok) result = MakeStill(width, height, std::move(pixels));
    return false;
  });
  return result;
}

class Composer {
 public:
  Composer(uint32_t width, uint32_t height)
      : width_{width}, height_{height}, canvas_(size_t{width} * height * 4, 0) {
    image_.width = width;
    image_.height = height;
  }

  // One image of the file; false stops the walk.
  bool AddFrame(GifFileType* gif, const GraphicsControlBlock& control) {
    if (!MayKeepAnotherFrame(canvas_.size(), image_.frames.size())) return false;
    const GifImageDesc& desc = gif->Image;
    if (desc.Width <= 0 || desc.Height <= 0 || desc.Left < 0 || desc.Top < 0) return false;
    const uint64_t pixels = uint64_t(desc.Width) * uint64_t(desc.Height);
    decodedPixels_ += pixels;
    if (pixels > kMaxFramePixels || decodedPixels_ > kMaxDecodedPixels) return false;
    const ColorMapObject* map = ColoursOf(gif);
    if (!map) return false;
    const auto left = static_cast<uint32_t>(desc.Left);
    const auto top = static_cast<uint32_t>(desc.Top);
    const int disposal = control.DisposalMode;
    if (disposal == DISPOSE_PREVIOUS) saved_ = canvas_;
    const uint32_t visible = left < width_ ? std::min<uint32_t>(desc.Width, width_ - left) : 0;
    const bool ok = ReadRows(gif, [&](uint32_t y, const GifByteType* row) {
      if (top + uint64_t{y} >= height_ || visible == 0) return;
      uint8_t* out = canvas_.data() + ((size_t{top} + y) * width_ + left) * 4;
      PaintRow(row, visible, map, control.TransparentColor, out, true);
    });
    if (!ok) return false;
    image_.frames.push_back(canvas_);
    image_.delays.push_back(PlayedDelay(uint64_t(std::max(control.DelayTime, 0)) * 10));
    if (disposal == DISPOSE_BACKGROUND) {
      ClearRect(left, top, static_cast<uint32_t>(desc.Width), static_cast<uint32_t>(desc.Height));
    } else if (disposal == DISPOSE_PREVIOUS) {
      canvas_.swap(saved_);
    }
    return true;
  }

  DecodedImage Take() { return std::move(image_); }

 private:
  void ClearRect(uint32_t left, uint32_t top, uint32_t width, uint32_t height) {
    if (left >= width_ || top >= height_) return;
    const uint32_t right = std::min<uint64_t>(uint64_t{left} + width, width_);
    const uint32_t bottom = std::min<uint64_t>(uint64_t{top} + height, height_);
    for (uint32_t y = top; y < bottom; ++y) {
      std::memset(canvas_.data() + (size_t{y} * width_ + left) * 4, 0, size_t{right - left} * 4);
    }
  }

  const uint32_t width_;
  const uint32_t height_;
  std::vector<uint8_t> canvas_;
  std::vector<uint8_t> saved_;
  DecodedImage image_;
  uint64_t decodedPixels_{0};
};

}  // namespace

std::optional<DecodedImage> DecodeGif(std::string_view bytes) {
  const std::optional<Scan> scan = ScanGif(bytes);
  if (!scan) return std::nullopt;
  if (scan->images == 1) return DecodeStill(bytes);
  uint32_t width = scan->screenWidth;
  uint32_t height = scan->screenHeight;
  if (width == 0 || height == 0) {
    width = scan->firstWidth;
    height = scan->firstHeight;
  }
  if (!CanvasSizeOk(width, height)) return std::nullopt;
  Composer composer{width, height};
  WalkGif(bytes, [&composer](GifFileType* gif, const GraphicsControlBlock& control) {
    return composer.AddFrame(gif, control);
  });
  return FinishAnimation(composer.Take());
}

}  // namespace vlo::decode
