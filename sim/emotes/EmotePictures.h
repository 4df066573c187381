#pragma once

// Pictures the simulated image servers serve, drawn at run time.

#include <cstdint>
#include <string>

#include "sim/emotes/ImageEncoders.h"

namespace vlo::sim {

// A round face on a transparent background with soft edges; `hue` picks the colour, `mood` the
// mouth. Any size (wide and tall ones stretch).
RgbaImage DrawFace(uint32_t width, uint32_t height, uint32_t hue, int mood);

// A still face as PNG, JPEG (on a white background) or WebP.
std::string FacePng(uint32_t width, uint32_t height, uint32_t hue, int mood);
std::string FaceJpeg(uint32_t width, uint32_t height, uint32_t hue, int mood);
std::string FaceWebp(uint32_t width, uint32_t height, uint32_t hue, int mood);

// A 56 x 56 GIF of a ball bouncing over a face, using disposal modes 1 (keep), 2 (clear to
// background) and 3 (restore previous) and a transparent colour.
std::string BouncingGif(uint32_t hue, int frames = 12);

// A 56 x 56 animated WebP of a face changing colour.
std::string PulsingWebp(uint32_t hue, int frames = 8);

}  // namespace vlo::sim
