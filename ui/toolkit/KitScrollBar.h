#pragma once

#include <QScrollBar>

class QAbstractScrollArea;

namespace vlo {

// A vertical scroll bar painted in the window palette: a slim rounded thumb on the surface
// colour; dimmed when nothing can scroll. Behaviour is QScrollBar's.
class KitScrollBar : public QScrollBar {
  Q_OBJECT

 public:
  explicit KitScrollBar(QWidget* parent = nullptr);

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// Gives the area the toolkit's dark scroll bar.
void EnableDarkScrollBars(QAbstractScrollArea* area);

}  // namespace vlo
