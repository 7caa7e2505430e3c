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

bool OwnPrivateFolder(const QString &dir) {
  struct stat st {};
  return ::lstat(QFile::encodeName(dir).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
         st.st_uid == ::getuid() && (st.st_mode & 0077) == 0;
}

// Where the lock and the socket go: a folder only this user can write, so
// that one user's copy never finds (or is tricked by) another user's.
QString InstancePrefix() {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && OwnPrivateFolder(runtime))
    return runtime + QLatin1Char('/');
  const QString dir = QDir::tempPath() + QStringLiteral("/korvex-%1").arg(::getuid());
  ::mkdir(QFile::encodeName(dir).constData(), 0700);
  if (OwnPrivateFolder(dir))
    return dir + QLatin1Char('/');
  // Someone else holds that folder name: use the shared folder with the
  // user's number in the names.
  return QDir::tempPath() + QStringLiteral("/korvex-%1-").arg(::getuid());
}

} // namespace

QString TSingleInstance::InstanceName() {
  const QString name = qEnvironmentVariable("KX_INSTANCE_NAME");
  return name.isEmpty() ? QStringLiteral("KORVEXEDITORINSTANCE") : name;
}

TSingleInstance::TSingleInstance() : socketPath_(InstancePrefix() + InstanceName()) {}

TSingleInstance::~TSingleInstance() {
  if (server_)
    server_->close();
}

QByteArray TSingleInstance::Request(const std::string &file) {
  if (file.empty() || file.find('\n') != std::string::npos)
    return QByteArrayLiteral("RAISE\n");
  return "OPEN " + QByteArray::fromStdString(file) + "\n";
}

std::string TSingleInstance::RequestedFile(const QByteArray &request) {
  if (!request.startsWith("OPEN ") || !request.endsWith('\n') || request.size() <= 6)
    return std::string();
  const QByteArray path = request.mid(5, request.size() - 6);
  // One absolute path, as a later copy sends it; anything else is ignored.
  if (!path.startsWith('/') || path.contains('\n') || path.contains('\0'))
    return std::string();
  return path.toStdString();
}

bool TSingleInstance::AnotherIsRunning(const std::string &file) {
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
        socket.write(Request(file));
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
      // The request is complete when the later copy hangs up (or at its line
      // end); a request larger than any path is cut off and ignored.
      auto *request = new QByteArray;
      auto handle = [this, socket, request] {
        if (request->isNull())
          return;
        const std::string file = RequestedFile(*request);
        *request = QByteArray();
        socket->disconnectFromServer();
        if (OnMessage)
          OnMessage(file);
      };
      connect(socket, &QLocalSocket::readyRead, this, [socket, request, handle] {
        request->append(socket->read(std::max<qint64>(0, 65536 - request->size())));
        if (request->endsWith('\n') || request->size() >= 65536)
          handle();
      });
      connect(socket, &QLocalSocket::disconnected, this, handle);
      connect(socket, &QLocalSocket::disconnected, socket, [socket, request] {
        delete request;
        socket->deleteLater();
      });
      *request = QByteArray("");
    }
  });
  active_ = true;
  return false;
}
