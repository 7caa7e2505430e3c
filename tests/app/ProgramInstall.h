// A copy of the built program in a temporary folder of its own (the program
// takes its settings from beside its executable), started as a real process
// and observed through the recording prompter's log.
#pragma once

#include "Prompter.h"
#include "Streams.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <memory>
#include <unistd.h>

namespace kxprogram {

inline QCoreApplication &App() {
  static int argc = 1;
  static char name[] = "test_app";
  static char *argv[] = {name, nullptr};
  if (!QCoreApplication::instance())
    new QCoreApplication(argc, argv);
  return *QCoreApplication::instance();
}

// A copy of the program in a temporary folder, with or without settings.
class Install {
public:
  enum Settings { NoIncFolder, NoSettingsFile, EmptySettingsFile };

  explicit Install(Settings settings) {
    App();
    static std::atomic<int> counter{0};
    instanceName_ = QStringLiteral("kxtest-%1-%2").arg(::getpid()).arg(counter++);
    exe_ = dir_.filePath(QStringLiteral("korvex-editor"));
    EXPECT_TRUE(QFile::copy(QStringLiteral(KX_BINARY_DIR "/korvex-editor"), exe_));
    QFile::setPermissions(exe_, QFile::permissions(exe_) | QFile::ExeOwner);
    if (settings != NoIncFolder)
      QDir(dir_.path()).mkdir(QStringLiteral("KX_INC"));
    if (settings == EmptySettingsFile)
      WriteSettings("");
  }

  // A killed copy leaves its lock and socket behind; a later start would
  // clear them, but no later start uses this test's name.
  ~Install() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    for (const QString &prefix :
         {runtime + QLatin1Char('/'),
          QDir::tempPath() + QStringLiteral("/korvex-%1/").arg(::getuid()),
          QDir::tempPath() + QStringLiteral("/korvex-%1-").arg(::getuid())}) {
      QFile::remove(prefix + instanceName_);
      QFile::remove(prefix + instanceName_ + QStringLiteral(".lock"));
    }
  }

  void WriteSettings(const std::string &bytes) { WriteFileAtomic(SettingsPath(), bytes); }
  std::string SettingsPath() const {
    return dir_.filePath(QStringLiteral("KX_INC/KORVEX.INI")).toStdString();
  }
  QString Folder() const { return dir_.path(); }
  const QString &InstanceName() const { return instanceName_; }
  void ShareInstanceWith(const Install &other) { instanceName_ = other.instanceName_; }

  // Starts the program; its prompter log is `log` (a file in this folder).
  std::unique_ptr<QProcess> Start(const QString &log, const QStringList &env = {},
                                  const QStringList &args = {}) {
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    e.insert(QStringLiteral("KX_INSTANCE_NAME"), instanceName_);
    e.insert(QStringLiteral("KX_PROMPTER_LOG"), LogPath(log));
    for (const QString &kv : env)
      e.insert(kv.section(QLatin1Char('='), 0, 0), kv.section(QLatin1Char('='), 1));
    p->setProcessEnvironment(e);
    p->setWorkingDirectory(dir_.path());
    p->start(exe_, args);
    EXPECT_TRUE(p->waitForStarted(-1));
    return p;
  }

  QString LogPath(const QString &log) const { return dir_.filePath(log); }
  std::vector<TPromptRecord> Log(const QString &log) const {
    return TRecordingPrompter::ReadLog(LogPath(log).toStdString());
  }
  // Waits until the log holds an event that begins with `prefix`; the limit
  // only ends a run whose program never gets there.
  bool WaitForEvent(const QString &log, const std::string &prefix, int ms = 180000) const {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
      if (HasEvent(log, prefix))
        return true;
      QThread::msleep(20);
    }
    return false;
  }
  bool HasEvent(const QString &log, const std::string &prefix) const {
    for (const auto &r : Log(log))
      if (r.Kind == "EVENT" && r.Text.rfind(prefix, 0) == 0)
        return true;
    return false;
  }
  int MessageCount(const QString &log) const {
    int n = 0;
    for (const auto &r : Log(log))
      n += r.Kind == "MESSAGE";
    return n;
  }

private:
  QTemporaryDir dir_;
  QString exe_;
  QString instanceName_;
};

// Waits for the program to end by itself; one that never does is killed.
inline bool Finish(QProcess &p, int ms = 180000) {
  if (!p.waitForFinished(ms)) {
    p.kill();
    p.waitForFinished(-1);
    ADD_FAILURE() << "the program did not end";
    return false;
  }
  return true;
}

} // namespace kxprogram
