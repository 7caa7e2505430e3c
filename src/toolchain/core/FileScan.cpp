// TFileScan: the folder walk, the filters, the date properties and the result
// lines.
#include "FileScan.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int64_t SecondsPerDay = 86400;

unsigned char LowerAscii(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c;
}

// "*" any run of bytes, "?" any one byte, others equal ignoring ASCII case.
// Greedy with one back-track point, so no pattern costs more than
// name x pattern steps.
bool WildMatch(std::string_view name, std::string_view pat) {
  size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pat.size() && pat[p] == '*') {
      starP = p++;
      starN = n;
    } else if (p < pat.size() &&
               (pat[p] == '?' || LowerAscii(static_cast<unsigned char>(pat[p])) ==
                                     LowerAscii(static_cast<unsigned char>(name[n])))) {
      ++p;
      ++n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pat.size() && pat[p] == '*')
    ++p;
  return p == pat.size();
}

bool Compare(int64_t value, TFileCompareType how, int64_t with) {
  switch (how) {
  case TFileCompareType::fctNone:
    return true;
  case TFileCompareType::fctEqual:
    return value == with;
  case TFileCompareType::fctGreaterThan:
    return value > with;
  case TFileCompareType::fctLessThan:
    return value < with;
  case TFileCompareType::fctGreaterThanOrEqual:
    return value >= with;
  case TFileCompareType::fctLessThanOrEqual:
    return value <= with;
  }
  return true;
}

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int month, int year) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12)
    return 31;
  if (month == 2)
    return year == 0 || IsLeapYear(year) ? 29 : 28;
  return days[month - 1];
}

// Local midnight at the start of a day; month and day 0 count as 1.
int64_t StartOfDay(int year, int month, int day) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = (month == 0 ? 1 : month) - 1;
  tm.tm_mday = day == 0 ? 1 : day;
  tm.tm_isdst = -1;
  return static_cast<int64_t>(std::mktime(&tm));
}

std::vector<std::string> SplitSpecs(const std::string &specs) {
  std::vector<std::string> out;
  std::string cur;
  auto flush = [&] {
    const size_t b = cur.find_first_not_of(' ');
    if (b != std::string::npos)
      out.push_back(cur.substr(b, cur.find_last_not_of(' ') - b + 1));
    cur.clear();
  };
  for (char c : specs) {
    if (c == ';')
      flush();
    else
      cur += c;
  }
  flush();
  return out;
}

// Whether the permission bits that apply to this user deny writing.
bool DeniesWriting(const struct stat &st) {
  if (st.st_uid == ::geteuid())
    return (st.st_mode & S_IWUSR) == 0;
  if (st.st_gid == ::getegid())
    return (st.st_mode & S_IWGRP) == 0;
  static const std::vector<gid_t> groups = [] {
    const int n = ::getgroups(0, nullptr);
    std::vector<gid_t> g(static_cast<size_t>(std::max(n, 0)));
    const int got = n > 0 ? ::getgroups(n, g.data()) : 0;
    g.resize(static_cast<size_t>(std::max(got, 0)));
    return g;
  }();
  if (std::find(groups.begin(), groups.end(), st.st_gid) != groups.end())
    return (st.st_mode & S_IWGRP) == 0;
  return (st.st_mode & S_IWOTH) == 0;
}

TSearchRec RecordOf(const std::string &name, const struct stat &st) {
  TSearchRec r;
  r.Name = name;
  r.Size = static_cast<int64_t>(st.st_size);
  r.Time = static_cast<int64_t>(st.st_mtime);
  r.Mode = static_cast<uint32_t>(st.st_mode);
  if (!name.empty() && name[0] == '.')
    r.Attr |= faHidden;
  if (S_ISDIR(st.st_mode))
    r.Attr |= faDirectory;
  if (DeniesWriting(st))
    r.Attr |= faReadOnly;
  return r;
}

// A record from the name alone, for scans that look at nothing else.
TSearchRec NameRecord(const std::string &name, uint32_t type) {
  TSearchRec r;
  r.Name = name;
  r.Mode = type;
  if (!name.empty() && name[0] == '.')
    r.Attr |= faHidden;
  if (type == S_IFDIR)
    r.Attr |= faDirectory;
  return r;
}

// One folder's entries, read at once and sorted by name.
// The file status lives apart (St), so that sorting moves only names.
struct TEntry {
  std::string Name;
  unsigned char Type;     // d_type
  signed char Stated = 0; // 0 not yet, 1 done, -1 failed
  uint32_t StatIndex = 0;
};

} // namespace

