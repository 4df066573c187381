#pragma once

#include <QString>
#include <array>
#include <functional>
#include <vector>

#include "core/PlatformStatus.h"
#include "ui/mainwindow/HeaderModel.h"

class QMenu;
class QWidget;

namespace vlo {

class KitButton;
class KitEdit;
class UiKit;

// The controls of the compose band: the send-target button, the compose field (at most 500
// characters; Enter sends) and the Send button, children of the main window. Window thread only.
class ComposeBar {
 public:
  static constexpr int kTargetButtonId = 10;
  static constexpr int kSendButtonId = 11;
  static constexpr int kFieldId = 12;

  ComposeBar(QWidget* window, const UiKit& kit);

  // Called on the send button's click and on Enter in the field.
  void SetOnSend(std::function<void()> onSend);
  // Called on the target button's click.
  void SetOnTargetMenu(std::function<void()> onMenu);

  void SetGeometry(const WindowLayout& layout);
  // The label, enabled state and placeholder for these statuses and the stored target.
  void Update(const std::array<PlatformStatus, 3>& statuses, int sendTarget);

  // The send-target menu for the ready platforms; each action's data is its choice 1..4
  // ("All signed-in chats", "Twitch only", "YouTube only", "Kick only").
  static void FillTargetMenu(QMenu& menu, const std::vector<plx::PlatformId>& ready,
                             int sendTarget);

  KitButton* TargetButton() const { return target_; }
  KitEdit* Field() const { return field_; }
  KitButton* SendButton() const { return send_; }
  const QString& Placeholder() const { return placeholder_; }

 private:
  KitButton* target_;  // children of the window, owned by Qt
  KitEdit* field_;
  KitButton* send_;
  QString placeholder_;
};

}  // namespace vlo
