// Start-up as real processes of the built program, each in a folder of its
// own (the program takes its settings from beside its executable), under the
// offscreen platform, observed through the recording prompter's log.
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
#include <unistd.h>

namespace {

const char *const FatalText = "Could not Find KORVEX.INI\rMake sure it is in the KX_INC folder and "
                              "is not Write Protected\rThe Compiler will now Close";

QCoreApplication &App() {
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
bool Finish(QProcess &p, int ms = 180000) {
  if (!p.waitForFinished(ms)) {
    p.kill();
    p.waitForFinished(-1);
    ADD_FAILURE() << "the program did not end";
    return false;
  }
  return true;
}

TEST(Startup, MissingSettingsFileShowsTheFatalMessageAndEnds) {
  for (const auto settings : {Install::NoIncFolder, Install::NoSettingsFile}) {
    Install inst(settings);
    auto p = inst.Start(QStringLiteral("log"));
    Finish(*p);
    EXPECT_NE(p->exitCode(), 0);
    const auto log = inst.Log(QStringLiteral("log"));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].Kind, "MESSAGE");
    EXPECT_EQ(log[0].Caption, "FATAL ERROR!");
    EXPECT_EQ(log[0].Text, FatalText);
    EXPECT_EQ(log[0].Buttons, "OK,Cancel");
    EXPECT_EQ(log[0].Type, "None");
    EXPECT_FALSE(inst.HasEvent(QStringLiteral("log"), "shown"));
  }
}

TEST(Startup, CancelAtTheFatalMessageEndsTheSameWay) {
  Install inst(Install::NoSettingsFile);
  WriteFileAtomic(inst.Folder().toStdString() + "/script", "Cancel\n");
  QDir(inst.Folder()).mkdir(QStringLiteral("KX_INC/KORVEX.INI")); // a folder is no settings file
  auto p = inst.Start(QStringLiteral("log"),
                      {QStringLiteral("KX_PROMPTER_SCRIPT=") + inst.Folder() + "/script"});
  Finish(*p);
  EXPECT_NE(p->exitCode(), 0);
  const auto log = inst.Log(QStringLiteral("log"));
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].Answer, "Cancel");
  EXPECT_FALSE(inst.HasEvent(QStringLiteral("log"), "shown"));
}

TEST(Startup, EmptySettingsFileStartsTheMainWindow) {
  Install inst(Install::EmptySettingsFile);
  auto p = inst.Start(QStringLiteral("log"), {QStringLiteral("KX_EXIT_WHEN_SHOWN=1")});
  Finish(*p);
  EXPECT_EQ(p->exitCode(), 0);
  EXPECT_TRUE(p->readAllStandardOutput().contains("KX-SHOWN"));
  // One untitled document, no message.
  EXPECT_TRUE(inst.HasEvent(QStringLiteral("log"), "shown tabs=1 title=No_name.bas file="));
  EXPECT_EQ(inst.MessageCount(QStringLiteral("log")), 0);
  EXPECT_EQ(ReadWholeFile(inst.SettingsPath()), "");
}

TEST(Startup, TheFirstArgumentIsTheCommandLineFile) {
  Install inst(Install::EmptySettingsFile);
  const QString file = inst.Folder() + QStringLiteral("/my program.bas");
  auto p = inst.Start(QStringLiteral("log"), {QStringLiteral("KX_EXIT_WHEN_SHOWN=1")},
                      {file, QStringLiteral("ignored.bas")});
  Finish(*p);
  EXPECT_EQ(p->exitCode(), 0);
  const std::string tail = " file=" + file.toStdString();
  bool seen = false;
  for (const auto &r : inst.Log(QStringLiteral("log")))
    seen |= r.Kind == "EVENT" && r.Text.rfind("shown", 0) == 0 && r.Text.size() > tail.size() &&
            r.Text.substr(r.Text.size() - tail.size()) == tail;
  EXPECT_TRUE(seen);
}

TEST(Startup, JunkSettingsFileStartsAndStaysUntouched) {
  Install inst(Install::EmptySettingsFile);
  std::string junk = "[PROGRAMMER]\r\nTYPE=\x01\x02\xff\r\n[PROGRAMMER]\r\nTYPE=OTHER\r\n";
  junk += std::string("\0\0binary\0", 9) + "\r\n" + std::string(1 << 20, 'j') + "\n[[[\n==\n";
  inst.WriteSettings(junk);
  auto p = inst.Start(QStringLiteral("log"), {QStringLiteral("KX_EXIT_WHEN_SHOWN=1")});
  Finish(*p);
  EXPECT_EQ(p->exitCode(), 0);
  EXPECT_TRUE(inst.HasEvent(QStringLiteral("log"), "shown"));
  EXPECT_EQ(inst.MessageCount(QStringLiteral("log")), 0);
  EXPECT_EQ(ReadWholeFile(inst.SettingsPath()), junk);
}

