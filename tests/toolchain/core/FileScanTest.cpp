// The file scanner over real folder trees: properties and their start values,
// the date setters, pattern and folder order, the filters, the result-line
// formats, the limit and abort lines, the events, and bad trees (loops,
// unreadable entries, odd names).
#include "FileScan.h"

#include "FileScanTestUtil.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include <sys/wait.h>
#include <unistd.h>

namespace {

using kxscan::TempTree;
using Lines = std::vector<std::string>;

Lines Scan(TFileScan &scan) {
  scan.SetStartScan(true);
  return scan.Results;
}

TFileScan Over(const TempTree &tree, const std::string &specs = "*.*") {
  TFileScan scan;
  scan.SetDirectory(tree.Dir());
  scan.FileSpecs = specs;
  return scan;
}

// Times are shown in local time; the tests fix the zone.
struct UtcZone {
  std::string old;
  bool had;
  UtcZone() {
    const char *tz = std::getenv("TZ");
    had = tz != nullptr;
    if (tz)
      old = tz;
    ::setenv("TZ", "UTC", 1);
    ::tzset();
  }
  ~UtcZone() {
    if (had)
      ::setenv("TZ", old.c_str(), 1);
    else
      ::unsetenv("TZ");
    ::tzset();
  }
};

int64_t Utc(int y, int mo, int d, int h = 12, int mi = 0, int s = 0) {
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  return static_cast<int64_t>(::timegm(&tm));
}

template <typename F> std::string ErrorOf(F f) {
  try {
    f();
  } catch (const EInvalidStartEndDate &e) {
    return e.what();
  }
  return "(none)";
}

TEST(FileScanProperties, StartValues) {
  TFileScan s;
  EXPECT_EQ(s.Directory(), "/");
  EXPECT_EQ(s.FileSpecs, "*.*");
  EXPECT_EQ(s.FileType, ftNormal);
  EXPECT_EQ(s.DirType, 0u);
  EXPECT_TRUE(s.IncSubDir);
  EXPECT_TRUE(s.IncDirName);
  EXPECT_FALSE(s.ShowSize || s.ShowDate || s.ShowAttr);
  EXPECT_EQ(s.FileSize, 0);
  EXPECT_EQ(s.FileSizeComp, TFileCompareType::fctNone);
  EXPECT_EQ(s.FileAge, 0);
  EXPECT_EQ(s.FileAgeComp, TFileCompareType::fctNone);
  EXPECT_EQ(s.StartYear() + s.StartMonth() + s.StartDay() + s.EndYear() + s.EndMonth() + s.EndDay(),
            0);
  EXPECT_TRUE(s.SearchStrings.empty());
  EXPECT_EQ(s.SearchType, TSearchType::st_Or);
  EXPECT_EQ(s.SearchStringType, TSearchStringType::sst_Normal);
  EXPECT_EQ(s.MatchLimit, 0u);
  EXPECT_FALSE(s.CaseSense || s.SearchAllDrives || s.AppendItems || s.StartScan());
  EXPECT_EQ(s.TextBlockSize, 30000u);
  s.SetDirectory("/some/where");
  EXPECT_EQ(s.Directory(), "/some/where/");
  s.SetDirectory("/some/where/");
  EXPECT_EQ(s.Directory(), "/some/where/");
}

TEST(FileScanProperties, DateSettersRefuseOutOfRangeValuesWithTheirMessages) {
  TFileScan s;
  EXPECT_EQ(ErrorOf([&] { s.SetStartYear(1900); }),
            "Invalid Start Year: Year Must be > 1900 - Or Equal 0");
  EXPECT_EQ(ErrorOf([&] { s.SetStartYear(-5); }),
            "Invalid Start Year: Year Must be > 1900 - Or Equal 0");
  EXPECT_EQ(ErrorOf([&] { s.SetEndYear(1900); }),
            "Invalid End Year: Year Must be > 1900 or Equal 0");
  EXPECT_EQ(ErrorOf([&] { s.SetStartMonth(13); }),
            "Invalid Start Month: Month Must be 0 < Month > 13 - Or Equal to 0");
  EXPECT_EQ(ErrorOf([&] { s.SetStartMonth(-1); }),
            "Invalid Start Month: Month Must be 0 < Month > 13 - Or Equal to 0");
  EXPECT_EQ(ErrorOf([&] { s.SetEndMonth(13); }),
            "Invalid End Month: Month Must be 0 < Month > 13 - Or Equal to 0");
  EXPECT_EQ(ErrorOf([&] { s.SetStartDay(32); }),
            "Invalid Start Day: Day Must be 0 > Day < (Max for Month)");
  EXPECT_EQ(ErrorOf([&] { s.SetEndDay(-1); }),
            "Invalid End Day: Day Must be 0 > Day < (Max for Month)");
  // A refused value leaves the old one.
  EXPECT_EQ(s.StartYear(), 0);
  EXPECT_EQ(s.StartMonth(), 0);
  EXPECT_EQ(s.EndDay(), 0);

  // 0 and values in range are taken; 0 takes a set value back.
  EXPECT_EQ(ErrorOf([&] { s.SetStartMonth(0); }), "(none)");
  EXPECT_EQ(ErrorOf([&] { s.SetStartYear(1901); }), "(none)");
  EXPECT_EQ(ErrorOf([&] { s.SetStartMonth(12); }), "(none)");
  EXPECT_EQ(ErrorOf([&] { s.SetStartDay(31); }), "(none)");
  EXPECT_EQ(s.StartDay(), 31);
  EXPECT_EQ(ErrorOf([&] { s.SetStartDay(0); }), "(none)");
  EXPECT_EQ(s.StartDay(), 0);
  EXPECT_EQ(ErrorOf([&] { s.SetEndYear(2100); }), "(none)");
  EXPECT_EQ(ErrorOf([&] { s.SetEndMonth(4); }), "(none)");
  EXPECT_EQ(ErrorOf([&] { s.SetEndDay(31); }),
            "Invalid End Day: Day Must be 0 > Day < (Max for Month)");
  EXPECT_EQ(ErrorOf([&] { s.SetEndDay(30); }), "(none)");

  // Setting the value it already has does nothing, even a day the month set
  // since would refuse.
  s.SetEndMonth(2);
  EXPECT_EQ(ErrorOf([&] { s.SetEndDay(30); }), "(none)");
  EXPECT_EQ(s.EndDay(), 30);
}

TEST(FileScanProperties, FebruaryFollowsTheGregorianLeapYearRule) {
  struct Case {
    int year;
    bool takes29;
  } cases[] = {{2000, true},  {2004, true},  {2024, true}, {2100, false},
               {2001, false}, {1999, false}, {2400, true}, {0, true}};
  for (const Case &c : cases) {
    TFileScan s;
    if (c.year)
      s.SetStartYear(c.year);
    s.SetStartMonth(2);
    EXPECT_EQ(ErrorOf([&] { s.SetStartDay(29); }) == "(none)", c.takes29) << c.year;
    EXPECT_EQ(ErrorOf([&] { s.SetStartDay(28); }), "(none)") << c.year;
    EXPECT_EQ(ErrorOf([&] { s.SetStartDay(30); }),
              "Invalid Start Day: Day Must be 0 > Day < (Max for Month)")
        << c.year;
    TFileScan e;
    if (c.year)
      e.SetEndYear(c.year);
    e.SetEndMonth(2);
    EXPECT_EQ(ErrorOf([&] { e.SetEndDay(29); }) == "(none)", c.takes29) << c.year;
  }
  // The year 1900 itself (not a leap year) cannot be set at all.
  TFileScan s;
  EXPECT_NE(ErrorOf([&] { s.SetStartYear(1900); }), "(none)");
}

TEST(FileScanPatterns, WildcardsCompareIgnoringCase) {
  struct Case {
    const char *name, *pattern;
    bool match;
  } cases[] = {
      {"TOOL.EXE", "*.exe", true},
      {"tool.exe", "*.EXE", true},
      {"tool.Exe", "*.exe", true},
      {"tool.exe1", "*.exe", false},
      {"toolexe", "*.exe", false},
      {".exe", "*.exe", true},
      {"README", "*.*", true},
      {"README", "*", true},
      {"abc", "a?c", true},
      {"ac", "a?c", false},
      {"abc", "abc.*", true},
      {"abc.d", "abc.*", true},
      {"abcd", "abc.*", false},
      {"a.b.c", "*.c", true},
      {"aXbXc", "a*b*c", true},
      {"aXbX", "a*b*c", false},
      {"x.exe.bak", "*.exe", false},
      {"", "*", true},
      {"\xe9t\xe9.exe", "*.EXE", true},
  };
  for (const Case &c : cases)
    EXPECT_EQ(TFileScan::MatchesPattern(c.name, c.pattern), c.match)
        << c.name << " / " << c.pattern;
}

TEST(FileScanOrder, PatternsInOrderThenSubfoldersDepthFirstInNameOrder) {
  TempTree t;
  for (const char *f : {"c.exe", "a.com", "b.exe", "sub2/x.exe", "sub1/z.com", "sub1/y.exe",
                        "sub1/deep/w.exe", "readme.txt"})
    t.File(f);
  TFileScan s = Over(t, "*.exe;*.com");
  Lines found;
  std::vector<std::string> folders;
  s.OnFoundDirectory = [&](const std::string &parent, const TSearchRec &r) {
    folders.push_back(parent + r.Name);
    EXPECT_TRUE(r.Attr & faDirectory);
  };
  found = Scan(s);
  const std::string d = t.Dir();
  EXPECT_EQ(found, (Lines{d + "b.exe", d + "c.exe", d + "a.com", d + "sub1/y.exe", d + "sub1/z.com",
                          d + "sub1/deep/w.exe", d + "sub2/x.exe"}));
  EXPECT_EQ(folders, (Lines{d + "sub1", d + "sub1/deep", d + "sub2"}));

  s.IncSubDir = false;
  EXPECT_EQ(Scan(s), (Lines{d + "b.exe", d + "c.exe", d + "a.com"}));
  s.IncDirName = false;
  s.FileSpecs = " *.com ; ;*.EXE";
  EXPECT_EQ(Scan(s), (Lines{"a.com", "b.exe", "c.exe"}));
}

TEST(FileScanOrder, FoldersWithDotsAreSearchedAndHiddenOnesOnlyWhenAskedFor) {
  TempTree t;
  t.File("v1.2/tool.exe");
  t.File(".hidden/secret.exe");
  t.File(".dot.exe");
  t.File("plain.exe");
  TFileScan s = Over(t, "*.exe");
  const std::string d = t.Dir();
  EXPECT_EQ(Scan(s), (Lines{d + "plain.exe", d + "v1.2/tool.exe"}));
  s.FileType = ftNormal | ftHidden;
  s.DirType = dtHidden;
  EXPECT_EQ(Scan(s), (Lines{d + ".dot.exe", d + "plain.exe", d + ".hidden/secret.exe",
                            d + "v1.2/tool.exe"}));
}

TEST(FileScanLimits, MatchLimitGivesThatManyLinesAndTheLimitLine) {
  TempTree t;
  for (const char *f : {"a.exe", "b.exe", "c.exe", "sub/d.exe"})
    t.File(f);
  TFileScan s = Over(t, "*.exe");
  s.MatchLimit = 2;
  EXPECT_EQ(Scan(s), (Lines{t.Path("a.exe"), t.Path("b.exe"),
                            "  *** Search Match Limit has been meet!  Search Stopped."}));
  // The limit is reached in a subfolder just as well.
  s.MatchLimit = 4;
  const Lines all = Scan(s);
  ASSERT_EQ(all.size(), 5u);
  EXPECT_EQ(all[3], t.Path("sub/d.exe"));
  EXPECT_EQ(all[4], TFileScan::MatchLimitLine);
  s.MatchLimit = 5;
  EXPECT_EQ(Scan(s).size(), 4u);
}

TEST(FileScanLimits, AbortFromAFoundFileHandlerStopsAfterThatFile) {
  TempTree t;
  for (const char *f : {"a.exe", "b.exe", "c.exe", "sub/d.exe"})
    t.File(f);
  TFileScan s = Over(t, "*.exe");
  int found = 0, ended = 0, started = 0;
  bool runningInside = false;
  s.OnStartSearch = [&](TFileScan &) { ++started; };
  s.OnEndSearch = [&](TFileScan &) { ++ended; };
  s.OnFoundFile = [&](const std::string &, const TSearchRec &r) {
    runningInside = s.StartScan();
    if (++found == 2)
      s.Abort();
    EXPECT_EQ(r.Name, found == 1 ? "a.exe" : "b.exe");
  };
  EXPECT_EQ(Scan(s),
            (Lines{t.Path("a.exe"), t.Path("b.exe"), "   ***** Search Aborted by User *****   "}));
  EXPECT_EQ(found, 2);
  EXPECT_EQ(started, 1);
  EXPECT_EQ(ended, 1);
  EXPECT_TRUE(runningInside);
  EXPECT_FALSE(s.StartScan());

  // The next search starts with the abort flag cleared, and an abort from the
  // message hook between files stops it too.
  s.OnFoundFile = nullptr;
  int calls = 0;
  s.ProcessMessages = [&] {
    if (++calls == 3)
      s.Abort();
  };
  EXPECT_EQ(Scan(s),
            (Lines{t.Path("a.exe"), t.Path("b.exe"), t.Path("c.exe"), TFileScan::AbortedLine}));
  // An abort while a folder is entered stops before any of its files.
  s.ProcessMessages = nullptr;
  s.OnFoundDirectory = [&](const std::string &, const TSearchRec &) { s.Abort(); };
  EXPECT_EQ(Scan(s),
            (Lines{t.Path("a.exe"), t.Path("b.exe"), t.Path("c.exe"), TFileScan::AbortedLine}));
}

TEST(FileScanLimits, AppendItemsKeepsEarlierLinesAndStartScanFalseDoesNothing) {
  TempTree t;
  t.File("a.exe");
  TFileScan s = Over(t, "*.exe");
  s.SetStartScan(false);
  EXPECT_TRUE(s.Results.empty());
  Scan(s);
  Scan(s);
  EXPECT_EQ(s.Results.size(), 1u);
  s.AppendItems = true;
  Scan(s);
  EXPECT_EQ(s.Results, (Lines{t.Path("a.exe"), t.Path("a.exe")}));
}

TEST(FileScanFilters, SizeAgeAndDateRange) {
  TempTree t;
  t.File("s10.dat", std::string(10, 'x'));
  t.File("s20.dat", std::string(20, 'x'));
  t.File("s30.dat", std::string(30, 'x'));
  TFileScan s = Over(t, "s*.dat");
  s.IncDirName = false;
  struct SizeCase {
    TFileCompareType how;
    int64_t size;
    Lines want;
  } sizes[] = {
      {TFileCompareType::fctNone, 20, {"s10.dat", "s20.dat", "s30.dat"}},
      {TFileCompareType::fctEqual, 20, {"s20.dat"}},
      {TFileCompareType::fctGreaterThan, 20, {"s30.dat"}},
      {TFileCompareType::fctLessThan, 20, {"s10.dat"}},
      {TFileCompareType::fctGreaterThanOrEqual, 20, {"s20.dat", "s30.dat"}},
      {TFileCompareType::fctLessThanOrEqual, 20, {"s10.dat", "s20.dat"}},
  };
  for (const SizeCase &c : sizes) {
    s.FileSize = c.size;
    s.FileSizeComp = c.how;
    EXPECT_EQ(Scan(s), c.want) << static_cast<int>(c.how);
  }
  s.FileSizeComp = TFileCompareType::fctNone;

  // Ages in whole days from the end of today.
  const int64_t now = static_cast<int64_t>(std::time(nullptr));
  t.Time("s10.dat", now);
  t.Time("s20.dat", now - 3 * 86400 - 60);
  t.Time("s30.dat", now - 10 * 86400 - 60);
  s.FileAge = 3;
  s.FileAgeComp = TFileCompareType::fctLessThan;
  EXPECT_EQ(Scan(s), (Lines{"s10.dat"}));
  s.FileAgeComp = TFileCompareType::fctGreaterThanOrEqual;
  EXPECT_EQ(Scan(s), (Lines{"s20.dat", "s30.dat"}));
  s.FileAge = 0;
  s.FileAgeComp = TFileCompareType::fctEqual;
  EXPECT_EQ(Scan(s), (Lines{"s10.dat"}));
  s.FileAgeComp = TFileCompareType::fctNone;
}

TEST(FileScanFilters, DateRangeIsStrictlyBetweenTheStartOfBothDays) {
  UtcZone utc;
  TempTree t;
  for (const char *f : {"d09.dat", "d10.dat", "d15.dat", "d20.dat", "old.dat"})
    t.File(f);
  t.Time("d09.dat", Utc(2020, 1, 9, 23, 59, 59));
  t.Time("d10.dat", Utc(2020, 1, 10, 0, 0, 1));
  t.Time("d15.dat", Utc(2020, 1, 15));
  t.Time("d20.dat", Utc(2020, 1, 20, 0, 0, 1));
  t.Time("old.dat", Utc(1950, 6, 1));
  TFileScan s = Over(t, "*.dat");
  s.IncDirName = false;
  s.SetStartYear(2020);
  s.SetStartMonth(1);
  s.SetStartDay(10);
  // Only a start: no range.
  EXPECT_EQ(Scan(s).size(), 5u);
  s.SetEndYear(2020);
  s.SetEndMonth(1);
  s.SetEndDay(20);
  EXPECT_EQ(Scan(s), (Lines{"d10.dat", "d15.dat"}));
  s.SetEndDay(21);
  EXPECT_EQ(Scan(s), (Lines{"d10.dat", "d15.dat", "d20.dat"}));
  // Only an end: the range starts on 1 January 1900.
  s.SetStartYear(0);
  s.SetEndDay(15);
  EXPECT_EQ(Scan(s), (Lines{"d09.dat", "d10.dat", "old.dat"}));
}

TEST(FileScanLines, SizeDateAndAttributeColumns) {
  UtcZone utc;
  TempTree t;
  t.File("big.bin", std::string(1234567, 'z'));
  t.File("ro.txt", "abc");
  t.File(".hid", "");
  t.Time("big.bin", Utc(2021, 3, 4, 5, 6, 7));
  t.Time("ro.txt", Utc(1999, 12, 31, 23, 59, 58));
  t.Mode("ro.txt", 0444);
  TFileScan s = Over(t, "*");
  s.FileType = ftNormal | ftHidden;
  s.IncDirName = false;
  s.ShowSize = true;
  EXPECT_EQ(Scan(s),
            (Lines{".hid             0", "big.bin     1,234,567", "ro.txt             3"}));
  s.ShowSize = false;
  s.ShowDate = true;
  s.ShowAttr = true;
  const Lines lines = Scan(s);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "big.bin  2021/03/04  05:06:07  ------");
  EXPECT_EQ(lines[2], "ro.txt  1999/12/31  23:59:58  R-----");
  EXPECT_EQ(lines[0].substr(0, 6), ".hid  ");
  EXPECT_EQ(lines[0].substr(lines[0].size() - 8), "  -H----");
  s.ShowDate = false;
  s.ShowSize = true;
  s.IncDirName = true;
  EXPECT_EQ(Scan(s)[1], t.Path("big.bin") + "     1,234,567  ------");

