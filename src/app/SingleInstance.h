// Keeps a second copy of the program from running: the first copy holds a
// lock named after the instance and listens on a local socket of the same
// name; a later copy finds the lock held, sends the file it was asked to open
// (if any) over the socket, which brings the first copy to the front and
// makes it open that file, and ends.
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <string>

class QSocketNotifier;

class TSingleInstance : public QObject {
public:
  // The name is "KORVEXEDITORINSTANCE" unless KX_INSTANCE_NAME gives another
  // (so that test processes running side by side do not meet).
  TSingleInstance();
  ~TSingleInstance() override;

  // True when another copy runs; it has then been told to come to the front
  // and to open `file` (an absolute path; empty for none). Otherwise this
  // copy becomes the one that others find.
  bool AnotherIsRunning(const std::string &file = std::string());

  // Runs in this copy whenever a later copy starts, with the file that copy
  // was given (empty for none).
  std::function<void(const std::string &file)> OnMessage;

  // What a later copy sends, and what the first makes of it: "OPEN <path>\n"
  // or "RAISE\n". Anything else (or nothing) only raises the window.
  static QByteArray Request(const std::string &file);
  static std::string RequestedFile(const QByteArray &request);

  // False when this copy could not set up its lock or socket; the program
  // still runs, and a later copy may then start too.
  bool Active() const { return active_; }
  const QString &SocketPath() const { return socketPath_; }

  static QString InstanceName();

private:
  // A request is one path: anything longer is cut off here and ignored.
  static constexpr qsizetype MaxRequest = 65536;
  struct TClient {
    QSocketNotifier *Notifier = nullptr;
    QByteArray Request;
  };
  QString LockPath() const { return socketPath_ + QStringLiteral(".lock"); }
  void AcceptRequests();
  void ReadRequest(int fd);

  QString socketPath_;
  int lock_ = -1;   // holds the lock while open
  int server_ = -1; // the listening socket
  QSocketNotifier *notifier_ = nullptr;
  std::map<int, TClient> clients_;
  bool active_ = false;
};
