// The main window's compose bar, moderation from the chat view, and its background tasks.

#include <QMenu>

#include "actions/Actions.h"
#include "ui/chatview/ChatView.h"
#include "ui/mainwindow/ChatWindow.h"
#include "ui/mainwindow/ComposeBar.h"
#include "ui/mainwindow/ComposeModel.h"
#include "ui/toolkit/KitButton.h"
#include "ui/toolkit/KitEdit.h"

namespace vlo {

using plx::PlatformId;

void ChatWindow::SendCompose() {
  const std::string text{TrimCompose(compose_->Field()->text().toStdString())};
  if (text.empty()) return;
  const ComposeTargets targets =
      ResolveComposeTargets(ReadyPlatforms(statuses_), stored_.sendTarget);
  if (targets.notReadyLine) {
    hub_->PostSystemLine(*TargetPlatform(stored_.sendTarget), *targets.notReadyLine);
    return;
  }
  if (targets.platforms.empty()) return;

  compose_->Field()->clear();
  view_->JumpToLatest();
  RunInBackground([hub = hub_.get(), endpoints = options_.endpoints, platforms = targets.platforms,
                   text] {
    for (const SendResult& result : Send(*hub, endpoints, platforms, text)) {
      if (result.ok) continue;
      hub->PostSystemLine(
          result.platform,
          std::string{"Not sent to "} + plx::PlatformName(result.platform) + ": " + result.detail);
    }
  });
}

std::unique_ptr<QMenu> ChatWindow::TargetMenu() {
  auto menu = std::make_unique<QMenu>(this);
  ComposeBar::FillTargetMenu(*menu, ReadyPlatforms(statuses_), stored_.sendTarget);
  return menu;
}

void ChatWindow::ShowTargetMenu() {
  const std::unique_ptr<QMenu> menu = TargetMenu();
  // Bottom-aligned on the button's top-left corner, so the menu opens upward.
  QPoint at = compose_->TargetButton()->mapToGlobal(QPoint{0, 0});
  at.ry() -= menu->sizeHint().height();
  if (QAction* chosen = menu->exec(at)) ChooseSendTarget(chosen->data().toInt());
}

void ChatWindow::ChooseSendTarget(int choice) {
  if (choice < 1 || choice > 4) return;
  stored_.sendTarget = choice - 1;
  applied_.sendTarget = stored_.sendTarget;
  Save();
  UpdateComposeBar();
}

void ChatWindow::Moderate(const plx::ChatMessage& message, ModAction action, int seconds) {
  RunInBackground([hub = hub_.get(), endpoints = options_.endpoints, message, action, seconds] {
    const ModerationResult result = vlo::Moderate(*hub, endpoints, message, action, seconds);
    ReportModeration(*hub, message, action, seconds, result);
  });
}

void ChatWindow::RunInBackground(std::function<void()> task) {
  std::lock_guard lock{tasksLock_};
  std::erase_if(tasks_, [](std::future<void>& f) {
    return f.wait_for(std::chrono::seconds{0}) == std::future_status::ready;
  });
  tasks_.push_back(std::async(std::launch::async, std::move(task)));
}

void ChatWindow::WaitForBackgroundTasks() {
  std::vector<std::future<void>> tasks;
  {
    std::lock_guard lock{tasksLock_};
    tasks.swap(tasks_);
  }
  for (std::future<void>& task : tasks) task.wait();
}

}  // namespace vlo
