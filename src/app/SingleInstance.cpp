// The single-instance check over a lock file and a local socket of the
// system's own: nothing of it needs a network library loaded at start.
#include "SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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
  delete notifier_;
  for (auto &[fd, client] : clients_) {
    delete client.Notifier;
    ::close(fd);
  }
  if (server_ >= 0) {
    ::close(server_);
    ::unlink(QFile::encodeName(socketPath_).constData());
  }
  // The file goes while it is still locked, so that no later copy takes a
  // lock on it.
  if (lock_ >= 0) {
    ::unlink(QFile::encodeName(LockPath()).constData());
    ::close(lock_);
  }
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

namespace {

// The socket's address; false when the path is too long for one.
bool SocketAddress(const QString &path, sockaddr_un &address) {
  const QByteArray name = QFile::encodeName(path);
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (name.isEmpty() || static_cast<size_t>(name.size()) >= sizeof address.sun_path)
    return false;
  std::memcpy(address.sun_path, name.constData(), static_cast<size_t>(name.size()));
  return true;
}

// Hands the request to the copy listening at the address; false when none
// listens (yet).
bool SendRequest(const sockaddr_un &address, const QByteArray &request) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return false;
  if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
    ::close(fd);
    return false;
  }
  // A write to a copy that went away meanwhile must not end this one.
  const timeval limit{1, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  qsizetype done = 0;
  while (done < request.size()) {
    const ssize_t n = ::send(fd, request.constData() + done,
                             static_cast<size_t>(request.size() - done), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    done += n;
  }
  ::close(fd);
  return true;
}

} // namespace

bool TSingleInstance::AnotherIsRunning(const std::string &file) {
  // The lock is the kernel's: it ends with the process that holds it, however
  // that process ends, so a copy that was killed never blocks the next, and
  // taking it writes nothing to the disk. The file goes when its holder ends
  // normally (as earlier builds expect); a lock taken on a file that was just
  // removed so is no lock, and is taken again on the file now there.
  const QByteArray lockPath = QFile::encodeName(LockPath());
  for (int attempt = 0; attempt < 8 && lock_ < 0; ++attempt) {
    const int fd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
      return false; // no lock to be had: run without the check
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      ::close(fd);
      if (error != EWOULDBLOCK)
        return false;
      // The first copy may still be starting: give it a moment to listen.
      sockaddr_un address{};
      if (SocketAddress(socketPath_, address)) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 3000 && !SendRequest(address, Request(file)))
          QThread::msleep(50);
      }
      return true;
    }
    struct stat held {
    }, named{};
    if (::fstat(fd, &held) == 0 && ::stat(lockPath.constData(), &named) == 0 &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino)
      lock_ = fd;
    else
      ::close(fd);
  }
  if (lock_ < 0)
    return false;
  // A copy that ended without cleaning up leaves its socket behind.
  sockaddr_un address{};
  if (!SocketAddress(socketPath_, address))
    return false;
  ::unlink(address.sun_path);
  server_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (server_ < 0)
    return false;
  if (::bind(server_, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
      ::chmod(address.sun_path, 0600) != 0 || ::listen(server_, 16) != 0) {
    ::close(server_);
    server_ = -1;
    return false;
  }
  notifier_ = new QSocketNotifier(server_, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { AcceptRequests(); });
  active_ = true;
  return false;
}

void TSingleInstance::AcceptRequests() {
  while (true) {
    const int fd = ::accept4(server_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
      if (errno == EINTR)
        continue;
      return; // none waiting (or none to be had)
    }
    TClient &client = clients_[fd];
    client.Notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(client.Notifier, &QSocketNotifier::activated, this, [this, fd] { ReadRequest(fd); });
  }
}

void TSingleInstance::ReadRequest(int fd) {
  const auto it = clients_.find(fd);
  if (it == clients_.end())
    return;
  TClient &client = it->second;
  // The request is complete when the later copy hangs up (or at its line
  // end); a request larger than any path is cut off and ignored.
  bool complete = false;
  while (true) {
    char buf[4096];
    const qsizetype room = MaxRequest - client.Request.size();
    const ssize_t n = ::read(fd, buf, static_cast<size_t>(std::min<qsizetype>(room, sizeof buf)));
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
      break;
    if (n <= 0) {
      complete = true;
      break;
    }
    client.Request.append(buf, n);
    if (client.Request.endsWith('\n') || client.Request.size() >= MaxRequest) {
      complete = true;
      break;
    }
  }
  if (!complete)
    return;
  const std::string requested = RequestedFile(client.Request);
  // Notifiers may not be deleted while they signal.
  client.Notifier->setEnabled(false);
  client.Notifier->deleteLater();
  clients_.erase(it);
  ::close(fd);
  if (OnMessage)
    OnMessage(requested);
}
