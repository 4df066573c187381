#pragma once

#include <QLineEdit>

namespace vlo {

class UiKit;

// A single-line edit field painted by the toolkit: a rounded frame in fieldBg whose border shows
// focus, text padded 8 units + 1 pixel left and right and centred vertically, and a cue text in
// the muted colour while the field is empty (also when read-only or disabled).
class KitEdit : public QLineEdit {
  Q_OBJECT

 public:
  KitEdit(const UiKit& kit, bool readOnly, bool password, QWidget* parent = nullptr);

  void SetCueText(const QString& text);
  // The frame's border colour in the current state.
  QColor FrameBorderColor() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  const UiKit& kit_;
};

}  // namespace vlo
