// The history file: exact bytes after each operation, sections found ignoring
// case, the 20-entry limits, sections moving to the end, foreign lines kept in
// place, and files that are missing, binary, huge or unwritable.
#include "EdPersistent.h"
#include "KorvexError.h"
#include "Streams.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

class HistoryFile : public ::testing::Test {
protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("kx_hist_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    path = (dir / "KORVEX.DAT").string();
  }
  void TearDown() override {
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir);
  }
  void Write(const std::string &bytes) { WriteFileAtomic(path, bytes); }
  std::string Bytes() { return ReadWholeFile(path); }

  fs::path dir;
  std::string path;
};

std::vector<std::string> Numbered(const std::string &prefix, int n) {
  std::vector<std::string> v;
  for (int i = 1; i <= n; ++i)
    v.push_back(prefix + std::to_string(i));
  return v;
}

} // namespace

TEST_F(HistoryFile, MissingFileIsCreatedEmptyAndReadsEmpty) {
  TEdPersistent h(path);
  ASSERT_TRUE(fs::exists(path));
  EXPECT_EQ(Bytes(), "");
  EXPECT_TRUE(h.MRU().empty());
  EXPECT_TRUE(h.FindHistory().empty());
  EXPECT_EQ(h.LastSearchText, "");
  EXPECT_EQ(h.SearchOptions, 0u);
}

TEST_F(HistoryFile, OneClosedFileGivesExactlyThreeLines) {
  TEdPersistent h(path);
  h.SetMRU({"/home/u/prog.bas"});
  EXPECT_EQ(Bytes(), "[MRU]\r\n/home/u/prog.bas\r\n\r\n");
  // Rewriting the same section leaves the same bytes.
  h.SetMRU(h.MRU());
  EXPECT_EQ(Bytes(), "[MRU]\r\n/home/u/prog.bas\r\n\r\n");
}

TEST_F(HistoryFile, SectionsAreAppendedAndARewrittenSectionMovesToTheEnd) {
  TEdPersistent h(path);
  h.SetFindHistory({"abc", "def"});
  EXPECT_EQ(Bytes(), "[FindHistory]\r\nabc\r\ndef\r\n\r\n");
  h.SetReplaceHistory({"x"});
  EXPECT_EQ(Bytes(), "[FindHistory]\r\nabc\r\ndef\r\n\r\n[ReplaceHistory]\r\nx\r\n\r\n");
  h.SetMRU({"/a.bas", "/b.bas"});
  EXPECT_EQ(Bytes(), "[FindHistory]\r\nabc\r\ndef\r\n\r\n[ReplaceHistory]\r\nx\r\n\r\n"
                     "[MRU]\r\n/a.bas\r\n/b.bas\r\n\r\n");
  // The first section, rewritten, goes behind the others.
  h.SetFindHistory({"new"});
  EXPECT_EQ(Bytes(), "[ReplaceHistory]\r\nx\r\n\r\n[MRU]\r\n/a.bas\r\n/b.bas\r\n\r\n"
                     "[FindHistory]\r\nnew\r\n\r\n");
  // A fresh object reads what was written.
  TEdPersistent again(path);
  EXPECT_EQ(again.FindHistory(), std::vector<std::string>{"new"});
  EXPECT_EQ(again.ReplaceHistory(), std::vector<std::string>{"x"});
  EXPECT_EQ(again.MRU(), (std::vector<std::string>{"/a.bas", "/b.bas"}));
}

TEST_F(HistoryFile, TwentyEntriesAreWrittenAndRead) {
  TEdPersistent h(path);
  h.SetFindHistory(Numbered("text", 25));
  EXPECT_EQ(h.FindHistory(), Numbered("text", 20));
  std::string want = "[FindHistory]\r\n";
  for (const std::string &s : Numbered("text", 20))
    want += s + "\r\n";
  EXPECT_EQ(Bytes(), want + "\r\n");
  // A hand-made section of 30 reads as its first 20, in order.
  std::string hand = "[MRU]\r\n";
  for (const std::string &s : Numbered("/f", 30))
    hand += s + "\r\n";
  Write(hand);
  TEdPersistent g(path);
  EXPECT_EQ(g.MRU(), Numbered("/f", 20));
}