struct TFileScan::TWalk {
  std::vector<std::string> Specs;
  std::unique_ptr<TTextSearch> Text;
  std::set<std::pair<dev_t, ino_t>> Seen;
  int64_t AgeReference = 0;
  bool DateRange = false;
  int64_t RangeStart = 0, RangeEnd = 0;
  // Whether anything looks at more than the names of files and folders; when
  // nothing does, entries the folder listing already types need no stat.
  bool FileDetails = true, FolderDetails = true;
  bool Stop = false;
};

void TFileScan::SetDirectory(const std::string &folder) {
  directory_ = folder;
  if (directory_.empty() || directory_.back() != '/')
    directory_ += '/';
}

// ---- date properties --------------------------------------------------------

void TFileScan::CheckDay(int day, int month, int year, const char *message) const {
  if (day != 0 && (day < 1 || day > DaysInMonth(month, year)))
    throw EInvalidStartEndDate(message);
}

void TFileScan::SetStartYear(int year) {
  if (year == startYear_)
    return;
  if (year != 0 && year <= 1900)
    throw EInvalidStartEndDate("Invalid Start Year: Year Must be > 1900 - Or Equal 0");
  startYear_ = year;
}

void TFileScan::SetEndYear(int year) {
  if (year == endYear_)
    return;
  if (year != 0 && year <= 1900)
    throw EInvalidStartEndDate("Invalid End Year: Year Must be > 1900 or Equal 0");
  endYear_ = year;
}

void TFileScan::SetStartMonth(int month) {
  if (month == startMonth_)
    return;
  if (month != 0 && (month < 1 || month > 12))
    throw EInvalidStartEndDate("Invalid Start Month: Month Must be 0 < Month > 13 - Or Equal to 0");
  startMonth_ = month;
}

void TFileScan::SetEndMonth(int month) {
  if (month == endMonth_)
    return;
  if (month != 0 && (month < 1 || month > 12))
    throw EInvalidStartEndDate("Invalid End Month: Month Must be 0 < Month > 13 - Or Equal to 0");
  endMonth_ = month;
}

void TFileScan::SetStartDay(int day) {
  if (day == startDay_)
    return;
  CheckDay(day, startMonth_, startYear_,
           "Invalid Start Day: Day Must be 0 > Day < (Max for Month)");
  startDay_ = day;
}

void TFileScan::SetEndDay(int day) {
  if (day == endDay_)
    return;
  CheckDay(day, endMonth_, endYear_, "Invalid End Day: Day Must be 0 > Day < (Max for Month)");
  endDay_ = day;
}

// ---- helpers ----------------------------------------------------------------

bool TFileScan::MatchesPattern(std::string_view name, std::string_view pattern) {
  if (pattern == "*.*" || pattern == "*")
    return true;
  if (WildMatch(name, pattern))
    return true;
  // "NAME.*" also names the file without an extension.
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
      name.find('.') == std::string_view::npos)
    return WildMatch(name, pattern.substr(0, pattern.size() - 2));
  return false;
}

std::string TFileScan::FormatSize(int64_t size) {
  const bool negative = size < 0;
  uint64_t v = negative ? 0 - static_cast<uint64_t>(size) : static_cast<uint64_t>(size);
  std::string digits = std::to_string(v);
  std::string grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0)
      grouped += ',';
    grouped += digits[i];
  }
  if (negative)
    grouped.insert(grouped.begin(), '-');
  if (grouped.size() < 12)
    grouped.insert(0, 12 - grouped.size(), ' ');
  return grouped;
}

std::vector<std::string> TFileScan::DrivesFromMountTable(const std::string &table) {
  std::vector<std::string> out;
  std::istringstream in(table);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string source, point;
    if (!(fields >> source >> point) || source.rfind("/dev/", 0) != 0)
      continue;
    // Blanks and other bytes in mount points are written as octal escapes.
    std::string decoded;
    for (size_t i = 0; i < point.size(); ++i) {
      if (point[i] == '\\' && i + 3 < point.size() &&
          std::isdigit(static_cast<unsigned char>(point[i + 1]))) {
        decoded += static_cast<char>(std::stoi(point.substr(i + 1, 3), nullptr, 8));
        i += 3;
      } else {
        decoded += point[i];
      }
    }
    if (decoded.empty() || decoded.back() != '/')
      decoded += '/';
    if (std::find(out.begin(), out.end(), decoded) == out.end())
      out.push_back(decoded);
  }
  return out;
}

std::vector<std::string> TFileScan::Drives() {
  std::ifstream in("/proc/self/mounts");
  std::stringstream s;
  s << in.rdbuf();
  std::vector<std::string> drives = DrivesFromMountTable(s.str());
  if (drives.empty())
    drives.push_back("/");
  return drives;
}

