#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QTimer>
#include <functional>
#include <map>
#include <optional>
#include <string>

namespace vlo {

// Desktop notifications for highlighted rows through the freedesktop notification service on a
// D-Bus connection. A burst never floods the desktop: the first note is shown at once, the ones
// that follow within the quiet time are counted and shown as one note when it has passed. Calls
// never wait for the service; without one, notes are dropped. Window thread only.
class DesktopNotifier : public QObject {
  Q_OBJECT

 public:
  struct Note {
    std::string rowId;
    std::string title;  // "author · Platform"
    std::string text;   // the message as plain text
  };

  DesktopNotifier(QDBusConnection bus, QString appName, QString desktopEntry);

  void SetQuietMs(int ms) { quietMs_ = ms; }
  // Called with the row id of a note the user clicked.
  void SetOnActivated(std::function<void(const std::string& rowId)> onActivated);
  void Notify(Note note);
  // Notes handed to the service so far.
  int SentCount() const { return sent_; }

 private slots:
  void OnActionInvoked(uint id, const QString& actionKey);

 private:
  void Send(const Note& note, int count);
  void OnQuietEnd();

  QDBusConnection bus_;
  QString appName_;
  QString desktopEntry_;
  int quietMs_{8000};
  QTimer quiet_;
  std::optional<Note> waiting_;  // the newest note of the burst
  int waitingCount_{0};
  uint lastId_{0};  // the service's id of the last note, replaced by the next summary
  std::map<uint, std::string> rowOf_;
  std::function<void(const std::string&)> onActivated_;
  int sent_{0};
};

// The note's text, made safe for services that read a little markup.
QString NotificationText(const std::string& text);

}  // namespace vlo
