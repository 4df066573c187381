#pragma once

#include <QColor>

#include "ui/themes/Color.h"

namespace vlo {

// Fixed colours of the toolkit; no theme changes them.
inline constexpr Rgb kPrimaryText{Hex(0xF5F3F5)};
inline constexpr Rgb kSecondaryText{Hex(0xC8C2D0)};
inline constexpr Rgb kMutedText{Hex(0x9A94A4)};  // disabled captions and cue texts
inline constexpr Rgb kFocusMark{Hex(0x39FF14)};
inline constexpr Rgb kWhite{Hex(0xFFFFFF)};
inline constexpr Rgb kBlack{Hex(0x000000)};

inline QColor ToQColor(Rgb c, qreal opacity = 1.0) {
  QColor color{c.r, c.g, c.b};
  color.setAlphaF(opacity);
  return color;
}

inline Rgb FromQColor(const QColor& c) {
  return Rgb{static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()),
             static_cast<uint8_t>(c.blue())};
}

}  // namespace vlo
