#include "ui/toolkit/ButtonStyle.h"

#include "ui/toolkit/KitColors.h"

namespace vlo {

namespace {

constexpr Rgb kDangerFace{Hex(0x2A1018)};
constexpr Rgb kDangerRed{Hex(0xC42B4A)};
constexpr Rgb kDangerText{Hex(0xFFC0C8)};
constexpr Rgb kKickText{Hex(0x0B0B0B)};

Rgb BrandColor(ButtonKind kind) {
  switch (kind) {
    case ButtonKind::TwitchBrand:
      return Hex(0x9146FF);
    case ButtonKind::YouTubeBrand:
      return Hex(0xCC0000);
    default:
      return Hex(0x53FC18);
  }
}

}  // namespace

bool IsToggle(ButtonKind kind) {
  return kind == ButtonKind::Toggle || kind == ButtonKind::ToggleOn;
}

bool IsBrand(ButtonKind kind) {
  return kind == ButtonKind::TwitchBrand || kind == ButtonKind::YouTubeBrand ||
         kind == ButtonKind::KickBrand;
}

bool UsesSemibold(ButtonKind kind) {
  return kind == ButtonKind::Primary || kind == ButtonKind::Danger || IsBrand(kind);
}

int CornerDiameter(ButtonKind kind) { return IsToggle(kind) ? 16 : 12; }

Rgb ButtonBackground(const WindowPalette& palette, ButtonKind kind) {
  return IsToggle(kind) ? palette.toggleBg : palette.windowBg;
}

Rgb FocusMarkColor(Rgb face) { return blend(kFocusMark, face, 70); }

ButtonColors ComputeButtonColors(const WindowPalette& p, ButtonKind kind, ButtonState state) {
  const bool hovered{state.hovered && !state.disabled};
  ButtonColors c{p.surface, p.border, kPrimaryText};
  switch (kind) {
    case ButtonKind::Plain:
      if (hovered)
        c = {blend(p.hoverTint, p.surface, 12), blend(p.hoverTint, p.border, 60), c.text};
      break;
    case ButtonKind::Primary: {
      Rgb face{hovered ? blend(p.accentBright, p.accent, 30) : p.accent};
      c = {face, face, kWhite};
      break;
    }
    case ButtonKind::Danger:
      c = {hovered ? blend(kDangerRed, kDangerFace, 30) : kDangerFace, kDangerRed, kDangerText};
      break;
    case ButtonKind::Positive:
      c = {hovered ? blend(kFocusMark, p.surface, 14) : p.surface, kFocusMark, kFocusMark};
      break;
    case ButtonKind::Toggle: {
      Rgb face{hovered ? blend(p.hoverTint, p.toggleBg, 12) : p.toggleBg};
      c = {face, face, hovered ? kPrimaryText : kSecondaryText};
      break;
    }
    case ButtonKind::ToggleOn:
      c = {blend(p.hoverTint, p.toggleBg, 26), blend(p.hoverTint, p.toggleBg, 45),
           blend(p.accent, kWhite, 45)};
      break;
    case ButtonKind::TwitchBrand:
    case ButtonKind::YouTubeBrand:
    case ButtonKind::KickBrand: {
      Rgb brand{BrandColor(kind)};
      Rgb face{state.pressed ? blend(brand, kBlack, 80)
               : hovered     ? blend(kWhite, brand, 14)
                             : brand};
      c = {face, face, kind == ButtonKind::KickBrand ? kKickText : kWhite};
      break;
    }
  }
  if (state.pressed && !IsBrand(kind)) {
    if (kind == ButtonKind::Primary) {
      c.face = c.border = blend(p.accent, kBlack, 80);
    } else if (IsToggle(kind)) {
      c.face = c.border = blend(p.hoverTint, p.toggleBg, 34);
    } else {
      c.face = blend(p.hoverTint, p.surface, 30);
      c.border = p.hoverTint;
    }
  }
  if (state.disabled && !state.pressed) {
    c.text = kMutedText;
    if (IsToggle(kind)) {
      c.face = c.border = p.toggleBg;
    } else {
      c.face = p.surface;
      c.border = p.borderSoft;
    }
  }
  return c;
}

}  // namespace vlo
