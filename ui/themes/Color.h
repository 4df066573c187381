#pragma once

#include <cstdint>
#include <string>

namespace vlo {

// A 24-bit RGB colour.
struct Rgb {
  uint8_t r{};
  uint8_t g{};
  uint8_t b{};

  constexpr bool operator==(const Rgb&) const = default;
};

// 0xRRGGBB, red first, as colours are written in the theme tables.
constexpr Rgb Hex(uint32_t rrggbb) {
  return Rgb{static_cast<uint8_t>(rrggbb >> 16), static_cast<uint8_t>(rrggbb >> 8),
             static_cast<uint8_t>(rrggbb)};
}

constexpr uint32_t ToHex(Rgb c) {
  return (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | uint32_t{c.b};
}

// Per channel (a × p + b × (100 − p) + 50) / 100 with p clamped to 0..100: p is a's share,
// rounded to nearest. Used by the chat view and the name colours.
Rgb mix(Rgb a, Rgb b, int p);
// Same shares, truncating. Used by the window chrome.
Rgb blend(Rgb a, Rgb b, int p);

// "#rrggbb", as web pages write colours.
std::string HexText(Rgb c);

// Relative luminance (sRGB, 0..1).
double Luminance(Rgb c);
// (lighter + 0.05) / (darker + 0.05).
double ContrastRatio(Rgb a, Rgb b);
// Multiplies every channel by 0.94 (rounded, halves up) until white on it reaches `ratio`, at most
// `maxSteps` times; the last value is returned even when the ratio was not reached.
Rgb DarkenForWhiteText(Rgb c, double ratio, int maxSteps);
// DarkenForWhiteText(c, 4.5, 40): the accent as a fill under white text.
Rgb readableAccent(Rgb c);

}  // namespace vlo
