#include <csetjmp>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include "emotes/DecodeSupport.h"

namespace vlo::decode {
namespace {

// Progressive files may carry any number of scans; real ones have a dozen or so.
constexpr int kMaxScans = 100;

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

struct ScanGuard {
  jpeg_progress_mgr pub;
};

[[noreturn]] void OnError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}
void OnOutput(j_common_ptr) {}

void OnProgress(j_common_ptr info) {
  auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
  if (decompress->input_scan_number > kMaxScans) OnError(info);
}

struct JpegOutput {
  uint32_t width{0};
  uint32_t height{0};
  std::vector<uint8_t> pixels;
};

// No object with a destructor lives in this frame (the error handler longjmps into it).
bool ReadJpeg(jpeg_decompress_struct& info, ErrorManager& errors, ScanGuard& guard,
              std::string_view bytes, JpegOutput& out) {
  if (setjmp(errors.jump)) return false;
  jpeg_create_decompress(&info);
  info.progress = &guard.pub;
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
               static_cast<unsigned long>(bytes.size()));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) return false;
  if (!StillSizeOk(info.image_width, info.image_height)) return false;
  info.out_color_space = JCS_EXT_BGRA;
  jpeg_start_decompress(&info);
  if (info.output_width != info.image_width || info.output_height != info.image_height ||
      info.output_components != 4) {
    return false;
  }
  out.width = info.output_width;
  out.height = info.output_height;
  out.pixels.resize(size_t{out.width} * out.height * 4);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = out.pixels.data() + size_t{info.output_scanline} * out.width * 4;
    if (jpeg_read_scanlines(&info, &row, 1) != 1) return false;
  }
  jpeg_finish_decompress(&info);
  // A truncated or damaged stream is patched up by the library with a warning; treat it as bad.
  return errors.pub.num_warnings == 0;
}

}  // namespace

std::optional<DecodedImage> DecodeJpeg(std::string_view bytes) {
  jpeg_decompress_struct info{};
  ErrorManager errors{};
  info.err = jpeg_std_error(&errors.pub);
  errors.pub.error_exit = OnError;
  errors.pub.output_message = OnOutput;
  ScanGuard guard{};
  guard.pub.progress_monitor = OnProgress;
  JpegOutput out;
  const bool ok = ReadJpeg(info, errors, guard, bytes, out);
  jpeg_destroy_decompress(&info);
  if (!ok) return std::nullopt;
  return MakeStill(out.width, out.height, std::move(out.pixels));
}

}  // namespace vlo::decode
