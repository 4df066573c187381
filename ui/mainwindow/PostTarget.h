#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <atomic>
#include <memory>
#include <mutex>

namespace vlo {

// Event types the main window receives from other threads.
inline const QEvent::Type kHubChangedEvent = static_cast<QEvent::Type>(QEvent::User + 1);
inline const QEvent::Type kSignInFinishedEvent = static_cast<QEvent::Type>(QEvent::User + 2);
inline const QEvent::Type kEmoteReportsEvent = static_cast<QEvent::Type>(QEvent::User + 3);
// An update check finished, or an install attempt did (UpdateEvent in ChatWindowUpdate.cpp).
inline const QEvent::Type kUpdateEvent = static_cast<QEvent::Type>(QEvent::User + 4);
// A sign-in with the user's own app has a page to open and a code to show (SignInPromptEvent in
// ChatWindowAccounts.cpp).
inline const QEvent::Type kSignInPromptEvent = static_cast<QEvent::Type>(QEvent::User + 5);

// Posts events to a window from any thread, and safely does nothing once the window has
// detached itself (a worker may still hold a copy of a callback while the window goes away).
class PostTarget {
 public:
  explicit PostTarget(QObject* target) : target_{target} {}

  // Any thread. Posts `type` unless `pending` was already set; the receiver clears it.
  void PostCoalesced(QEvent::Type type, std::atomic<bool>& pending) {
    if (pending.exchange(true)) return;
    std::lock_guard lock{mutex_};
    if (target_) QCoreApplication::postEvent(target_, new QEvent{type});
  }

  // Any thread. Posts `event` (taking it over); once detached the event is simply dropped.
  void Post(std::unique_ptr<QEvent> event) {
    std::lock_guard lock{mutex_};
    if (target_) QCoreApplication::postEvent(target_, event.release());
  }

  // Window thread, before the target is destroyed.
  void Detach() {
    std::lock_guard lock{mutex_};
    target_ = nullptr;
  }

 private:
  std::mutex mutex_;  // guards target_
  QObject* target_;
};

}  // namespace vlo
