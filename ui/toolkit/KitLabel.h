#pragma once

#include <QLabel>

namespace vlo {

class UiKit;

// A static text on windowBg in the primary (#F5F3F5) or secondary (#C8C2D0) text colour.
class KitLabel : public QLabel {
  Q_OBJECT

 public:
  KitLabel(const QString& text, const UiKit& kit, bool secondary, bool title,
           QWidget* parent = nullptr);

  bool Secondary() const { return secondary_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool secondary_;
};

}  // namespace vlo
