#include "ui/mainwindow/UpdateBoxes.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "ui/toolkit/KitButton.h"
#include "ui/toolkit/KitColors.h"
#include "ui/toolkit/KitLabel.h"
#include "ui/toolkit/UiKit.h"

namespace vlo {

namespace {

constexpr Rgb kWarningSign{Hex(0xF2A93B)};
constexpr int kIconSize = 32;

enum class BoxIcon { Question, Warning };

// The box's sign, drawn as shapes: a question mark on an accent disc, or an exclamation mark on
// an amber triangle.
class BoxSign : public QWidget {
 public:
  BoxSign(BoxIcon icon, const UiKit& kit, QWidget* parent)
      : QWidget{parent}, icon_{icon}, kit_{kit} {
    setFixedSize(kit.Scale(kIconSize), kit.Scale(kIconSize));
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter{this};
    painter.fillRect(rect(), ToQColor(UiKit::Palette().windowBg));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QRectF box{rect()};
    QFont mark{kit_.semiboldFont};
    mark.setPixelSize(kit_.Scale(20));
    if (icon_ == BoxIcon::Question) {
      painter.setBrush(ToQColor(UiKit::Palette().accent));
      painter.drawEllipse(box.adjusted(1, 1, -1, -1));
      painter.setPen(ToQColor(kWhite));
      painter.setFont(mark);
      painter.drawText(box, Qt::AlignCenter, QStringLiteral("?"));
      return;
    }
    const qreal w = box.width();
    QPainterPath triangle;
    triangle.moveTo(w / 2, 2);
    triangle.lineTo(w - 1, w - 3);
    triangle.lineTo(1, w - 3);
    triangle.closeSubpath();
    painter.setBrush(ToQColor(kWarningSign));
    painter.drawPath(triangle);
    painter.setPen(ToQColor(kBlack));
    painter.setFont(mark);
    painter.drawText(box.adjusted(0, w * 0.12, 0, 0), Qt::AlignCenter, QStringLiteral("!"));
  }

 private:
  BoxIcon icon_;
  const UiKit& kit_;
};

class MessageBox : public QDialog {
 public:
  MessageBox(QWidget* owner, const QString& caption) : QDialog{owner} {
    setWindowTitle(caption);
    kit_.InitForWindow(this);
  }

  UiKit kit_;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter{this};
    painter.fillRect(rect(), ToQColor(UiKit::Palette().windowBg));
  }
};

// Lays the box out: sign, heading and explanation, then the buttons at the bottom right. Each
// button ends the box with its result; the first is the default.
int RunBox(QWidget* owner, const QString& caption, const QString& text, BoxIcon icon,
           const std::vector<std::pair<QString, int>>& buttons) {
  MessageBox box{owner ? owner->window() : nullptr, caption};
  UiKit& kit{box.kit_};
  const qsizetype split = text.indexOf(QStringLiteral("\n\n"));
  const QString heading = split < 0 ? text : text.left(split);
  const QString detail = split < 0 ? QString{} : text.mid(split + 2);

  auto* outer{new QVBoxLayout{&box}};
  outer->setContentsMargins(kit.Scale(20), kit.Scale(18), kit.Scale(20), kit.Scale(16));
  outer->setSpacing(kit.Scale(16));
  auto* top{new QHBoxLayout};
  top->setSpacing(kit.Scale(14));
  top->addWidget(new BoxSign{icon, kit, &box}, 0, Qt::AlignTop);
  auto* texts{new QVBoxLayout};
  texts->setSpacing(kit.Scale(8));
  auto* title{new KitLabel{heading, kit, false, false, &box}};
  title->setFont(kit.semiboldFont);
  title->setWordWrap(true);
  title->setMinimumWidth(kit.Scale(360));
  texts->addWidget(title);
  if (!detail.isEmpty()) {
    auto* body{new KitLabel{detail, kit, true, false, &box}};
    body->setWordWrap(true);
    body->setMinimumWidth(kit.Scale(360));
    texts->addWidget(body);
  }
  top->addLayout(texts, 1);
  outer->addLayout(top);

  auto* row{new QHBoxLayout};
  row->setSpacing(kit.Scale(8));
  row->addStretch(1);
  bool first = true;
  for (const auto& [label, result] : buttons) {
    auto* button{new KitButton{label, first ? ButtonKind::Primary : ButtonKind::Plain, kit, &box}};
    button->setMinimumWidth(kit.Scale(88));
    button->setMinimumHeight(kit.Scale(32));
    const int chosen{result};
    QObject::connect(button, &QAbstractButton::clicked, &box, [&box, chosen] { box.done(chosen); });
    if (first) button->setFocus(Qt::OtherFocusReason);
    first = false;
    row->addWidget(button);
  }
  outer->addLayout(row);
  return box.exec();
}

}  // namespace

bool AskYesNo(QWidget* owner, const QString& caption, const QString& text) {
  constexpr int kYes = 6;
  return RunBox(owner, caption, text, BoxIcon::Question,
                {{QStringLiteral("Yes"), kYes}, {QStringLiteral("No"), QDialog::Rejected}}) == kYes;
}

void ShowWarning(QWidget* owner, const QString& caption, const QString& text) {
  RunBox(owner, caption, text, BoxIcon::Warning, {{QStringLiteral("OK"), QDialog::Accepted}});
}

}  // namespace vlo
