#pragma once

#include <cstdint>

#include "ui/themes/Theme.h"

namespace vlo {

enum class ButtonKind : uint8_t {
  Plain = 0,
  Primary = 1,
  Danger = 2,
  Positive = 3,
  Toggle = 4,  // pill toggle, off
  ToggleOn = 5,
  TwitchBrand = 6,
  YouTubeBrand = 7,
  KickBrand = 8,
};

struct ButtonState {
  bool hovered{false};  // the pointer is over an enabled button
  bool pressed{false};
  bool disabled{false};
};

struct ButtonColors {
  Rgb face;
  Rgb border;
  Rgb text;

  bool operator==(const ButtonColors&) const = default;
};

// Face, border and caption colours of a button of `kind` in `state`.
ButtonColors ComputeButtonColors(const WindowPalette& palette, ButtonKind kind, ButtonState state);

// The background the rounded face sits on: toggleBg for the toggles, windowBg otherwise.
Rgb ButtonBackground(const WindowPalette& palette, ButtonKind kind);

// Inner focus outline drawn 2 units inside the face.
Rgb FocusMarkColor(Rgb face);

bool IsToggle(ButtonKind kind);
bool IsBrand(ButtonKind kind);
// Primary, Danger and the brand kinds use the semibold font.
bool UsesSemibold(ButtonKind kind);
// Corner diameter in units: 16 for toggles, 12 otherwise.
int CornerDiameter(ButtonKind kind);

}  // namespace vlo
