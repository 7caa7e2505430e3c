// TFileScan: walks a folder tree and collects the files that match name
// patterns and optional filters (attributes, size, age, a date range, text in
// the file) as result lines.
//
// On Linux a file's attributes are: hidden when its name starts with "."; read
// only when its permission bits do not let the user write it; directory as it
// is. System, volume and archive are never set. A file is listed when each of
// its hidden, system and volume attributes is asked for in FileType: plain files
// always are, read-only ones whatever FileType says. Entries of one folder come
// in byte order of their names, so results never depend on the file system.
// Folders reached twice (symbolic-link loops, a link to a folder already seen)
// are searched once.
#pragma once

#include "FileScanText.h"
#include "KorvexError.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// A date property set to a value out of range.
KX_DECLARE_ERROR(EInvalidStartEndDate, EKorvexError);

// Attribute bits of a TSearchRec.
enum TFileAttr : unsigned {
  faReadOnly = 0x01,
  faHidden = 0x02,
  faSysFile = 0x04,
  faVolumeID = 0x08,
  faDirectory = 0x10,
  faArchive = 0x20,
};

// One file or folder as the scan sees it.
struct TSearchRec {
  std::string Name;
  int64_t Size = 0;
  int64_t Time = 0; // modification time, seconds since 1970 (UTC)
  unsigned Attr = 0;
  uint32_t Mode = 0; // the file system's type and permission bits
};

// FileType: the kinds of files to include (a set of these bits).
enum TFileTypeFlag : unsigned {
  ftReadOnly = 0x01,
  ftHidden = 0x02,
  ftSystem = 0x04,
  ftVolumeID = 0x08,
  ftArchive = 0x10,
  ftNormal = 0x20,
};
using TFileTypes = unsigned;

// DirType: attributes of folders that are entered besides plain ones.
enum TDirTypeFlag : unsigned {
  dtReadOnly = 0x01,
  dtHidden = 0x02,
  dtSystem = 0x04,
  dtArchive = 0x08,
};
using TDirTypes = unsigned;

enum class TFileCompareType {
  fctNone,
  fctEqual,
  fctGreaterThan,
  fctLessThan,
  fctGreaterThanOrEqual,
  fctLessThanOrEqual,
};

class TFileScan {
public:
  TFileScan() = default;

  // The folder to search; a trailing "/" is added when missing. Starts at the
  // root of the file system.
  const std::string &Directory() const { return directory_; }
  void SetDirectory(const std::string &folder);

  // Name patterns separated by ";" ("*" and "?" wildcards, letters compared
  // ignoring case, "*.*" every name), tried in order in each folder.
  std::string FileSpecs = "*.*";
  TFileTypes FileType = ftNormal;
  TDirTypes DirType = 0;
  bool IncSubDir = true;
  bool IncDirName = true;
  bool ShowSize = false;
  bool ShowDate = false;
  bool ShowAttr = false;
  int64_t FileSize = 0;
  TFileCompareType FileSizeComp = TFileCompareType::fctNone;
  int64_t FileAge = 0; // whole days
  TFileCompareType FileAgeComp = TFileCompareType::fctNone;

  // The date range of the files' time stamps; 0 = not set. Each setter raises
  // EInvalidStartEndDate for a value other than 0 that is out of range; a day
  // is checked against the month and year already set (February of a year not
  // yet set may have 29 days, of a month not yet set 31).
  int StartYear() const { return startYear_; }
  int StartMonth() const { return startMonth_; }
  int StartDay() const { return startDay_; }
  int EndYear() const { return endYear_; }
  int EndMonth() const { return endMonth_; }
  int EndDay() const { return endDay_; }
  void SetStartYear(int year);
  void SetStartMonth(int month);
  void SetStartDay(int day);
  void SetEndYear(int year);
  void SetEndMonth(int month);
  void SetEndDay(int day);

  // Texts to look for inside the files (none, or the single text "*": no
  // text filter); see FileScanText.h for how they match.
  std::vector<std::string> SearchStrings;
  TSearchType SearchType = TSearchType::st_Or;
  TSearchStringType SearchStringType = TSearchStringType::sst_Normal;
  size_t MatchLimit = 0; // 0 = no limit
  bool CaseSense = false;
  // Searches every mounted disk (see Drives()) instead of Directory.
  bool SearchAllDrives = false;
  bool AppendItems = false;

  // Shows the file being examined, when set.
  std::function<void(const std::string &text)> CurrInfoLabel;

  // The result lines, in the order found.
  std::vector<std::string> Results;

  // Setting StartScan to true runs a search (and it reads true while that
  // search runs); setting it to false does nothing.
  bool StartScan() const { return scanning_; }
  void SetStartScan(bool start);
  // Stops a running search at the next entry; the result list then ends with
  // AbortedLine.
  void Abort() { aborted_ = true; }

  // Events.
  std::function<void(TFileScan &)> OnStartSearch;
  std::function<void(TFileScan &)> OnEndSearch;
  std::function<void(const std::string &folder, const TSearchRec &file)> OnFoundFile;
  std::function<void(const std::string &folder, const TSearchRec &folder_)> OnFoundDirectory;
  TBufferEvent OnBeforeBuffer;
  TBufferEvent OnAfterBuffer;
  // Called after every entry, so that the caller can keep its windows alive
  // (and let the user abort) while a long search runs.
  std::function<void()> ProcessMessages;
  // An extra test a file must pass, after the name and attribute tests and
  // before the size, age, date and text filters; none: every file passes.
  std::function<bool(const std::string &folder, const TSearchRec &file)> FileFilter;

  // Size of the blocks the text search reads (30000 bytes).
  size_t TextBlockSize = TTextSearch::DefaultBlockSize;

  static constexpr const char *AbortedLine = "   ***** Search Aborted by User *****   ";
  static constexpr const char *MatchLimitLine =
      "  *** Search Match Limit has been meet!  Search Stopped.";
  static constexpr const char *ErrorScanningPrefix = "*** Error Scanning: ";

  // Whether a file name matches one pattern, as FileSpecs uses them.
  static bool MatchesPattern(std::string_view name, std::string_view pattern);
  // A size in the "%12.0n" form: thousands separated by ",", right-aligned
  // in 12 places.
  static std::string FormatSize(int64_t size);
  // The mount points of disks in a mount table ("/proc/self/mounts" lines):
  // those whose source is a device under "/dev/", in the table's order, each
  // once, with a trailing "/".
  static std::vector<std::string> DrivesFromMountTable(const std::string &table);
  // The disks SearchAllDrives walks.
  static std::vector<std::string> Drives();

private:
  struct TWalk;
  void SearchFolder(TWalk &walk, const std::string &folder);
  bool Stopped(TWalk &walk);
  bool KeepFile(TWalk &walk, int dirFd, const std::string &folder, const TSearchRec &rec);
  std::string ResultLine(const std::string &folder, const TSearchRec &rec) const;
  void CheckDay(int day, int month, int year, const char *message) const;

  std::string directory_ = "/";
  int startYear_ = 0, startMonth_ = 0, startDay_ = 0;
  int endYear_ = 0, endMonth_ = 0, endDay_ = 0;
  bool scanning_ = false;
  bool aborted_ = false;
};
