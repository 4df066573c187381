#include <webp/decode.h>
#include <webp/demux.h>

#include <memory>

#include "emotes/DecodeSupport.h"

namespace vlo::decode {
namespace {

struct DemuxDeleter {
  void operator()(WebPDemuxer* demux) const { WebPDemuxDelete(demux); }
};
struct AnimDeleter {
  void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};

std::optional<DecodedImage> DecodeStill(std::string_view bytes) {
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  WebPBitstreamFeatures features{};
  if (WebPGetFeatures(data, bytes.size(), &features) != VP8_STATUS_OK) return std::nullopt;
  if (!StillSizeOk(static_cast<uint32_t>(features.width), static_cast<uint32_t>(features.height))) {
    return std::nullopt;
  }
  const auto width = static_cast<uint32_t>(features.width);
  const auto height = static_cast<uint32_t>(features.height);
  std::vector<uint8_t> pixels(size_t{width} * height * 4);
  WebPDecoderConfig config{};
  if (!WebPInitDecoderConfig(&config)) return std::nullopt;
  config.output.colorspace = MODE_bgrA;
  config.output.is_external_memory = 1;
  config.output.u.RGBA.rgba = pixels.data();
  config.output.u.RGBA.stride = static_cast<int>(width * 4);
  config.output.u.RGBA.size = pixels.size();
  const VP8StatusCode status = WebPDecode(data, bytes.size(), &config);
  WebPFreeDecBuffer(&config.output);
  if (status != VP8_STATUS_OK) return std::nullopt;
  return MakeStill(width, height, std::move(pixels));
}

// Animated files go through the library's animation decoder, which composes full canvases.
// The canvas is checked from the container first: the decoder allocates it up front.
std::optional<DecodedImage> DecodeAnimation(const WebPData& data, uint32_t width, uint32_t height) {
  if (!CanvasSizeOk(width, height)) return std::nullopt;
  WebPAnimDecoderOptions options{};
  if (!WebPAnimDecoderOptionsInit(&options)) return std::nullopt;
  options.color_mode = MODE_bgrA;
  options.use_threads = 0;
  std::unique_ptr<WebPAnimDecoder, AnimDeleter> decoder{WebPAnimDecoderNew(&data, &options)};
  if (!decoder) return std::nullopt;
  WebPAnimInfo info{};
  if (!WebPAnimDecoderGetInfo(decoder.get(), &info) || info.canvas_width != width ||
      info.canvas_height != height) {
    return std::nullopt;
  }
  DecodedImage image;
  image.width = width;
  image.height = height;
  const uint64_t canvasBytes = uint64_t{width} * height * 4;
  int previousEnd = 0;
  while (WebPAnimDecoderHasMoreFrames(decoder.get()) &&
         MayKeepAnotherFrame(canvasBytes, image.frames.size())) {
    uint8_t* canvas = nullptr;
    int end = 0;  // the frame's end time, not its duration
    if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &end) || !canvas) break;
    image.frames.emplace_back(canvas, canvas + canvasBytes);
    image.delays.push_back(PlayedDelay(end > previousEnd ? uint64_t(end - previousEnd) : 0));
    previousEnd = end;
  }
  return FinishAnimation(std::move(image));
}

}  // namespace

std::optional<DecodedImage> DecodeWebp(std::string_view bytes) {
  const WebPData data{reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
  std::unique_ptr<WebPDemuxer, DemuxDeleter> demux{WebPDemux(&data)};
  if (!demux) return std::nullopt;
  const uint32_t flags = WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS);
  if ((flags & ANIMATION_FLAG) == 0) return DecodeStill(bytes);
  const uint32_t width = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH);
  const uint32_t height = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT);
  demux.reset();
  return DecodeAnimation(data, width, height);
}

}  // namespace vlo::decode