  struct SizeCase {
    int64_t size;
    const char *text;
  } sizes[] = {{0, "           0"},
               {999, "         999"},
               {1000, "       1,000"},
               {123456789012, "123,456,789,012"},
               {-1500, "      -1,500"}};
  for (const SizeCase &c : sizes)
    EXPECT_EQ(TFileScan::FormatSize(c.size), c.text);
}

TEST(FileScanTrees, LinksLoopsAndOddNames) {
  TempTree t;
  t.File("a.exe");
  t.File("sub/b.exe");
  t.Link("..", "sub/up");            // a loop back to the root
  t.Link("sub", "alias");            // the same folder twice
  t.Link("a.exe", "c.exe");          // a link to a file counts as that file
  t.Link("nowhere.exe", "dead.exe"); // points nowhere: no entry
  t.File("with blank.exe");
  t.File("\xe9t\xe9\x01.EXE");
  TFileScan s = Over(t, "*.exe");
  const std::string d = t.Dir();
  EXPECT_EQ(Scan(s), (Lines{d + "a.exe", d + "c.exe", d + "with blank.exe", d + "\xe9t\xe9\x01.EXE",
                            d + "alias/b.exe"}));
}

// Runs the scan as it would run for a user without root's rights: as root,
// in a child process that gives them up first. The result lines come back
// through a pipe, one per line.
Lines ScanWithoutRoot(TFileScan &scan) {
  if (::geteuid() != 0)
    return Scan(scan);
  int fds[2];
  if (::pipe(fds) != 0)
    return {"(no pipe)"};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    if (::setgid(65534) != 0 || ::setuid(65534) != 0)
      ::_exit(3);
    scan.SetStartScan(true);
    std::string out;
    for (const std::string &l : scan.Results)
      out += l + "\n";
    const ssize_t w = ::write(fds[1], out.data(), out.size());
    ::_exit(w == static_cast<ssize_t>(out.size()) ? 0 : 4);
  }
  ::close(fds[1]);
  std::string got;
  char buf[4096];
  ssize_t r;
  while ((r = ::read(fds[0], buf, sizeof buf)) > 0)
    got.append(buf, static_cast<size_t>(r));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return {"(child failed)"};
  Lines lines;
  size_t start = 0, nl;
  while ((nl = got.find('\n', start)) != std::string::npos) {
    lines.push_back(got.substr(start, nl - start));
    start = nl + 1;
  }
  return lines;
}

