#pragma once

#include <QFont>
#include <QPointer>
#include <QWidget>

#include "ui/themes/Theme.h"

namespace vlo {

// Fonts, scale and the shared window palette of one top-level window. Window thread only.
class UiKit {
 public:
  UiKit();
  ~UiKit();
  UiKit(const UiKit&) = delete;
  UiKit& operator=(const UiKit&) = delete;

  // Joins the process-wide kit list, takes the window's DPI and creates the fonts.
  void InitForWindow(QWidget* window);
  // Recreates the fonts for `dpi` (0 counts as 96) and moves every child of `window` that uses an
  // old font to the new font of the same role. Nothing happens when the DPI did not change.
  void OnDpiChanged(int dpi, QWidget* window);

  // units × dpi / 96 in integer arithmetic (dpi 0 counts as 96).
  int Scale(int units) const;
  int Dpi() const { return dpi_; }
  double ScaleFactor() const { return dpi_ / 96.0; }
  bool Initialised() const { return initialised_; }

  QFont bodyFont;      // 14, 400
  QFont semiboldFont;  // 14, 600
  QFont titleFont;     // 22, 600
  QFont monoFont;      // 13, 400, fixed pitch
  QFont pillFont;      // 13, 600
  QFont badgeFont;     // 11, 700
  QFont smallFont;     // 12, 400

  // The palette every kit paints with; the accent is stored as given (callers pass it readable).
  // Before the first SetPalette it is the "neon" window palette.
  static const WindowPalette& Palette();
  // Replaces the palette and repaints the windows of every initialised kit.
  static void SetPalette(const WindowPalette& palette);

  // The desktop's sans-serif family.
  static QString SansFamily();
  static QFont MakeFont(const QString& family, int units, int weight, int dpi);

 private:
  void CreateFonts();

  int dpi_{96};
  bool initialised_{false};
  bool registered_{false};
  QPointer<QWidget> window_;
};

}  // namespace vlo