TEST(Startup, SecondCopyEndsAtOnceAndRaisesTheMinimisedFirst) {
  Install first(Install::EmptySettingsFile);
  auto p1 = first.Start(QStringLiteral("log1"), {QStringLiteral("KX_MINIMISE_WHEN_SHOWN=1")});
  ASSERT_TRUE(first.WaitForEvent(QStringLiteral("log1"), "minimised"));

  // The second copy is a separate install: only the instance name joins them.
  Install second(Install::EmptySettingsFile);
  second.ShareInstanceWith(first);
  auto p2 =
      second.Start(QStringLiteral("log2"), {}, {second.Folder() + QStringLiteral("/given.bas")});
  // It ends by itself: Finish only kills a copy that never ends.
  EXPECT_TRUE(Finish(*p2));
  EXPECT_EQ(p2->exitCode(), 0);
  EXPECT_FALSE(second.HasEvent(QStringLiteral("log2"), "shown"));
  EXPECT_EQ(second.MessageCount(QStringLiteral("log2")), 0);

  EXPECT_TRUE(first.WaitForEvent(QStringLiteral("log1"), "raised"));
  EXPECT_TRUE(first.HasEvent(QStringLiteral("log1"), "instance-message minimised"));
  EXPECT_TRUE(first.HasEvent(QStringLiteral("log1"), "restored"));
  // The second copy's file argument is not passed on: the first still has its
  // one untitled document and showed nothing.
  EXPECT_EQ(first.MessageCount(QStringLiteral("log1")), 0);
  EXPECT_EQ(p1->state(), QProcess::Running);
  p1->kill();
  p1->waitForFinished(-1);
}

TEST(Startup, SecondCopyRaisesAFirstThatIsNotMinimised) {
  Install first(Install::EmptySettingsFile);
  auto p1 = first.Start(QStringLiteral("log1"));
  ASSERT_TRUE(first.WaitForEvent(QStringLiteral("log1"), "shown"));
  auto p2 = first.Start(QStringLiteral("log2"));
  Finish(*p2);
  EXPECT_EQ(p2->exitCode(), 0);
  EXPECT_TRUE(first.WaitForEvent(QStringLiteral("log1"), "raised"));
  EXPECT_FALSE(first.HasEvent(QStringLiteral("log1"), "restored"));
  EXPECT_FALSE(first.HasEvent(QStringLiteral("log2"), "shown"));
  p1->kill();
  p1->waitForFinished(-1);
}

TEST(Startup, ACopyThatWasKilledDoesNotBlockTheNext) {
  Install inst(Install::EmptySettingsFile);
  auto p1 = inst.Start(QStringLiteral("log1"));
  ASSERT_TRUE(inst.WaitForEvent(QStringLiteral("log1"), "shown"));
  p1->kill(); // leaves its lock and socket behind
  p1->waitForFinished(-1);
  auto p2 = inst.Start(QStringLiteral("log2"), {QStringLiteral("KX_EXIT_WHEN_SHOWN=1")});
  Finish(*p2);
  EXPECT_EQ(p2->exitCode(), 0);
  EXPECT_TRUE(inst.HasEvent(QStringLiteral("log2"), "shown"));
}

TEST(Startup, CopiesWithDifferentInstanceNamesRunSideBySide) {
  Install a(Install::EmptySettingsFile);
  Install b(Install::EmptySettingsFile);
  auto pa = a.Start(QStringLiteral("log"));
  ASSERT_TRUE(a.WaitForEvent(QStringLiteral("log"), "shown"));
  auto pb = b.Start(QStringLiteral("log"), {QStringLiteral("KX_EXIT_WHEN_SHOWN=1")});
  Finish(*pb);
  EXPECT_TRUE(b.HasEvent(QStringLiteral("log"), "shown"));
  // A copy of a's own name raises it once; had b reached a too, a would have
  // been raised before that, so exactly one raise proves b never did.
  auto pc = a.Start(QStringLiteral("logc"));
  Finish(*pc);
  ASSERT_TRUE(a.WaitForEvent(QStringLiteral("log"), "raised"));
  int raised = 0;
  for (const auto &r : a.Log(QStringLiteral("log")))
    raised += r.Kind == "EVENT" && r.Text.rfind("raised", 0) == 0;
  EXPECT_EQ(raised, 1);
  pa->kill();
  pa->waitForFinished(-1);
}

} // namespace