TEST(FileScanTrees, UnreadableFoldersAreSkippedAndUnreadableFilesReported) {
  TempTree t;
  t.File("a.exe", "tool");
  t.File("closed/b.exe", "tool");
  t.File("locked.exe", "tool");
  t.File("z.exe", "tool");
  t.Mode("closed", 0);
  t.Mode("locked.exe", 0);
  // The other user must reach the tree through the test's own private
  // folders.
  const std::filesystem::path top = kxtest::PrivateRoot();
  for (std::filesystem::path p = std::filesystem::path(t.Dir()).parent_path();
       p.has_relative_path(); p = p.parent_path()) {
    std::filesystem::permissions(p, std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
    if (p == top)
      break;
  }
  TFileScan s = Over(t, "*.exe");
  EXPECT_EQ(ScanWithoutRoot(s), (Lines{t.Path("a.exe"), t.Path("locked.exe"), t.Path("z.exe")}));
  s.SearchStrings = {"tool"};
  EXPECT_EQ(
      ScanWithoutRoot(s),
      (Lines{t.Path("a.exe"), "*** Error Scanning: " + t.Path("locked.exe"), t.Path("z.exe")}));
}

TEST(FileScanText, FilesThatCannotBeReadGiveTheErrorLine) {
  TempTree t;
  t.File("a.txt", "needle");
  t.File("b.txt", "needle");
  t.File("c.txt", "hay");
  TFileScan s = Over(t, "*.txt");
  s.SearchStrings = {"needle"};
  // The file goes between the listing and the text search.
  s.FileFilter = [&](const std::string &folder, const TSearchRec &r) {
    if (r.Name == "b.txt")
      std::filesystem::remove(folder + r.Name);
    return true;
  };
  EXPECT_EQ(Scan(s), (Lines{t.Path("a.txt"), "*** Error Scanning: " + t.Path("b.txt")}));
}

TEST(FileScanText, SearchStringsFilterAndTheStarMeansNone) {
  TempTree t;
  t.File("one.bas", "PORTB = 1\r\nHIGH LED\r\n");
  t.File("two.bas", "low led\r\n");
  t.File("three.bas", "LEDS ON\r\n");
  TFileScan s = Over(t, "*.bas");
  s.IncDirName = false;
  s.SearchStrings = {"led"};
  EXPECT_EQ(Scan(s), (Lines{"one.bas", "three.bas", "two.bas"}));
  s.SearchStringType = TSearchStringType::sst_Word;
  EXPECT_EQ(Scan(s), (Lines{"one.bas", "two.bas"}));
  s.CaseSense = true;
  EXPECT_EQ(Scan(s), (Lines{"two.bas"}));
  s.CaseSense = false;
  s.SearchStrings = {"led", "portb"};
  s.SearchType = TSearchType::st_And;
  EXPECT_EQ(Scan(s), (Lines{"one.bas"}));
  s.SearchType = TSearchType::st_Not;
  EXPECT_EQ(Scan(s), (Lines{"three.bas"}));
  s.SearchStrings = {"*"};
  EXPECT_EQ(Scan(s).size(), 3u);
  s.SearchStrings = {"", ""};
  EXPECT_EQ(Scan(s).size(), 3u);
}

TEST(FileScanText, BufferEventsSeeEveryBlockWithItsOverlap) {
  TempTree t;
  // 70000 bytes: blocks of 30000, 30000 and 10000, the word across the first
  // border.
  std::string bytes(70000, '.');
  bytes.replace(29998, 5, "hello");
  t.File("big.txt", bytes);
  TFileScan s = Over(t, "*.txt");
  s.SearchStrings = {"hello", "absent"};
  s.SearchType = TSearchType::st_And;
  std::vector<std::pair<int, size_t>> seen;
  s.OnBeforeBuffer = [&](const std::string &file, const std::string &text, bool caseSense, int no,
                         std::string_view buf) {
    EXPECT_EQ(file, t.Path("big.txt"));
    EXPECT_FALSE(caseSense);
    if (text == "absent")
      seen.emplace_back(no, buf.size());
  };
  int after = 0;
  s.OnAfterBuffer = [&](const std::string &, const std::string &, bool, int, std::string_view) {
    ++after;
  };
  EXPECT_TRUE(Scan(s).empty());
  // Each later block carries the last 7 bytes of the one before (the longest
  // text and the byte before it).
  EXPECT_EQ(seen, (std::vector<std::pair<int, size_t>>{{1, 30000}, {2, 30007}, {3, 10007}}));
  // "hello" is looked for until found in block 2, "absent" in all three.
  EXPECT_EQ(after, 2 + 3);
}

} // namespace

namespace {

TEST(FileScanDrives, EveryDiskOfTheMountTableOnceInItsOrder) {
  const std::string table = "sysfs /sys sysfs rw 0 0\n"
                            "/dev/sda1 / ext4 rw,relatime 0 0\n"
                            "proc /proc proc rw 0 0\n"
                            "/dev/sdb1 /media/usb\\040stick vfat rw 0 0\n"
                            "/dev/sda1 / ext4 rw 0 0\n"
                            "tmpfs /tmp tmpfs rw 0 0\n"
                            "/dev/mapper/home /home ext4 rw 0 0\n"
                            "broken\n";
  EXPECT_EQ(TFileScan::DrivesFromMountTable(table),
            (std::vector<std::string>{"/", "/media/usb stick/", "/home/"}));
  EXPECT_TRUE(TFileScan::DrivesFromMountTable("").empty());
}

} // namespace
