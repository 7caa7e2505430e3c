// Start-up as real processes of the built program, each in a folder of its
// own (the program takes its settings from beside its executable), under the
// offscreen platform, observed through the recording prompter's log.
#include "ProgramInstall.h"
#include "SingleInstance.h"

#include <QElapsedTimer>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace kxprogram;

const char *const FatalText = "Could not Find KORVEX.INI\rMake sure it is in the KX_INC folder and "
                              "is not Write Protected\rThe Compiler will now Close";

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

TEST(Startup, SecondCopyHandsItsFileToTheMinimisedFirstAndEnds) {
  Install first(Install::EmptySettingsFile);
  auto p1 = first.Start(QStringLiteral("log1"), {QStringLiteral("KX_MINIMISE_WHEN_SHOWN=1")});
  ASSERT_TRUE(first.WaitForEvent(QStringLiteral("log1"), "minimised"));

  // The second copy is a separate install: only the instance name joins them.
  // Its file is named relative to its own working folder, which is not the
  // first copy's.
  Install second(Install::EmptySettingsFile);
  second.ShareInstanceWith(first);
  const QString given = second.Folder() + QStringLiteral("/given.bas");
  WriteFileAtomic(given.toStdString(), "DEVICE 16F84\r\n");
  auto p2 = second.Start(QStringLiteral("log2"), {}, {QStringLiteral("given.bas")});
  // It ends by itself: Finish only kills a copy that never ends.
  EXPECT_TRUE(Finish(*p2));
  EXPECT_EQ(p2->exitCode(), 0);
  EXPECT_FALSE(second.HasEvent(QStringLiteral("log2"), "shown"));
  EXPECT_EQ(second.MessageCount(QStringLiteral("log2")), 0);

  EXPECT_TRUE(first.WaitForEvent(QStringLiteral("log1"), "raised"));
  EXPECT_TRUE(first.HasEvent(QStringLiteral("log1"), "instance-message minimised"));
  EXPECT_TRUE(first.HasEvent(QStringLiteral("log1"), "restored"));
  // The first copy opened the file in place of its untouched untitled tab.
  ASSERT_TRUE(first.WaitForEvent(QStringLiteral("log1"), "instance-open"));
  EXPECT_TRUE(first.HasEvent(QStringLiteral("log1"),
                             "instance-open tabs=1 title=" + given.toStdString()));
  EXPECT_EQ(first.MessageCount(QStringLiteral("log1")), 0);
  EXPECT_EQ(p1->state(), QProcess::Running);
  p1->kill();
  p1->waitForFinished(-1);
}

TEST(Startup, RequestsBetweenCopiesCarryOnlyAnAbsolutePath) {
  EXPECT_EQ(TSingleInstance::Request(""), "RAISE\n");
  EXPECT_EQ(TSingleInstance::Request("/a b/c.bas"), "OPEN /a b/c.bas\n");
  EXPECT_EQ(TSingleInstance::Request("/a\nb"), "RAISE\n");
  for (const std::string path : {"/a b/c.bas", "/x", "/\xe9t\xe9.bas"})
    EXPECT_EQ(TSingleInstance::RequestedFile(TSingleInstance::Request(path)), path);
  for (const char *junk : {"", "1", "OPEN \n", "OPEN rel.bas\n", "OPEN /a", "open /a\n",
                           "OPEN /a\nOPEN /b\n"})
    EXPECT_EQ(TSingleInstance::RequestedFile(QByteArray(junk)), "") << junk;
  EXPECT_EQ(TSingleInstance::RequestedFile(QByteArray("OPEN /a\0b\n", 10)), "");
}

