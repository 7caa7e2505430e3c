// TEdPersistent: the search histories and the recent-file list kept from one
// run to the next in "KORVEX.DAT", plus the last search text and options of
// this run. The file is a list of lines; a section is a header line followed by
// its entries up to the first empty line. Lines outside the sections we write
// stay where they are.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TEdPersistent {
public:
  static constexpr size_t MaxEntries = 20;
  // A history file holds a few kilobytes; beyond this only the lines that
  // start within the first MaxFileBytes are read, so a damaged or foreign file
  // cannot exhaust memory.
  static constexpr int64_t MaxFileBytes = 1 << 20;

  static constexpr const char *FindHistoryHeader = "[FindHistory]";
  static constexpr const char *ReplaceHistoryHeader = "[ReplaceHistory]";
  static constexpr const char *MRUHeader = "[MRU]";

  // Loads the file, or creates it empty when it does not exist. A file that
  // cannot be created or read leaves the history empty in memory; the next
  // write reports the reason.
  explicit TEdPersistent(std::string path);

  const std::string &Path() const { return path_; }
  // The lines of the file as held in memory.
  const std::vector<std::string> &Lines() const { return lines_; }

  // The entries of a section (header compared ignoring case), at most
  // MaxEntries. The list is reused by the next call.
  const std::vector<std::string> &GetSection(const std::string &header);
  // Replaces the section, moving it to the end of the file, and writes the
  // file (unless it already holds those very bytes). The write raises the
  // platform's file error; the lines in memory keep the change.
  void PutSection(const std::string &header, const std::vector<std::string> &entries);

  std::vector<std::string> FindHistory() { return GetSection(FindHistoryHeader); }
  void SetFindHistory(const std::vector<std::string> &v) { PutSection(FindHistoryHeader, v); }
  std::vector<std::string> ReplaceHistory() { return GetSection(ReplaceHistoryHeader); }
  void SetReplaceHistory(const std::vector<std::string> &v) { PutSection(ReplaceHistoryHeader, v); }
  std::vector<std::string> MRU() { return GetSection(MRUHeader); }
  void SetMRU(const std::vector<std::string> &v) { PutSection(MRUHeader, v); }

  std::string LastSearchText;
  uint32_t SearchOptions = 0;

  // The file's bytes for a list of lines: each line ended by CR LF.
  static std::string Serialise(const std::vector<std::string> &lines);
  // Lines of file bytes: CR LF, LF and CR each end a line; a final line
  // without an ending counts.
  static std::vector<std::string> SplitLines(const std::string &bytes);

private:
  int IndexOf(const std::string &header) const;
  void Flush();

  std::string path_;
  std::vector<std::string> lines_;
  std::vector<std::string> result_;
};
