#include <png.h>

#include <cstring>

#include "emotes/DecodeSupport.h"

namespace vlo::decode {
namespace {

struct PngInput {
  std::string_view bytes;
  size_t offset{0};
};

// Owned by the caller of ReadPng so that no object with a destructor lives in the frame that
// libpng may longjmp out of.
struct PngOutput {
  uint32_t width{0};
  uint32_t height{0};
  std::vector<uint8_t> pixels;  // straight-alpha B, G, R, A
  std::vector<png_bytep> rows;
};

void ReadBytes(png_structp png, png_bytep out, size_t length) {
  auto* input = static_cast<PngInput*>(png_get_io_ptr(png));
  if (input->bytes.size() - input->offset < length) png_error(png, "truncated");
  std::memcpy(out, input->bytes.data() + input->offset, length);
  input->offset += length;
}

void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnWarning(png_structp, png_const_charp) {}

bool ReadPng(png_structp png, png_infop info, PngOutput& out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_user_limits(png, kMaxStillSide, kMaxStillSide);
  png_set_chunk_cache_max(png, 128);
  png_set_chunk_malloc_max(png, kMaxEncodedBytes);
  png_read_info(png, info);
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int depth = 0;
  int colour = 0;
  png_get_IHDR(png, info, &width, &height, &depth, &colour, nullptr, nullptr, nullptr);
  if (!StillSizeOk(width, height)) return false;
  if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colour == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  if (depth == 16) png_set_strip_16(png);
  if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA) {
    png_set_gray_to_rgb(png);
  }
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != size_t{width} * 4) return false;
  out.width = width;
  out.height = height;
  out.pixels.resize(size_t{width} * height * 4);
  out.rows.resize(height);
  for (size_t y = 0; y < height; ++y) out.rows[y] = out.pixels.data() + y * width * 4;
  png_read_image(png, out.rows.data());
  return true;
}

}  // namespace

std::optional<DecodedImage> DecodePng(std::string_view bytes) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
  if (!png) return std::nullopt;
  png_infop info = png_create_info_struct(png);
  PngInput input{bytes};
  PngOutput out;
  bool ok = false;
  if (info) {
    png_set_read_fn(png, &input, ReadBytes);
    ok = ReadPng(png, info, out);
  }
  png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  if (!ok) return std::nullopt;
  for (size_t i = 0; i < out.pixels.size(); i += 4) {
    const uint8_t alpha = out.pixels[i + 3];
    if (alpha == 255) continue;
    for (size_t c = 0; c < 3; ++c) out.pixels[i + c] = Premultiply(out.pixels[i + c], alpha);
  }
  return MakeStill(out.width, out.height, std::move(out.pixels));
}

}  // namespace vlo::decode
