#include "app/SingleInstance.h"

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

bool SingleInstance::Acquire() {
  const QString base = RuntimeFolder() + "/" + name_;
  lock_ = std::make_unique<QLockFile>(base + ".lock");
  lock_->setStaleLockTime(0);  // stale only when the holder is gone
  if (!lock_->tryLock(0)) {
    lock_.reset();
    QLocalSocket socket;
    socket.connectToServer(base + ".socket");
    if (socket.waitForConnected(1000)) {
      socket.write(kActivate);
      socket.waitForBytesWritten(1000);
      socket.disconnectFromServer();
    }
    return false;
  }
  // A socket file left by a crashed instance would block listening.
  QLocalServer::removeServer(base + ".socket");
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (server_->listen(base + ".socket")) {
    QObject::connect(server_.get(), &QLocalServer::newConnection, this,
                     [this] { AcceptConnections(); });
  }
  return true;
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
