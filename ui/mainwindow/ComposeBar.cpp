#include "ui/mainwindow/ComposeBar.h"

#include <QMenu>
#include <algorithm>

#include "ui/mainwindow/ComposeModel.h"
#include "ui/toolkit/Controls.h"
#include "ui/toolkit/KitButton.h"
#include "ui/toolkit/KitEdit.h"
#include "ui/toolkit/UiKit.h"

namespace vlo {

ComposeBar::ComposeBar(QWidget* window, const UiKit& kit)
    : target_{CreateButton(window, kit, kTargetButtonId, QString::fromStdString(TargetLabel(0)),
                           ButtonKind::Plain)},
      field_{CreateEdit(window, kit, kFieldId, false, false)},
      send_{CreateButton(window, kit, kSendButtonId, "Send", ButtonKind::Primary)} {
  field_->setFont(kit.bodyFont);
  field_->setMaxLength(kComposeMaxChars);
  target_->setFont(kit.bodyFont);
}

void ComposeBar::SetOnSend(std::function<void()> onSend) {
  QObject::connect(send_, &KitButton::clicked, send_, [onSend] { onSend(); });
  QObject::connect(field_, &KitEdit::returnPressed, field_, [onSend] { onSend(); });
}

void ComposeBar::SetOnTargetMenu(std::function<void()> onMenu) {
  QObject::connect(target_, &KitButton::clicked, target_, [onMenu] { onMenu(); });
}

void ComposeBar::SetGeometry(const WindowLayout& layout) {
  target_->setGeometry(layout.targetButton);
  field_->setGeometry(layout.composeEdit);
  send_->setGeometry(layout.sendButton);
}

void ComposeBar::Update(const std::array<PlatformStatus, 3>& statuses, int sendTarget) {
  const std::vector<plx::PlatformId> ready = ReadyPlatforms(statuses);
  const QString label = QString::fromStdString(TargetLabel(sendTarget));
  if (target_->text() != label) target_->setText(label);
  const bool enabled = !ready.empty();
  if (field_->isEnabled() != enabled) field_->setEnabled(enabled);
  send_->setEnabled(enabled);
  const QString placeholder = QString::fromStdString(ComposePlaceholder(ready, sendTarget));
  if (placeholder != placeholder_) {
    placeholder_ = placeholder;
    SetCueText(field_, placeholder);
  }
}

void ComposeBar::FillTargetMenu(QMenu& menu, const std::vector<plx::PlatformId>& ready,
                                int sendTarget) {
  const auto add = [&menu](const QString& text, int choice, bool checked, bool enabled) {
    QAction* action = menu.addAction(text);
    action->setData(choice);
    action->setCheckable(true);
    action->setChecked(checked);
    action->setEnabled(enabled);
  };
  StyleMenu(menu);
  add("All signed-in chats", 1, sendTarget == 0, !ready.empty());
  menu.addSeparator();
  const char* const names[] = {"Twitch only", "YouTube only", "Kick only"};
  for (int i = 0; i < 3; ++i) {
    const bool isReady =
        std::find(ready.begin(), ready.end(), plx::kReadPlatforms[i]) != ready.end();
    add(names[i], i + 2, sendTarget == i + 1, isReady);
  }
}

}  // namespace vlo
