#include "ui/themes/Color.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vlo {

namespace {

template <bool kRound>
Rgb Combine(Rgb a, Rgb b, int p) {
  p = std::clamp(p, 0, 100);
  auto channel = [p](int x, int y) {
    return static_cast<uint8_t>((x * p + y * (100 - p) + (kRound ? 50 : 0)) / 100);
  };
  return Rgb{channel(a.r, b.r), channel(a.g, b.g), channel(a.b, b.b)};
}

double Linear(uint8_t channel) {
  double v{channel / 255.0};
  return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

}  // namespace

Rgb mix(Rgb a, Rgb b, int p) { return Combine<true>(a, b, p); }

Rgb blend(Rgb a, Rgb b, int p) { return Combine<false>(a, b, p); }

std::string HexText(Rgb c) {
  char text[8];
  std::snprintf(text, sizeof text, "#%06x", static_cast<unsigned>(ToHex(c)));
  return text;
}

double Luminance(Rgb c) {
  return 0.2126 * Linear(c.r) + 0.7152 * Linear(c.g) + 0.0722 * Linear(c.b);
}

double ContrastRatio(Rgb a, Rgb b) {
  double la{Luminance(a)};
  double lb{Luminance(b)};
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

Rgb DarkenForWhiteText(Rgb c, double ratio, int maxSteps) {
  constexpr Rgb kWhite{255, 255, 255};
  // Integer form of 0.94 × v so that exact halves (v = 25, 75, ...) round up as intended.
  auto darken = [](uint8_t v) { return static_cast<uint8_t>((94 * v + 50) / 100); };
  for (int step{0}; step < maxSteps; ++step) {
    if (ContrastRatio(c, kWhite) >= ratio) break;
    c = Rgb{darken(c.r), darken(c.g), darken(c.b)};
  }
  return c;
}

Rgb readableAccent(Rgb c) { return DarkenForWhiteText(c, 4.5, 40); }

}  // namespace vlo