std::string TFileScan::ResultLine(const std::string &folder, const TSearchRec &rec) const {
  std::string line = IncDirName ? folder + rec.Name : rec.Name;
  if (ShowSize)
    line += "  " + FormatSize(rec.Size);
  if (ShowDate) {
    const std::time_t t = static_cast<std::time_t>(rec.Time);
    std::tm tm{};
    ::localtime_r(&t, &tm);
    char buf[96];
    char date[32], time[32];
    std::snprintf(date, sizeof date, "%04d/%02d/%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday);
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
    std::snprintf(buf, sizeof buf, "  %10s  %8s", date, time);
    line += buf;
  }
  if (ShowAttr) {
    static const struct {
      unsigned Bit;
      char Letter;
    } letters[] = {{faReadOnly, 'R'}, {faHidden, 'H'},    {faSysFile, 'S'},
                   {faVolumeID, 'V'}, {faDirectory, 'D'}, {faArchive, 'A'}};
    line += "  ";
    for (const auto &l : letters)
      line += (rec.Attr & l.Bit) ? l.Letter : '-';
  }
  return line;
}

// ---- the search ------------------------------------------------------------

void TFileScan::SetStartScan(bool start) {
  if (!start || scanning_)
    return;
  scanning_ = true;
  aborted_ = false;
  struct TDone {
    bool &flag;
    ~TDone() { flag = false; }
  } done{scanning_};
  if (!AppendItems)
    Results.clear();
  if (OnStartSearch)
    OnStartSearch(*this);

  TWalk walk;
  walk.Specs = SplitSpecs(FileSpecs);
  const bool anyText =
      !SearchStrings.empty() && !(SearchStrings.size() == 1 && SearchStrings.front() == "*");
  if (anyText) {
    walk.Text =
        std::make_unique<TTextSearch>(SearchStrings, SearchType, SearchStringType, CaseSense);
    walk.Text->BlockSize = TextBlockSize;
    walk.Text->OnBeforeBuffer = OnBeforeBuffer;
    walk.Text->OnAfterBuffer = OnAfterBuffer;
    if (!walk.Text->HasTexts())
      walk.Text.reset();
  }
  // Ages count from the end of today.
  const std::time_t now = std::time(nullptr);
  std::tm today{};
  ::localtime_r(&now, &today);
  walk.AgeReference = StartOfDay(today.tm_year + 1900, today.tm_mon + 1, today.tm_mday) +
                      static_cast<int64_t>(std::floor(0.99999 * SecondsPerDay));
  if (endYear_ != 0) {
    walk.DateRange = true;
    walk.RangeStart =
        startYear_ != 0 ? StartOfDay(startYear_, startMonth_, startDay_) : StartOfDay(1900, 1, 1);
    walk.RangeEnd = StartOfDay(endYear_, endMonth_, endDay_);
  }

  walk.FileDetails = FileFilter || OnFoundFile || ShowSize || ShowDate || ShowAttr ||
                     FileSizeComp != TFileCompareType::fctNone ||
                     FileAgeComp != TFileCompareType::fctNone || walk.DateRange;
  walk.FolderDetails = static_cast<bool>(OnFoundDirectory);

  if (SearchAllDrives) {
    for (const std::string &drive : Drives()) {
      SearchFolder(walk, drive);
      if (walk.Stop)
        break;
    }
  } else {
    SearchFolder(walk, directory_);
  }
  if (OnEndSearch)
    OnEndSearch(*this);
}

bool TFileScan::Stopped(TWalk &walk) {
  if (!walk.Stop && aborted_) {
    Results.emplace_back(AbortedLine);
    walk.Stop = true;
  }
  return walk.Stop;
}

bool TFileScan::KeepFile(TWalk &walk, int dirFd, const std::string &folder, const TSearchRec &rec) {
  if (FileFilter && !FileFilter(folder, rec))
    return false;
  if (!Compare(rec.Size, FileSizeComp, FileSize))
    return false;
  if (FileAgeComp != TFileCompareType::fctNone) {
    const int64_t age = (walk.AgeReference - rec.Time) / SecondsPerDay;
    if (!Compare(age, FileAgeComp, FileAge))
      return false;
  }
  if (walk.DateRange && !(rec.Time > walk.RangeStart && rec.Time < walk.RangeEnd))
    return false;
  if (walk.Text) {
    const int r = walk.Text->SearchFile(dirFd, rec.Name, folder + rec.Name);
    if (r < 0)
      Results.push_back(ErrorScanningPrefix + folder + rec.Name);
    if (r != 1)
      return false;
  }
  return true;
}

void TFileScan::SearchFolder(TWalk &walk, const std::string &folder) {
  if (Stopped(walk))
    return;
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return;
  struct stat self {};
  if (::fstat(fd, &self) != 0 || !walk.Seen.insert({self.st_dev, self.st_ino}).second) {
    ::close(fd);
    return;
  }
  const int listFd = ::dup(fd);
  DIR *dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
  if (!dir) {
    if (listFd >= 0)
      ::close(listFd);
    ::close(fd);
    return;
  }
  std::vector<TEntry> entries;
  while (const dirent *e = ::readdir(dir)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
      continue;
    entries.push_back(TEntry{e->d_name, e->d_type});
  }
  ::closedir(dir);
  std::sort(entries.begin(), entries.end(),
            [](const TEntry &a, const TEntry &b) { return a.Name < b.Name; });

  // Symbolic links count as what they point to; a link that points nowhere
  // is no entry.
  std::vector<struct stat> stats;
  auto statOf = [fd, &stats](TEntry &e) -> bool {
    if (e.Stated == 0) {
      struct stat st {};
      e.Stated = ::fstatat(fd, e.Name.c_str(), &st, 0) == 0 ? 1 : -1;
      e.StatIndex = static_cast<uint32_t>(stats.size());
      stats.push_back(st);
    }
    return e.Stated > 0;
  };
  auto st = [&stats](const TEntry &e) -> const struct stat & {
    return stats[e.StatIndex];
  };
  auto isDirectory = [&](TEntry &e) {
    if (e.Type == DT_DIR)
      return true;
    if (e.Type != DT_LNK && e.Type != DT_UNKNOWN)
      return false;
    return statOf(e) && S_ISDIR(st(e).st_mode);
  };

  // Hidden, system and volume files only when asked for.
  unsigned fileMask = 0;
  if (FileType & ftReadOnly)
    fileMask |= faReadOnly;
  if (FileType & ftHidden)
    fileMask |= faHidden;
  if (FileType & ftSystem)
    fileMask |= faSysFile;
  if (FileType & ftVolumeID)
    fileMask |= faVolumeID;
  if (FileType & ftArchive)
    fileMask |= faArchive;
  const unsigned excluding = faHidden | faSysFile | faVolumeID;

  for (const std::string &spec : walk.Specs) {
    for (TEntry &e : entries) {
      if (Stopped(walk))
        break;
      if (!MatchesPattern(e.Name, spec))
        continue;
      TSearchRec rec;
      if (e.Type == DT_REG && !walk.FileDetails) {
        rec = NameRecord(e.Name, S_IFREG);
      } else {
        if (isDirectory(e) || !statOf(e) || !S_ISREG(st(e).st_mode))
          continue;
        rec = RecordOf(e.Name, st(e));
      }
      if ((rec.Attr & excluding & ~fileMask) != 0)
        continue;
      if (CurrInfoLabel)
        CurrInfoLabel(folder + e.Name + "          ");
      if (KeepFile(walk, fd, folder, rec)) {
        if (OnFoundFile)
          OnFoundFile(folder, rec);
        Results.push_back(ResultLine(folder, rec));
      }
      if (ProcessMessages)
        ProcessMessages();
      if (Stopped(walk))
        break;
      if (MatchLimit > 0 && Results.size() >= MatchLimit) {
        Results.emplace_back(MatchLimitLine);
        walk.Stop = true;
        break;
      }
    }
    if (walk.Stop)
      break;
  }

  std::vector<std::pair<std::string, TSearchRec>> subfolders;
  if (IncSubDir && !walk.Stop) {
    unsigned dirMask = faDirectory;
    if (DirType & dtReadOnly)
      dirMask |= faReadOnly;
    if (DirType & dtHidden)
      dirMask |= faHidden;
    if (DirType & dtSystem)
      dirMask |= faSysFile;
    if (DirType & dtArchive)
      dirMask |= faArchive;
    for (TEntry &e : entries) {
      TSearchRec rec;
      if (e.Type == DT_DIR && !walk.FolderDetails) {
        rec = NameRecord(e.Name, S_IFDIR);
      } else {
        if (!isDirectory(e) || !statOf(e))
          continue;
        rec = RecordOf(e.Name, st(e));
      }
      if ((rec.Attr & excluding & ~dirMask) != 0)
        continue;
      subfolders.emplace_back(folder + e.Name + "/", std::move(rec));
    }
  }
  // The folder is closed before its subfolders are opened, so the depth of a
  // tree never runs out of file descriptors.
  ::close(fd);
  entries.clear();
  for (auto &[path, rec] : subfolders) {
    if (Stopped(walk))
      return;
    if (OnFoundDirectory)
      OnFoundDirectory(folder, rec);
    SearchFolder(walk, path);
  }
}
