#pragma once

#include <QAbstractButton>

namespace vlo {

class UiKit;

// A check box painted by the toolkit: an 18-unit rounded box with a drawn tick and the label to
// its right; keyboard focus underlines the label.
class KitCheckBox : public QAbstractButton {
  Q_OBJECT

 public:
  KitCheckBox(const QString& text, const UiKit& kit, QWidget* parent = nullptr);

  QSize sizeHint() const override;
  bool FocusCuesShown() const { return hasFocus() && focusCues_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  bool hitButton(const QPoint& pos) const override;

 private:
  const UiKit& kit_;
  bool focusCues_{false};  // focus arrived by keyboard
};

}  // namespace vlo
