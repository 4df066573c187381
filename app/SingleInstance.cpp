#include "app/SingleInstance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

namespace vlo {

namespace {
constexpr char kActivate[] = "activate\n";
}

SingleInstance::SingleInstance(const QString& name) : name_{name} {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::RuntimeFolder() {
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && QDir{QString::fromLocal8Bit(runtime)}.exists()) {
    return QString::fromLocal8Bit(runtime);
  }
  return QDir::tempPath();
}

QString SingleInstance::BasePath() const {
  // The runtime folder is the user's own; the shared temporary folder is not, so there the
  // names carry the user id to keep users from blocking each other.
  const QString folder = RuntimeFolder();
  QString base = folder + "/" + name_;
  if (folder == QDir::tempPath()) base += "-" + QString::number(getuid());
  return base;
}

QString SingleInstance::SocketPath(const QString& base) {
  // Local socket paths are limited to about 100 bytes; a long profile name in a deep folder
  // gets a short name derived from it instead.
  const QString path = base + ".socket";
  if (path.toUtf8().size() < 100) return path;
  const QByteArray digest =
      QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
  return QDir::tempPath() + "/vlo-" + QString::fromLatin1(digest) + ".socket";
}

SingleInstance::Outcome SingleInstance::Acquire() {
  const QString base = BasePath();
  const QString socketPath = SocketPath(base);
  lock_ = std::make_unique<QLockFile>(base + ".lock");
  lock_->setStaleLockTime(0);  // stale only when the holder is gone
  if (!lock_->tryLock(0)) {
    const QLockFile::LockError error = lock_->error();
    lock_.reset();
    if (error != QLockFile::LockFailedError) return Outcome::Unguarded;
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (socket.waitForConnected(1000)) {
      socket.write(kActivate);
      socket.waitForBytesWritten(1000);
      socket.disconnectFromServer();
    }
    return Outcome::OtherRunning;
  }
  // A socket file left by a crashed instance would block listening.
  QLocalServer::removeServer(socketPath);
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (server_->listen(socketPath)) {
    QObject::connect(server_.get(), &QLocalServer::newConnection, this,
                     [this] { AcceptConnections(); });
  }
  return Outcome::Acquired;
}

void SingleInstance::AcceptConnections() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    QObject::connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      const QByteArray data = socket->readAll();
      if (data.contains("activate") && onActivate_) onActivate_();
    });
    QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
  }
}

}  // namespace vlo
