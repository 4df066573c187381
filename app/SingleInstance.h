#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace vlo {

// One running instance per profile: a lock file in the runtime folder, plus a local socket of
// the same name through which a second start asks the first to bring its window forward.
// Lives on the window thread.
class SingleInstance : public QObject {
 public:
  explicit SingleInstance(const QString& name);
  ~SingleInstance() override;

  enum class Outcome {
    Acquired,      // this process now holds the instance lock
    OtherRunning,  // another process holds it and was asked to raise its window (best effort)
    Unguarded,     // the lock could not be made at all (say, an unwritable folder)
  };
  Outcome Acquire();

  // Called on the window thread when a later start asks this instance to show itself.
  void SetOnActivate(std::function<void()> onActivate) { onActivate_ = std::move(onActivate); }

  // The folder holding the lock and socket: $XDG_RUNTIME_DIR, else the temporary folder.
  static QString RuntimeFolder();

 private:
  void AcceptConnections();
  QString BasePath() const;
  static QString SocketPath(const QString& base);

  QString name_;
  std::unique_ptr<QLockFile> lock_;
  std::unique_ptr<QLocalServer> server_;
  std::function<void()> onActivate_;
};

}  // namespace vlo
