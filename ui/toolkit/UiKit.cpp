#include "ui/toolkit/UiKit.h"

#include <QFontDatabase>
#include <QScreen>
#include <algorithm>
#include <array>
#include <vector>

namespace vlo {

namespace {

// Live kits; window thread only.
std::vector<UiKit*>& Kits() {
  static std::vector<UiKit*> kits;
  return kits;
}

WindowPalette& CurrentPalette() {
  static WindowPalette palette{FindTheme("neon").windowPalette};
  return palette;
}

int MulDiv(int a, int b, int c) {
  return static_cast<int>((static_cast<int64_t>(a) * b + c / 2) / c);
}

int WindowDpi(QWidget* window) {
  QScreen* screen{window ? window->screen() : nullptr};
  int dpi{screen ? static_cast<int>(screen->logicalDotsPerInch() + 0.5) : 0};
  return dpi > 0 ? dpi : 96;
}

}  // namespace

UiKit::UiKit() { CreateFonts(); }

UiKit::~UiKit() {
  auto& kits{Kits()};
  kits.erase(std::remove(kits.begin(), kits.end(), this), kits.end());
}

void UiKit::InitForWindow(QWidget* window) {
  if (!registered_) {
    Kits().push_back(this);
    registered_ = true;
  }
  window_ = window;
  // Qt lays out in logical pixels, so a length at 96 DPI is already right at any scaling; the
  // screen's logical DPI is 96 on the usual desktops and only differs when the user forces it.
  dpi_ = WindowDpi(window);
  CreateFonts();
  initialised_ = true;
}

void UiKit::OnDpiChanged(int dpi, QWidget* window) {
  if (dpi <= 0) dpi = 96;
  if (initialised_ && dpi == dpi_) return;
  const std::array<QFont, 7> old{bodyFont, semiboldFont, titleFont, monoFont,
                                 pillFont, badgeFont,    smallFont};
  dpi_ = dpi;
  CreateFonts();
  initialised_ = true;
  const std::array<const QFont*, 7> fresh{&bodyFont, &semiboldFont, &titleFont, &monoFont,
                                          &pillFont, &badgeFont,    &smallFont};
  if (!window) return;
  for (QWidget* child : window->findChildren<QWidget*>()) {
    for (size_t i{0}; i < old.size(); ++i) {
      if (child->font() == old[i]) {
        child->setFont(*fresh[i]);
        break;
      }
    }
  }
}

int UiKit::Scale(int units) const { return MulDiv(units, dpi_ > 0 ? dpi_ : 96, 96); }

const WindowPalette& UiKit::Palette() { return CurrentPalette(); }

void UiKit::SetPalette(const WindowPalette& palette) {
  CurrentPalette() = palette;
  for (UiKit* kit : Kits()) {
    if (kit->initialised_ && kit->window_) kit->window_->update();
  }
}

QString UiKit::SansFamily() {
  QString family{QFontDatabase::systemFont(QFontDatabase::GeneralFont).family()};
  return family.isEmpty() ? QStringLiteral("sans-serif") : family;
}

QFont UiKit::MakeFont(const QString& family, int units, int weight, int dpi) {
  QFont font{family};
  font.setPixelSize(std::max(1, MulDiv(units, dpi, 96)));
  font.setWeight(static_cast<QFont::Weight>(weight));
  font.setStyleStrategy(QFont::PreferAntialias);
  return font;
}

void UiKit::CreateFonts() {
  const QString sans{SansFamily()};
  bodyFont = MakeFont(sans, 14, 400, dpi_);
  semiboldFont = MakeFont(sans, 14, 600, dpi_);
  titleFont = MakeFont(sans, 22, 600, dpi_);
  QFont fixed{QFontDatabase::systemFont(QFontDatabase::FixedFont)};
  monoFont = MakeFont(fixed.family(), 13, 400, dpi_);
  monoFont.setFixedPitch(true);
  monoFont.setStyleHint(QFont::Monospace);
  pillFont = MakeFont(sans, 13, 600, dpi_);
  badgeFont = MakeFont(sans, 11, 700, dpi_);
  smallFont = MakeFont(sans, 12, 400, dpi_);
}

}  // namespace vlo
