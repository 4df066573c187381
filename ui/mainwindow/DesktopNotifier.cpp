#include "ui/mainwindow/DesktopNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace vlo {

namespace {

const QString kService{QStringLiteral("org.freedesktop.Notifications")};
const QString kPath{QStringLiteral("/org/freedesktop/Notifications")};
const QString kInterface{QStringLiteral("org.freedesktop.Notifications")};
constexpr qsizetype kMaxText{300};
constexpr size_t kMaxRemembered{64};

}  // namespace

QString NotificationText(const std::string& text) {
  QString plain{QString::fromUtf8(text).simplified()};
  if (plain.size() > kMaxText) plain = plain.left(kMaxText - 1) + QChar{0x2026};
  return plain.toHtmlEscaped();
}

DesktopNotifier::DesktopNotifier(QDBusConnection bus, QString appName, QString desktopEntry)
    : bus_{std::move(bus)}, appName_{std::move(appName)}, desktopEntry_{std::move(desktopEntry)} {
  quiet_.setSingleShot(true);
  connect(&quiet_, &QTimer::timeout, this, &DesktopNotifier::OnQuietEnd);
  if (bus_.isConnected()) {
    bus_.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                 SLOT(OnActionInvoked(uint, QString)));
  }
}

void DesktopNotifier::SetOnActivated(std::function<void(const std::string&)> onActivated) {
  onActivated_ = std::move(onActivated);
}

void DesktopNotifier::Notify(Note note) {
  if (!bus_.isConnected()) return;
  if (quiet_.isActive()) {
    waiting_ = std::move(note);
    ++waitingCount_;
    return;
  }
  Send(note, 1);
  quiet_.start(quietMs_);
}

void DesktopNotifier::OnQuietEnd() {
  if (!waiting_) return;
  const Note note{std::move(*waiting_)};
  const int count{waitingCount_};
  waiting_.reset();
  waitingCount_ = 0;
  Send(note, count);
  quiet_.start(quietMs_);
}

void DesktopNotifier::Send(const Note& note, int count) {
  const QString summary{count > 1 ? QStringLiteral("%1 more mentions and highlights").arg(count)
                                  : QString::fromUtf8(note.title)};
  const QString body{count > 1 ? QStringLiteral("Latest: ") +
                                     NotificationText(note.title + ": " + note.text)
                               : NotificationText(note.text)};
  QVariantMap hints;
  hints.insert(QStringLiteral("category"), QStringLiteral("im.received"));
  hints.insert(QStringLiteral("desktop-entry"), desktopEntry_);
  QDBusMessage call{QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                   QStringLiteral("Notify"))};
  call << appName_ << (count > 1 ? lastId_ : uint{0}) << QString{} << summary << body
       << QStringList{QStringLiteral("default"), QStringLiteral("Show")} << hints << int{-1};
  ++sent_;
  auto* watcher{new QDBusPendingCallWatcher{bus_.asyncCall(call), this}};
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this, rowId = note.rowId](QDBusPendingCallWatcher* finished) {
            const QDBusPendingReply<uint> reply{*finished};
            finished->deleteLater();
            if (reply.isError()) return;
            lastId_ = reply.value();
            rowOf_[lastId_] = rowId;
            while (rowOf_.size() > kMaxRemembered) rowOf_.erase(rowOf_.begin());
          });
}

void DesktopNotifier::OnActionInvoked(uint id, const QString&) {
  const auto it{rowOf_.find(id)};
  if (it == rowOf_.end()) return;
  if (onActivated_) onActivated_(it->second);
}

}  // namespace vlo
