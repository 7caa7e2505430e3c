// Whole sessions through the main window with real key events, and saves that
// fail part way (a folder replaced by a file, a backup that cannot be read or
// written, a file-size limit, the process killed while writing): the old file
// is always whole, the document stays open and "Modified", and the user is
// told which file failed and why.
#include "FileCommandsTestFixture.h"

#include "SafeSave.h"

#include <QAction>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>

using namespace kxdocs;

namespace {

class EndToEnd : public DocsTest {
protected:
  // Runs f in a child process (this window included) and returns its exit
  // status; 99 when it died by a signal.
  int InChild(const std::function<int()> &f) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
      int rc = 98;
      try {
        rc = f();
      } catch (...) {
      }
      ::_exit(rc);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
  }

  bool NoTemporaryFilesIn(const fs::path &folder) {
    for (const auto &e : fs::directory_iterator(folder))
      if (e.path().filename().string().rfind(".", 0) == 0)
        return false;
    return true;
  }
};

std::string Pattern(size_t n, char seed) {
  std::string s;
  s.reserve(n);
  for (size_t i = 0; i < n; ++i)
    s.push_back(static_cast<char>('a' + (i * 7 + static_cast<size_t>(seed)) % 26));
  return s;
}

} // namespace

TEST_F(EndToEnd, TwoDocumentsKeepTextSelectionTopLineUndoAndBookmarksAcrossTabs) {
  std::string lines;
  for (int i = 1; i <= 300; ++i)
    lines += "x = " + std::to_string(i) + "\r\n";
  const std::string a = Put("a.bas", lines), b = Put("b.bas", "b1\r\nb2\r\n");
  Open(a);
  Key(Qt::Key_PageDown);
  Key(Qt::Key_PageDown);
  Type("' note");
  Key(Qt::Key_Left, Qt::ShiftModifier);
  Key(Qt::Key_Left, Qt::ShiftModifier);
  Memo()->SetBookmark(2);
  const int64_t anchorA = Memo()->Anchor(), caretA = Memo()->Caret(), topA = Memo()->TopLine();
  const QString panelA = Panel(0);
  ASSERT_GT(topA, 0);

  Open(b);
  Key(Qt::Key_End);
  Type("!");
  EXPECT_EQ(Text(), "b1!\rb2\r");
  EXPECT_EQ(Panel(1), "Modified");

  SelectTab(0);
  EXPECT_EQ(form->windowTitle(), QString::fromStdString(a));
  EXPECT_EQ(Memo()->Anchor(), anchorA);
  EXPECT_EQ(Memo()->Caret(), caretA);
  EXPECT_EQ(Memo()->TopLine(), topA);
  EXPECT_EQ(Panel(0), panelA);
  EXPECT_EQ(Panel(1), "Modified");
  int64_t line = 0;
  int column = 0;
  EXPECT_TRUE(Memo()->GetBookmark(2, line, column));
  // Undo here removes this document's typing only.
  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Text().find("' note"), std::string::npos);

  SelectTab(1);
  EXPECT_EQ(Text(), "b1!\rb2\r");
  EXPECT_FALSE(Memo()->GetBookmark(2, line, column));
  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Text(), "b1\rb2\r");
  Key(Qt::Key_Z, Qt::ControlModifier); // nothing more to undo in b
  EXPECT_EQ(Text(), "b1\rb2\r");
}

