#include "ui/toolkit/ChoiceDialog.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include "ui/toolkit/KitButton.h"
#include "ui/toolkit/KitColors.h"
#include "ui/toolkit/KitLabel.h"
#include "ui/toolkit/UiKit.h"

namespace vlo {

namespace {

class ChoiceDialogWindow : public QDialog {
 public:
  explicit ChoiceDialogWindow(QWidget* owner) : QDialog{owner} {
    setWindowTitle(QStringLiteral("Velaro Studio"));
    kit_.InitForWindow(this);
  }

  void reject() override { done(kChoiceCancel); }

  UiKit kit_;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter{this};
    painter.fillRect(rect(), ToQColor(UiKit::Palette().windowBg));
  }
};

}  // namespace

int ShowChoiceDialog(QWidget* owner, const QString& instruction, const QString& content,
                     const std::vector<std::pair<int, QString>>& choices, int defaultId) {
  ChoiceDialogWindow dialog{owner ? owner->window() : nullptr};
  UiKit& kit{dialog.kit_};
  auto* column{new QVBoxLayout{&dialog}};
  column->setContentsMargins(kit.Scale(20), kit.Scale(18), kit.Scale(20), kit.Scale(16));
  column->setSpacing(kit.Scale(8));

  auto* heading{new KitLabel{instruction, kit, false, false, &dialog}};
  QFont headingFont{kit.semiboldFont};
  headingFont.setPixelSize(kit.Scale(17));
  heading->setFont(headingFont);
  heading->setWordWrap(true);
  column->addWidget(heading);
  auto* body{new KitLabel{content, kit, true, false, &dialog}};
  body->setWordWrap(true);
  body->setMinimumWidth(kit.Scale(360));
  column->addWidget(body);
  column->addSpacing(kit.Scale(6));

  for (const auto& [id, text] : choices) {
    auto* link{new KitButton{QStringLiteral("\u2192  ") + text, ButtonKind::Plain, kit, &dialog}};
    link->SetCaptionAlignment(Qt::AlignLeft);
    link->setMinimumHeight(kit.Scale(38));
    const int chosen{id};
    QObject::connect(link, &QAbstractButton::clicked, &dialog,
                     [&dialog, chosen] { dialog.done(chosen); });
    if (id == defaultId) link->setFocus(Qt::OtherFocusReason);
    column->addWidget(link);
  }

  auto* row{new QHBoxLayout};
  row->addStretch(1);
  auto* cancel{new KitButton{QStringLiteral("Cancel"), ButtonKind::Plain, kit, &dialog}};
  cancel->setMinimumWidth(kit.Scale(96));
  QObject::connect(cancel, &QAbstractButton::clicked, &dialog, [&dialog] { dialog.reject(); });
  if (defaultId == kChoiceCancel) cancel->setFocus(Qt::OtherFocusReason);
  row->addWidget(cancel);
  column->addSpacing(kit.Scale(6));
  column->addLayout(row);

  return dialog.exec();
}

}  // namespace vlo
