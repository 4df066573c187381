#pragma once

#include <QAbstractButton>

#include "ui/toolkit/ButtonStyle.h"

namespace vlo {

class UiKit;

// A push button painted by the toolkit: rounded face in the colours of its kind and state,
// caption centred on one line with an ellipsis, focus outline when focused by keyboard.
class KitButton : public QAbstractButton {
  Q_OBJECT

 public:
  KitButton(const QString& text, ButtonKind kind, const UiKit& kit, QWidget* parent = nullptr);

  ButtonKind Kind() const { return kind_; }
  // Repaints only when the kind changes.
  void SetKind(ButtonKind kind);
  bool Hovered() const { return hovered_; }
  ButtonColors CurrentColors() const;
  // Captions are centred; command-link style buttons align them left.
  void SetCaptionAlignment(Qt::Alignment alignment);

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  const UiKit& kit_;
  ButtonKind kind_;
  Qt::Alignment alignment_{Qt::AlignCenter};
  bool hovered_{false};
  bool focusCues_{false};  // focus arrived by keyboard, so the outline is shown
};

}  // namespace vlo
