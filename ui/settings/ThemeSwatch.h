#pragma once

#include <QAbstractButton>

#include "ui/themes/Theme.h"

namespace vlo {

class UiKit;

// A theme's button in the settings window: a card in the theme's own colours with a small chat
// preview (one line per platform), its accent dot and its name. The working theme's card has a
// 2-unit outline in the theme's chat accent.
class ThemeSwatch : public QAbstractButton {
  Q_OBJECT

 public:
  // `theme` lives in the static theme table.
  ThemeSwatch(const Theme& theme, const UiKit& kit, QWidget* parent = nullptr);

  const Theme& SwatchTheme() const { return theme_; }
  // Repaints only when the selection changes.
  void SetSelected(bool selected);
  bool Selected() const { return selected_; }
  bool FocusCuesShown() const { return hasFocus() && focusCues_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  const Theme& theme_;
  const UiKit& kit_;
  bool selected_{false};
  bool focusCues_{false};  // focus arrived by keyboard
};

}  // namespace vlo
