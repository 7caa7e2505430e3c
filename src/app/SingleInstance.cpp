#include "SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// A folder only this user can write, so that one user's copy never finds
// another user's.
QString InstanceFolder() {
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && QDir(QString::fromLocal8Bit(runtime)).exists())
    return QString::fromLocal8Bit(runtime);
  const QString dir = QDir::tempPath() + QStringLiteral("/korvex-%1").arg(::getuid());
  QDir().mkpath(dir);
  ::chmod(QFile::encodeName(dir).constData(), 0700);
  return dir;
}

} // namespace

QString TSingleInstance::InstanceName() {
  const QString name = qEnvironmentVariable("KX_INSTANCE_NAME");
  return name.isEmpty() ? QStringLiteral("KORVEXEDITORINSTANCE") : name;
}

TSingleInstance::TSingleInstance()
    : socketPath_(InstanceFolder() + QLatin1Char('/') + InstanceName()) {}

TSingleInstance::~TSingleInstance() {
  if (server_)
    server_->close();
}

bool TSingleInstance::AnotherIsRunning() {
  lock_ = std::make_unique<QLockFile>(socketPath_ + QStringLiteral(".lock"));
  // Only a lock whose process has ended is stale, however old it is.
  lock_->setStaleLockTime(0);
  if (!lock_->tryLock(0)) {
    if (lock_->error() != QLockFile::LockFailedError)
      return false; // no lock to be had: run without the check
    // The first copy may still be starting: give it a moment to listen.
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 3000) {
      QLocalSocket socket;
      socket.connectToServer(socketPath_);
      if (socket.waitForConnected(500)) {
        socket.write("1", 1);
        socket.waitForBytesWritten(1000);
        socket.disconnectFromServer();
        break;
      }
      QThread::msleep(50);
    }
    return true;
  }
  // A copy that ended without cleaning up leaves its socket behind.
  QLocalServer::removeServer(socketPath_);
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(socketPath_))
    return false;
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket *socket = server_->nextPendingConnection()) {
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      if (OnMessage)
        OnMessage();
    }
  });
  active_ = true;
  return false;
}
