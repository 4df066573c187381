#include "ui/mainwindow/SearchBar.h"

#include <QKeyEvent>
#include <QPainter>

#include "ui/toolkit/Controls.h"
#include "ui/toolkit/Drawing.h"
#include "ui/toolkit/KitButton.h"
#include "ui/toolkit/KitColors.h"
#include "ui/toolkit/KitEdit.h"
#include "ui/toolkit/UiKit.h"

namespace vlo {

namespace {
constexpr int kFieldId{30};
constexpr int kCloseId{31};
constexpr int kCountWidth{96};
}  // namespace

QString MatchCountText(int count, int queryLength) {
  if (queryLength == 0) return {};
  if (count == 0) return QStringLiteral("No matches");
  return QStringLiteral("%1 match%2").arg(count).arg(count == 1 ? "" : "es");
}

SearchBar::SearchBar(QWidget* parent, const UiKit& kit)
    : QWidget{parent},
      kit_{kit},
      field_{CreateEdit(this, kit, kFieldId, false, false)},
      close_{CreateButton(this, kit, kCloseId, QStringLiteral("\u2715"), ButtonKind::Plain)} {
  field_->setFont(kit.bodyFont);
  field_->setMaxLength(200);
  SetCueText(field_, QStringLiteral("Search names and messages"));
  field_->installEventFilter(this);
  close_->setToolTip(QStringLiteral("Close the search (Esc)"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  hide();
}

void SearchBar::SetOnQuery(std::function<void(const QString&)> onQuery) {
  connect(field_, &KitEdit::textChanged, this, [onQuery](const QString& text) { onQuery(text); });
}

void SearchBar::SetOnClose(std::function<void()> onClose) {
  onClose_ = onClose;
  connect(close_, &KitButton::clicked, this, [this] {
    if (onClose_) onClose_();
  });
}

void SearchBar::SetMatchCount(int count) {
  const QString text{MatchCountText(count, static_cast<int>(field_->text().size()))};
  if (text == countText_) return;
  countText_ = text;
  update();
}

bool SearchBar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == field_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    if (onClose_) onClose_();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void SearchBar::resizeEvent(QResizeEvent*) {
  const int h{height()};
  close_->setGeometry(width() - 10 - 34, (h - 32) / 2, 34, 32);
  field_->setGeometry(10, (h - 32) / 2, std::max(60, width() - 10 - 34 - 8 - kCountWidth - 10),
                      32);
}

void SearchBar::paintEvent(QPaintEvent*) {
  QPainter painter{this};
  const WindowPalette& palette{UiKit::Palette()};
  painter.fillRect(rect(), ToQColor(palette.surface));
  DrawHLine(painter, 0, width(), height() - 1, palette.border);
  painter.setFont(kit_.smallFont);
  painter.setPen(ToQColor(kSecondaryText));
  const QRect countBox{field_->geometry().right() + 8, 0, kCountWidth, height()};
  painter.drawText(countBox, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, countText_);
}

}  // namespace vlo
