// A private X server (Xvfb on a display number it picks itself) with a window
// manager, for the checks only a real window system can show: the captions
// the window manager gets, window placement, keys typed into the focused
// window, menu shortcuts (which need an active window). Windows are read and
// driven with xdotool. Without Xvfb, openbox or xdotool the server is not
// ready and Missing() names the first one absent.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kxtest {

class TXServer {
public:
  TXServer() {
    for (const char *tool : {"Xvfb", "openbox", "xdotool"})
      if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty()) {
        missing_ = tool;
        return;
      }
    int fds[2];
    if (::pipe(fds) != 0)
      return;
    xvfb_ = ::fork();
    if (xvfb_ == 0) {
      ::close(fds[0]);
      ::dup2(fds[1], 3);
      const int devnull = ::open("/dev/null", O_WRONLY);
      ::dup2(devnull, 1);
      ::dup2(devnull, 2);
      ::execlp("Xvfb", "Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0",
               "1280x1024x24", static_cast<char *>(nullptr));
      ::_exit(127);
    }
    ::close(fds[1]);
    // Xvfb writes its display number once it accepts clients.
    char buf[32] = {};
    ssize_t got = 0;
    while (got < static_cast<ssize_t>(sizeof buf) - 1) {
      const ssize_t n = ::read(fds[0], buf + got, sizeof buf - 1 - static_cast<size_t>(got));
      if (n <= 0 || buf[got + n - 1] == '\n') {
        got += n > 0 ? n : 0;
        break;
      }
      got += n;
    }
    ::close(fds[0]);
    const int number = std::atoi(buf);
    if (got <= 0 || number < 0 || buf[0] < '0' || buf[0] > '9')
      return;
    display_ = QStringLiteral(":%1").arg(number);
    wm_.setProcessEnvironment(Environment());
    wm_.start(QStringLiteral("openbox"), {});
    if (!wm_.waitForStarted(10000))
      return;
    // The window manager is up once it answers for the desktops.
    ready_ = WaitFor([&] { return Xdotool({QStringLiteral("get_num_desktops")}).toInt() > 0; });
  }
  ~TXServer() {
    if (wm_.state() != QProcess::NotRunning) {
      wm_.kill();
      wm_.waitForFinished(5000);
    }
    if (xvfb_ > 0) {
      ::kill(xvfb_, SIGTERM);
      ::waitpid(xvfb_, nullptr, 0);
    }
  }
  TXServer(const TXServer &) = delete;
  TXServer &operator=(const TXServer &) = delete;

  bool Ready() const { return ready_; }
  // The tool that is not installed, or null.
  const char *Missing() const { return missing_; }
  // The display name (":N") for DISPLAY.
  const QString &Display() const { return display_; }

  // The environment of a program shown on this server.
  QProcessEnvironment Environment() const {
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("DISPLAY"), display_);
    e.insert(QStringLiteral("HOME"), home_.path());
    e.insert(QStringLiteral("XDG_CONFIG_HOME"), home_.path() + QStringLiteral("/config"));
    return e;
  }
  // Program environment entries for Install::Start.
  QStringList ProgramEnvironment() const {
    return {QStringLiteral("QT_QPA_PLATFORM=xcb"), QStringLiteral("DISPLAY=") + display_};
  }

  // Runs xdotool with the arguments; its output without the final newline.
  QString Xdotool(const QStringList &args) const {
    QProcess p;
    p.setProcessEnvironment(Environment());
    p.start(QStringLiteral("xdotool"), args);
    if (!p.waitForFinished(10000)) {
      p.kill();
      p.waitForFinished(2000);
      return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
  }

  // The visible top-level windows of a process.
  QStringList Windows(qint64 pid) const {
    return Xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                    QStringLiteral("--pid"), QString::number(pid)})
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  }
  QString Caption(const QString &window) const {
    return Xdotool({QStringLiteral("getwindowname"), window});
  }
  // The visible windows of any process whose caption matches the regular
  // expression, one id a line (empty when there is none).
  QString Named(const QString &pattern) const {
    return Xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                    QStringLiteral("--name"), pattern});
  }
  bool Visible(const QString &pattern) const { return !Named(pattern).isEmpty(); }
  // The first visible window of the process whose caption is `caption`.
  QString WindowCalled(qint64 pid, const QString &caption, int ms = 15000) const {
    QString found;
    WaitFor(
        [&] {
          for (const QString &w : Windows(pid))
            if (Caption(w) == caption) {
              found = w;
              return true;
            }
          return false;
        },
        ms);
    return found;
  }
  // Keys as xdotool names them ("ctrl+Tab", "alt+f"), typed into the window
  // after it was given the focus.
  void Keys(const QString &window, const QStringList &keys) const {
    Xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
    for (const QString &k : keys)
      Xdotool({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), k});
  }

  // Polls `done` until it holds; the time limit only bounds a failure.
  template <class F> static bool WaitFor(F done, int ms = 15000) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
      if (done())
        return true;
      QThread::msleep(50);
    }
    return done();
  }

private:
  pid_t xvfb_ = -1;
  QProcess wm_;
  QString display_;
  QTemporaryDir home_;
  bool ready_ = false;
  const char *missing_ = nullptr;
};

} // namespace kxtest