TEST_F(HistoryFile, HeadersInOtherCaseAreReadAndRewrittenWithTheProgramsHeader) {
  Write(
      "; my notes\r\n[mru]\r\n/x.bas\r\n\r\n[FINDHISTORY]\r\nfoo\r\nbar\r\n\r\ntrailing note\r\n");
  TEdPersistent h(path);
  EXPECT_EQ(h.MRU(), std::vector<std::string>{"/x.bas"});
  EXPECT_EQ(h.FindHistory(), (std::vector<std::string>{"foo", "bar"}));
  h.SetMRU({"/y.bas", "/x.bas"});
  // The foreign lines stay where they were; the section goes to the end with
  // a blank line before it.
  EXPECT_EQ(Bytes(), "; my notes\r\n[FINDHISTORY]\r\nfoo\r\nbar\r\n\r\ntrailing note\r\n\r\n"
                     "[MRU]\r\n/y.bas\r\n/x.bas\r\n\r\n");
}

TEST_F(HistoryFile, EmptyLinesAtTheTopDisappearAtTheNextWrite) {
  Write("\r\n\r\n\n[FindHistory]\r\nabc\r\n\r\n");
  TEdPersistent h(path);
  EXPECT_EQ(h.FindHistory(), std::vector<std::string>{"abc"});
  h.SetMRU({"/m.bas"});
  EXPECT_EQ(Bytes(), "[FindHistory]\r\nabc\r\n\r\n[MRU]\r\n/m.bas\r\n\r\n");
}

TEST_F(HistoryFile, OnlyTheFirstOccurrenceOfAHeaderCounts) {
  Write("[MRU]\r\n/1\r\n\r\n[MRU]\r\n/2\r\n\r\n");
  TEdPersistent h(path);
  EXPECT_EQ(h.MRU(), std::vector<std::string>{"/1"});
  h.SetMRU({"/3"});
  EXPECT_EQ(Bytes(), "[MRU]\r\n/2\r\n\r\n[MRU]\r\n/3\r\n\r\n");
  // Now the old second one is first.
  EXPECT_EQ(h.MRU(), std::vector<std::string>{"/2"});
}

TEST_F(HistoryFile, ASectionAfterAnUnterminatedLastLineStaysApart) {
  // Hand-edited, no blank line at the end and no section to replace.
  Write("[FindHistory]\r\nabc");
  TEdPersistent h(path);
  h.SetMRU({"/p.bas"});
  EXPECT_EQ(Bytes(), "[FindHistory]\r\nabc\r\n\r\n[MRU]\r\n/p.bas\r\n\r\n");
  TEdPersistent again(path);
  EXPECT_EQ(again.FindHistory(), std::vector<std::string>{"abc"});
  EXPECT_EQ(again.MRU(), std::vector<std::string>{"/p.bas"});
}

TEST_F(HistoryFile, EmptyAndMultiLineEntriesAreNotWritten) {
  TEdPersistent h(path);
  h.SetFindHistory({"", "a", "b\nc", "d\r", "e"});
  EXPECT_EQ(Bytes(), "[FindHistory]\r\na\r\ne\r\n\r\n");
}

TEST_F(HistoryFile, LineEndsOfEveryKindAreRead) {
  Write("[MRU]\n/a\r/b\r\n/c");
  TEdPersistent h(path);
  EXPECT_EQ(h.MRU(), (std::vector<std::string>{"/a", "/b", "/c"}));
}

TEST_F(HistoryFile, PuttingTheResultListBackIsSafe) {
  TEdPersistent h(path);
  h.SetMRU({"/a", "/b"});
  const std::vector<std::string> &same = h.GetSection("[MRU]");
  h.PutSection("[MRU]", same);
  EXPECT_EQ(Bytes(), "[MRU]\r\n/a\r\n/b\r\n\r\n");
}

TEST_F(HistoryFile, BinaryFileKeepsWorking) {
  std::mt19937 rng(7);
  std::string junk;
  for (int i = 0; i < 50000; ++i)
    junk.push_back(static_cast<char>(rng()));
  Write(junk);
  TEdPersistent h(path);
  (void)h.MRU();
  h.SetMRU({"/ok.bas"});
  TEdPersistent again(path);
  EXPECT_EQ(again.MRU().front(), "/ok.bas");
  // The junk lines are still there, in front.
  EXPECT_GT(Bytes().size(), 40000u);
}