TEST_F(EndToEnd, AFullSessionLeavesTheExpectedFilesAndHistory) {
  const std::string a = Put("main.bas", "' main\r\n");
  EXPECT_EQ(History(), "[MRU]\r\n\r\n");
  Open(a);
  Key(Qt::Key_End);
  Type(" program");
  Key(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(Get(a), "' main program\r\n");
  EXPECT_EQ(Get(dir + "main.BAK"), "' main\r\n");
  form->NewButtonClick(nullptr);
  Type("include me");
  Answer({dir + "inc.inc"});
  Key(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(Get(dir + "inc.inc"), "include me");
  form->Close1Click(nullptr);
  EXPECT_EQ(History(), "[MRU]\r\n" + dir + "inc.inc\r\n\r\n");
  form->Close1Click(nullptr);
  EXPECT_EQ(History(), "[MRU]\r\n" + a + "\r\n" + dir + "inc.inc\r\n\r\n");
  EXPECT_EQ(form->windowTitle(), "KORVEX Compiler");
  EXPECT_TRUE(Messages().empty());
}

TEST_F(EndToEnd, DeletedFileIsSavedWithoutABackup) {
  const std::string a = Put("gone.bas", "old");
  Open(a);
  fs::remove(a);
  Type("new ");
  form->SaveButtonClick(nullptr);
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(Get(a), "new old");
  EXPECT_FALSE(fs::exists(dir + "gone.BAK"));
  EXPECT_EQ(Panel(1), "");
}

TEST_F(EndToEnd, FolderReplacedByAFileFailsTheSaveAndKeepsTheDocument) {
  fs::create_directories(root / "proj");
  const std::string a = Put("proj/p.bas", "original");
  Open(a);
  Type("edit ");
  fs::rename(root / "proj", root / "moved");
  Put("proj", "i am a file now");
  form->SaveButtonClick(nullptr);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_NE(Messages()[0].find(a), std::string::npos) << Messages()[0];
  EXPECT_NE(Messages()[0].find("Not a directory"), std::string::npos) << Messages()[0];
  EXPECT_EQ(Panel(1), "Modified");
  EXPECT_EQ(Tabs(), 1);
  EXPECT_EQ(Get(dir + "moved/p.bas"), "original");
  EXPECT_EQ(Get(dir + "proj"), "i am a file now");
  // Close with Yes keeps the document when its save fails.
  Answer({"Yes"});
  form->Close1Click(nullptr);
  EXPECT_EQ(Tabs(), 1);
  EXPECT_EQ(Text(), "edit original");
}

TEST_F(EndToEnd, BackupThatCannotBeWrittenStopsTheSave) {
  const std::string a = Put("b.bas", "before");
  fs::create_directories(root / "b.BAK"); // a folder where the copy goes
  Open(a);
  Type("after ");
  form->SaveButtonClick(nullptr);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_NE(Messages()[0].find(dir + "b.BAK"), std::string::npos) << Messages()[0];
  EXPECT_EQ(Get(a), "before");
  EXPECT_EQ(Panel(1), "Modified");
  EXPECT_TRUE(NoTemporaryFilesIn(root));
}

TEST_F(EndToEnd, FileThatCannotBeReadForTheBackupStopsTheSave) {
  const std::string a = Put("c.bas", "content");
  Open(a);
  Type("x");
  fs::remove(a);
  fs::create_directories(a); // there, but no file to copy
  form->SaveButtonClick(nullptr);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_NE(Messages()[0].find(a), std::string::npos) << Messages()[0];
  EXPECT_NE(Messages()[0].find("Is a directory"), std::string::npos) << Messages()[0];
  EXPECT_TRUE(fs::is_directory(a));
  EXPECT_EQ(Panel(1), "Modified");
}

TEST_F(EndToEnd, FileSizeLimitDuringTheSaveLeavesTheOldFileWhole) {
  const std::string old = Pattern(3000, 1);
  const std::string a = Put("big.bas", old);
  Open(a);
  Memo()->SetSelection(0, 0);
  Memo()->ReplaceSel(Pattern(200000, 2));
  const int rc = InChild([&] {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit lim{};
    lim.rlim_cur = lim.rlim_max = 64 * 1024;
    ::setrlimit(RLIMIT_FSIZE, &lim);
    form->SaveButtonClick(nullptr);
    const auto m = Messages();
    if (m.size() != 1 || m[0].find(a) == std::string::npos ||
        m[0].find("too large") == std::string::npos)
      return 1;
    return Panel(1) == "Modified" ? 0 : 2;
  });
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(Get(a), old);
  EXPECT_EQ(Get(dir + "big.BAK"), old); // the small backup went through
  EXPECT_TRUE(NoTemporaryFilesIn(root));
}

TEST_F(EndToEnd, ProcessKilledWhileWritingLeavesTheOldFileWhole) {
  const std::string old = Pattern(5000, 3);
  const std::string a = Put("k.bas", old);
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    try {
      SaveFileSafely(a, [&](TStream &s) {
        const std::string half = Pattern(1 << 20, 4);
        s.WriteBuffer(half.data(), static_cast<int64_t>(half.size()));
        (void)!::write(fds[1], "w", 1);
        ::pause(); // killed here, half written
      });
    } catch (...) {
    }
    ::_exit(0);
  }
  ::close(fds[1]);
  char c = 0;
  ASSERT_EQ(::read(fds[0], &c, 1), 1);
  ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::close(fds[0]);
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(Get(a), old);
}

TEST_F(EndToEnd, ProcessKilledAtRandomTimesDuringRealSavesLeavesOldOrNewWhole) {
  const std::string old = Pattern(100000, 5);
  const std::string a = Put("r.bas", old);
  Open(a);
  Memo()->SetSelection(0, 0);
  Memo()->ReplaceSel(Pattern(8 << 20, 6));
  const std::string fresh = Memo()->GetTextLS();
  for (int delayUs : {0, 2000, 8000, 20000, 60000}) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
      const std::string bytes = Memo()->GetTextLS();
      SaveFileSafely(
          a, [&](TStream &s) { s.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size())); });
      ::_exit(0);
    }
    ::usleep(static_cast<useconds_t>(delayUs));
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    const std::string now = Get(a);
    EXPECT_TRUE(now == old || now == fresh) << "size " << now.size() << " after " << delayUs;
  }
}
