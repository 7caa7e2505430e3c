// Saving onto a disk that fills up: a real tmpfs of 1 MB (KX_SMALL_DISK, set
// by small_disk.sh) filled until only a little is left, so that a write runs
// out of space part of the way through. The old file stays whole, the user is
// told why, the document stays modified, nothing is left behind, and once
// space is freed the same command succeeds. The settings and history files
// likewise.
#include "FileCommandsTestFixture.h"
#include "TestEnvironment.h"

#include <QAction>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <set>
#include <sys/statvfs.h>
#include <unistd.h>

using namespace kxdocs;

namespace {

const char *const NoSpace = "No space left on device";

std::string SmallDisk() {
  const char *d = std::getenv("KX_SMALL_DISK");
  return d ? d : "";
}

int64_t FreeBytes(const std::string &dir) {
  struct statvfs v {};
  if (::statvfs(dir.c_str(), &v) != 0)
    return -1;
  return static_cast<int64_t>(v.f_bavail) * static_cast<int64_t>(v.f_frsize);
}

// Takes all the space of the disk but `leave` bytes (to the page), and gives
// it back when dropped.
class Filler {
public:
  Filler(const std::string &dir, int64_t leave) : path_(dir + "/filler") {
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    EXPECT_GE(fd, 0);
    std::string block(4096, 'x');
    int64_t size = 0;
    while (true) {
      const ssize_t n = ::write(fd, block.data(), block.size());
      if (n <= 0)
        break;
      size += n;
    }
    EXPECT_EQ(errno, ENOSPC);
    const int64_t keep = std::max<int64_t>(0, size - leave);
    EXPECT_EQ(::ftruncate(fd, keep), 0);
    ::close(fd);
  }
  ~Filler() { Release(); }
  void Release() {
    if (!path_.empty())
      ::unlink(path_.c_str());
    path_.clear();
  }

private:
  std::string path_;
};

std::set<std::string> Names(const std::string &dir) {
  std::set<std::string> out;
  for (const auto &e : fs::directory_iterator(dir))
    out.insert(e.path().filename().string());
  return out;
}

// Lines of text, about `bytes` long in all.
std::string Lines(const std::string &stem, size_t bytes) {
  std::string s;
  for (int i = 0; s.size() < bytes; ++i)
    s += stem + " " + std::to_string(i) + " PORTB.0 = 1 : PAUSE 100\r\n";
  return s;
}

class FullDisk : public DocsTest {
protected:
  void SetUp() override {
    disk = SmallDisk();
    if (disk.empty())
      GTEST_SKIP() << "needs a small disk (run through small_disk.sh)";
    DocsTest::SetUp();
  }
  void TearDown() override {
    if (!disk.empty())
      DocsTest::TearDown();
  }
  std::string disk;
};

// The program folder itself (settings and history) on the small disk.
class FullDiskProgramFolder : public FullDisk {
protected:
  void SetUp() override {
    disk = SmallDisk();
    if (disk.empty())
      GTEST_SKIP() << "needs a small disk (run through small_disk.sh)";
    // The fixture puts the program folder in the temporary folder.
    const char *old = std::getenv("TMPDIR");
    savedTmp = old ? old : "";
    ::setenv("TMPDIR", disk.c_str(), 1);
    DocsTest::SetUp();
    ::setenv("TMPDIR", savedTmp.c_str(), 1);
    ASSERT_EQ(dir.rfind(disk, 0), 0u);
  }
  std::string savedTmp;
};

} // namespace

TEST_F(FullDisk, DocumentSaveThatRunsOutOfSpaceKeepsTheOldFileAndTheChanges) {
  const std::string path = disk + "/prog.bas";
  const std::string old = Lines("old", 4000);
  WriteFileAtomic(path, old);
  Open(path);
  ASSERT_EQ(TabText(0), "prog.bas");
  // A large change: the new text is far more than the space that is left.
  const std::string added = Lines("new", 300000);
  Memo()->SetSelection(0, 0);
  Memo()->ReplaceSel(added);
  Key(Qt::Key_End, Qt::ControlModifier);
  Type("END");
  ASSERT_EQ(Panel(1), "Modified");
  const std::string expected = added + old + "END";

  {
    Filler fill(disk, 64 * 1024);
    ASSERT_LT(FreeBytes(disk), static_cast<int64_t>(expected.size()));
    ASSERT_GT(FreeBytes(disk), static_cast<int64_t>(old.size()));
    form->Save1->trigger();
    // The backup copy fitted; the document did not.
    EXPECT_EQ(Messages(),
              std::vector<std::string>{"Cannot write file \"" + path + "\". " + NoSpace});
    EXPECT_EQ(Get(path), old);
    EXPECT_EQ(Get(disk + "/prog.BAK"), old);
    EXPECT_EQ(Panel(1), "Modified");
    EXPECT_EQ(Names(disk), (std::set<std::string>{"filler", "prog.BAK", "prog.bas"}));

    // With no space at all the backup copy fails first and nothing is written.
    Filler rest(disk, 0);
    form->Save1->trigger();
    ASSERT_EQ(Messages().size(), 2u);
    EXPECT_EQ(Messages()[1], "Cannot write file \"" + disk + "/prog.BAK\". " + NoSpace);
    EXPECT_EQ(Get(path), old);
    EXPECT_EQ(Get(disk + "/prog.BAK"), old);
    EXPECT_EQ(Panel(1), "Modified");
  }

  // Space again: the same command saves the text the editor holds.
  form->Save1->trigger();
  EXPECT_EQ(Messages().size(), 2u);
  std::string crlf;
  for (char c : Text())
    crlf += c == '\r' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(Get(path), crlf);
  EXPECT_EQ(Get(path), expected);
  EXPECT_EQ(Get(disk + "/prog.BAK"), old);
  EXPECT_EQ(Panel(1), "");
  EXPECT_EQ(Names(disk), (std::set<std::string>{"prog.BAK", "prog.bas"}));
  // Undo still reaches back past the failed saves.
  EXPECT_TRUE(Memo()->CanUndo());
}