TEST_F(HistoryFile, HugeFileIsReadOnlyUpToItsLimit) {
  {
    std::ofstream f(path, std::ios::binary);
    f << "[MRU]\r\n/first.bas\r\n\r\n";
    const std::string line(99, 'x');
    for (int i = 0; i < 40000; ++i) // about 4 MB
      f << line << "\r\n";
  }
  TEdPersistent h(path);
  EXPECT_EQ(h.MRU(), std::vector<std::string>{"/first.bas"});
  size_t bytes = 0;
  for (const std::string &l : h.Lines()) {
    bytes += l.size() + 2;
    EXPECT_TRUE(l.empty() || l[0] == '[' || l[0] == '/' || l.size() == 99);
  }
  EXPECT_LE(bytes, static_cast<size_t>(TEdPersistent::MaxFileBytes) + 2);
}

TEST_F(HistoryFile, UnwritableFileReportsTheWriteAndKeepsTheChangeInMemory) {
  // A folder where the file should be cannot be replaced by a file, even by
  // root.
  fs::create_directories(path);
  TEdPersistent h(path);
  EXPECT_TRUE(h.MRU().empty());
  try {
    h.SetMRU({"/kept.bas"});
    FAIL() << "the write should fail";
  } catch (const EKorvexError &e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
  }
  EXPECT_EQ(h.MRU(), std::vector<std::string>{"/kept.bas"});
  EXPECT_TRUE(fs::is_directory(path));
}

// What the file holds decides, not what was loaded: an unchanged store leaves
// the very file in place (no new copy, no wait for the disk), and a store over
// a file another program changed meanwhile still writes the program's lines.
TEST_F(HistoryFile, AStoreThatChangesNothingLeavesTheFileInPlace) {
  Write("[MRU]\r\n/a.bas\r\n\r\n[FindHistory]\r\nx\r\n\r\n");
  TEdPersistent h(path);
  h.SetFindHistory({"x"});
  const std::string expected = "[MRU]\r\n/a.bas\r\n\r\n[FindHistory]\r\nx\r\n\r\n";
  EXPECT_EQ(Bytes(), expected);
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  h.SetFindHistory({"x"});
  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino) << "an unchanged store replaced the file";
  EXPECT_EQ(Bytes(), expected);

  // Another program rewrites the file: the same store now writes again.
  for (const std::string &foreign : {std::string("junk\r\n"), expected + "tail",
                                     expected.substr(0, expected.size() - 1), std::string()}) {
    Write(foreign);
    h.SetFindHistory({"x"});
    EXPECT_EQ(Bytes(), expected) << foreign;
  }
  // A changed section is written as before.
  h.SetMRU({"/b.bas"});
  EXPECT_EQ(Bytes(), "[FindHistory]\r\nx\r\n\r\n[MRU]\r\n/b.bas\r\n\r\n");
}

TEST_F(HistoryFile, MissingFolderLeavesAnEmptyHistoryInMemory) {
  const std::string nowhere = (dir / "no" / "such" / "KORVEX.DAT").string();
  TEdPersistent h(nowhere);
  EXPECT_TRUE(h.MRU().empty());
  EXPECT_THROW(h.SetMRU({"/x"}), EKorvexError);
}

TEST_F(HistoryFile, RandomSectionWritesKeepEveryOtherSectionReadable) {
  std::mt19937 rng(1234);
  const char *headers[] = {"[FindHistory]", "[ReplaceHistory]", "[MRU]"};
  std::vector<std::string> model[3];
  TEdPersistent h(path);
  for (int step = 0; step < 300; ++step) {
    const int s = static_cast<int>(rng() % 3);
    std::vector<std::string> v;
    const int n = static_cast<int>(rng() % 24);
    for (int k = 0; k < n; ++k)
      v.push_back(std::to_string(rng() % 1000).insert(0, 1, 'e'));
    h.PutSection(headers[s], v);
    if (v.size() > 20)
      v.resize(20);
    model[s] = v;
    TEdPersistent fresh(path);
    for (int k = 0; k < 3; ++k)
      ASSERT_EQ(fresh.GetSection(headers[k]), model[k]) << "step " << step;
    const std::string b = Bytes();
    ASSERT_TRUE(b.size() >= 4 && b.compare(b.size() - 4, 4, "\r\n\r\n") == 0);
    ASSERT_NE(b.substr(0, 2), "\r\n");
  }
}
