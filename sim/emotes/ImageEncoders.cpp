#include "sim/emotes/ImageEncoders.h"

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <csetjmp>
#include <cstdio>

namespace vlo::sim {
namespace {

void AppendPng(png_structp png, png_bytep data, size_t length) {
  auto* out = static_cast<std::string*>(png_get_io_ptr(png));
  out->append(reinterpret_cast<const char*>(data), length);
}
void FlushPng(png_structp) {}

bool WritePng(png_structp png, png_infop info, const RgbaImage& image,
              std::vector<png_bytep>& rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  return true;
}

int AppendGif(GifFileType* gif, const GifByteType* data, int length) {
  static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
  return length;
}

}  // namespace

std::string EncodePng(const RgbaImage& image) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return out;
  png_infop info = png_create_info_struct(png);
  std::vector<png_bytep> rows(image.height);
  for (uint32_t y = 0; y < image.height; ++y) {
    rows[y] = const_cast<png_bytep>(image.At(0, y));
  }
  png_set_write_fn(png, &out, AppendPng, FlushPng);
  const bool ok = info && WritePng(png, info, image, rows);
  png_destroy_write_struct(&png, info ? &info : nullptr);
  if (!ok) out.clear();
  return out;
}

std::string EncodeJpeg(const RgbaImage& image, int quality) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = image.width;
  info.image_height = image.height;
  info.input_components = 4;
  info.in_color_space = JCS_EXT_RGBA;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(image.At(0, info.next_scanline));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  std::string out{reinterpret_cast<const char*>(buffer), size};
  jpeg_destroy_compress(&info);
  free(buffer);
  return out;
}

std::string EncodeWebp(const RgbaImage& image) {
  uint8_t* data = nullptr;
  const size_t size = WebPEncodeLosslessRGBA(image.rgba.data(), static_cast<int>(image.width),
                                             static_cast<int>(image.height),
                                             static_cast<int>(image.width * 4), &data);
  std::string out{reinterpret_cast<const char*>(data), size};
  WebPFree(data);
  return out;
}

std::string EncodeGif(const GifSpec& spec) {
  std::string out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, AppendGif, &error);
  if (!gif) return {};
  int count = 2;
  while (count < static_cast<int>(spec.palette.size()) && count < 256) count *= 2;
  std::vector<GifColorType> colours(count, GifColorType{0, 0, 0});
  for (size_t i = 0; i < spec.palette.size() && i < colours.size(); ++i) {
    colours[i] = GifColorType{spec.palette[i][0], spec.palette[i][1], spec.palette[i][2]};
  }
  ColorMapObject* map = GifMakeMapObject(count, colours.data());
  EGifSetGifVersion(gif, true);
  bool ok = map && EGifPutScreenDesc(gif, spec.width, spec.height, 8, 0, map) == GIF_OK;
  for (const GifFrame& frame : spec.frames) {
    if (!ok) break;
    GraphicsControlBlock control{};
    control.DisposalMode = frame.disposal;
    control.DelayTime = frame.delayCs;
    control.TransparentColor = frame.transparent;
    GifByteType extension[4];
    EGifGCBToExtension(&control, extension);
    ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK &&
         EGifPutImageDesc(gif, frame.left, frame.top, frame.width, frame.height, frame.interlaced,
                          nullptr) == GIF_OK;
    // Interlaced images take their rows in the four-pass order.
    std::vector<uint16_t> order;
    if (frame.interlaced) {
      for (int pass = 0; pass < 4; ++pass) {
        static constexpr int kStart[] = {0, 4, 2, 1};
        static constexpr int kStep[] = {8, 8, 4, 2};
        for (int y = kStart[pass]; y < frame.height; y += kStep[pass]) order.push_back(y);
      }
    } else {
      for (int y = 0; y < frame.height; ++y) order.push_back(y);
    }
    for (uint16_t y : order) {
      if (!ok) break;
      auto* row = const_cast<GifPixelType*>(frame.indices.data() + size_t{y} * frame.width);
      ok = EGifPutLine(gif, row, frame.width) == GIF_OK;
    }
  }
  GifFreeMapObject(map);
  if (EGifCloseFile(gif, &error) != GIF_OK) ok = false;
  return ok ? out : std::string{};
}

std::string EncodeAnimatedWebp(const std::vector<WebpFrame>& frames) {
  if (frames.empty()) return {};
  const int width = static_cast<int>(frames[0].image.width);
  const int height = static_cast<int>(frames[0].image.height);
  WebPAnimEncoderOptions options{};
  WebPAnimEncoderOptionsInit(&options);
  options.allow_mixed = 0;
  WebPAnimEncoder* encoder = WebPAnimEncoderNew(width, height, &options);
  if (!encoder) return {};
  WebPConfig config{};
  WebPConfigInit(&config);
  config.lossless = 1;
  int timestamp = 0;
  bool ok = true;
  for (const WebpFrame& frame : frames) {
    WebPPicture picture{};
    WebPPictureInit(&picture);
    picture.use_argb = 1;
    picture.width = width;
    picture.height = height;
    ok = ok && WebPPictureImportRGBA(&picture, frame.image.rgba.data(), width * 4) &&
         WebPAnimEncoderAdd(encoder, &picture, timestamp, &config);
    WebPPictureFree(&picture);
    timestamp += frame.durationMs;
  }
  WebPData data{};
  WebPDataInit(&data);
  ok = ok && WebPAnimEncoderAdd(encoder, nullptr, timestamp, nullptr) &&
       WebPAnimEncoderAssemble(encoder, &data);
  std::string out;
  if (ok) out.assign(reinterpret_cast<const char*>(data.bytes), data.size);
  WebPDataClear(&data);
  WebPAnimEncoderDelete(encoder);
  return out;
}

}  // namespace vlo::sim