TEST_F(FullDisk, CloseWithSaveOnAFullDiskKeepsTheDocumentOpen) {
  const std::string path = disk + "/keep.bas";
  WriteFileAtomic(path, "x\r\n");
  Open(path);
  Memo()->ReplaceSel(Lines("more", 200000));
  {
    Filler fill(disk, 16 * 1024);
    Answer({"Yes"});
    form->Close1->trigger();
    EXPECT_EQ(Tabs(), 1);
    EXPECT_EQ(TabText(0), "keep.bas");
    EXPECT_EQ(Panel(1), "Modified");
    EXPECT_EQ(Get(path), "x\r\n");
    ASSERT_EQ(Messages().size(), 2u); // the question, then the reason
    EXPECT_EQ(Messages()[1], "Cannot write file \"" + path + "\". " + NoSpace);
  }
}

TEST_F(FullDiskProgramFolder, SettingsWriteThatRunsOutOfSpaceKeepsTheFileWhole) {
  // A settings file larger than the space that will be left.
  std::string ini = DefaultIni;
  for (int i = 0; ini.size() < 40000; ++i)
    ini += "; a comment the user keeps, line " + std::to_string(i) + "\r\n";
  WriteFileAtomic(dir + "KX_INC/KORVEX.INI", ini);
  const std::string elsewhere = kxtest::FreshDir("docs");
  const std::string a = elsewhere + "/a.bas";
  WriteFileAtomic(a, "a\r\n");
  {
    Filler fill(disk, 8 * 1024);
    // Opening a file stores its folder as the working directory.
    RunCommand([&] { Open(a); });
    EXPECT_EQ(TabText(0), "a.bas");
    EXPECT_EQ(Messages(), std::vector<std::string>{"Cannot write file \"" + dir +
                                                   "KX_INC/KORVEX.INI\". " + NoSpace});
    EXPECT_EQ(Get(dir + "KX_INC/KORVEX.INI"), ini);
    EXPECT_EQ(Names(dir + "KX_INC"), std::set<std::string>{"KORVEX.INI"});
  }
  const std::string b = elsewhere + "/b.bas";
  WriteFileAtomic(b, "b\r\n");
  RunCommand([&] { Open(b); });
  EXPECT_EQ(Messages().size(), 1u);
  EXPECT_EQ(TIniFile(dir + "KX_INC/KORVEX.INI").ReadString("WORKING_DIRECTORY", "PATHNAME", "?"),
            elsewhere);
  EXPECT_EQ(Get(dir + "KX_INC/KORVEX.INI").substr(0, ini.size()), ini);
}

TEST_F(FullDiskProgramFolder, HistoryWriteThatRunsOutOfSpaceKeepsTheFileAndTheList) {
  // A history file with lines of other programs, larger than the space left.
  std::string dat;
  for (int i = 0; dat.size() < 40000; ++i)
    dat += "kept line " + std::to_string(i) + "\r\n";
  dat += "\r\n[MRU]\r\n\r\n";
  WriteFileAtomic(dir + "KORVEX.DAT", dat);
  form->EdPersistent = std::make_unique<TEdPersistent>(dir + "KORVEX.DAT");
  const std::string elsewhere = kxtest::FreshDir("docs");
  const std::string a = elsewhere + "/first.bas";
  WriteFileAtomic(a, "a\r\n");
  const std::string b = elsewhere + "/second.bas";
  WriteFileAtomic(b, "b\r\n");
  Open(a);
  Open(b);
  {
    Filler fill(disk, 8 * 1024);
    // Closing enters the file in the recent list and writes the history.
    form->Close1->trigger();
    EXPECT_EQ(Tabs(), 1);
    EXPECT_EQ(Messages(),
              std::vector<std::string>{"Cannot write file \"" + dir + "KORVEX.DAT\". " + NoSpace});
    EXPECT_EQ(Get(dir + "KORVEX.DAT"), dat);
    std::set<std::string> names = Names(dir);
    names.erase("filler");
    EXPECT_EQ(names, (std::set<std::string>{"KORVEX.DAT", "KX_INC"}));
  }
  // The next write carries what the failed one could not.
  form->Close1->trigger();
  EXPECT_EQ(Messages().size(), 1u);
  const std::string now = Get(dir + "KORVEX.DAT");
  EXPECT_EQ(now.substr(0, dat.size() - std::string("[MRU]\r\n\r\n").size()),
            dat.substr(0, dat.size() - std::string("[MRU]\r\n\r\n").size()));
  EXPECT_NE(now.find("[MRU]\r\n" + a + "\r\n" + b + "\r\n\r\n"), std::string::npos);
  std::set<std::string> names = Names(dir);
  names.erase("filler");
  EXPECT_EQ(names, (std::set<std::string>{"KORVEX.DAT", "KX_INC"}));
}