// The first copy's side of the socket, in this process: a later copy's
// request arrives whole; a caller that stays silent keeps no one else out; a
// request longer than any path is cut off and only raises; a caller that
// hangs up without a word raises too; the lock is held until the first copy
// ends, and the next one then takes over.
TEST(Startup, TheFirstCopyHearsEveryLaterCopyWhateverTheOthersSend) {
  App();
  qputenv("KX_INSTANCE_NAME", QByteArray("kxtest-socket-") + QByteArray::number(::getpid()));
  std::vector<std::string> heard;
  auto waitFor = [&](size_t n) {
    QElapsedTimer t;
    t.start();
    while (heard.size() < n && t.elapsed() < 10000)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return heard.size() >= n;
  };
  auto raw = [](const QString &path) {
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::memcpy(a.sun_path, name.constData(), static_cast<size_t>(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
    return fd;
  };
  {
    auto first = std::make_unique<TSingleInstance>();
    ASSERT_FALSE(first->AnotherIsRunning());
    ASSERT_TRUE(first->Active());
    first->OnMessage = [&](const std::string &f) { heard.push_back(f); };

    const int silent = raw(first->SocketPath());
    ::send(silent, "OPEN /half", 10, MSG_NOSIGNAL);
    TSingleInstance later;
    EXPECT_TRUE(later.AnotherIsRunning("/a b/c.bas"));
    ASSERT_TRUE(waitFor(1));
    EXPECT_EQ(heard[0], "/a b/c.bas");

    const int huge = raw(first->SocketPath());
    const std::string junk = "OPEN /" + std::string(70000, 'x') + "\n";
    std::thread writer([&] {
      ::send(huge, junk.data(), junk.size(), MSG_NOSIGNAL);
      ::close(huge);
    });
    ASSERT_TRUE(waitFor(2));
    writer.join();
    EXPECT_EQ(heard[1], "");
    ::close(raw(first->SocketPath()));
    ASSERT_TRUE(waitFor(3));
    EXPECT_EQ(heard[2], "");
    ::close(silent);
    ASSERT_TRUE(waitFor(4));
    EXPECT_EQ(heard[3], "") << "a cut request is no path";

    TSingleInstance another;
    EXPECT_TRUE(another.AnotherIsRunning());
    ASSERT_TRUE(waitFor(5));
    EXPECT_EQ(heard[4], "");
  }
  // The copy that ended took its lock file and socket along; a lock file
  // left behind by a copy that did not end normally (whatever it holds)
  // blocks no one.
  TSingleInstance next;
  const QString lock = next.SocketPath() + QStringLiteral(".lock");
  EXPECT_FALSE(QFile::exists(lock));
  EXPECT_FALSE(QFile::exists(next.SocketPath()));
  WriteFileAtomic(QFile::encodeName(lock).toStdString(), "4242\nkorvex-editor\nhost\n");
  EXPECT_FALSE(next.AnotherIsRunning());
  EXPECT_TRUE(next.Active());
  qunsetenv("KX_INSTANCE_NAME");
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
  // Without a file the first copy only comes up.
  EXPECT_FALSE(first.HasEvent(QStringLiteral("log1"), "instance-open"));
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

namespace {

using namespace kxprogram;

// The "shown" event's text once the first activation is done.
std::string ShownEvent(const Install &inst) {
  for (const auto &r : inst.Log(QStringLiteral("log")))
    if (r.Kind == "EVENT" && r.Text.rfind("shown", 0) == 0)
      return r.Text;
  return {};
}

TEST(StartupFile, ARelativeNameIsOpenedAsTheAbsolutePath) {
  Install inst(Install::EmptySettingsFile);
  QDir(inst.Folder()).mkdir(QStringLiteral("files"));
  const std::string absolute = inst.Folder().toStdString() + "/files/t.bas";
  WriteFileAtomic(absolute, "x = 1\r\n");
  // The program starts in its folder; the name is typed relative to it.
  auto p = inst.Start(QStringLiteral("log"), {QStringLiteral("KX_EXIT_WHEN_SHOWN=1")},
                      {QStringLiteral("files/../files/t.bas")});
  Finish(*p);
  EXPECT_EQ(ShownEvent(inst), "shown tabs=1 title=" + absolute + " file=" + absolute);
  EXPECT_EQ(inst.MessageCount(QStringLiteral("log")), 0);
  // The working directory remembered is the file's absolute folder.
  EXPECT_NE(
      ReadWholeFile(inst.SettingsPath()).find("PATHNAME=" + inst.Folder().toStdString() + "/files"),
      std::string::npos);
}

TEST(StartupFile, AMissingOrUnreadableFileIsReportedAndANewDocumentOpens) {
  for (const bool exists : {false, true}) {
    Install inst(Install::EmptySettingsFile);
    // Something that exists and cannot be read as a file, even by root.
    const std::string file = inst.Folder().toStdString() + "/locked.bas";
    if (exists)
      QDir(inst.Folder()).mkdir(QStringLiteral("locked.bas"));
    auto p = inst.Start(QStringLiteral("log"), {QStringLiteral("KX_EXIT_WHEN_SHOWN=1")},
                        {QString::fromStdString(file)});
    Finish(*p);
    EXPECT_EQ(ShownEvent(inst), "shown tabs=1 title=No_name.bas file=" + file) << exists;
    ASSERT_EQ(inst.MessageCount(QStringLiteral("log")), 1) << exists;
    for (const auto &r : inst.Log(QStringLiteral("log")))
      if (r.Kind == "MESSAGE") {
        EXPECT_NE(r.Text.find(file), std::string::npos) << r.Text;
        EXPECT_EQ(r.Type, "Error");
      }
  }
}

} // namespace
