// The compiler's result file (".PBE"): its status line, the summary the
// status line carries after a good compile, and the report lines after it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class TCompileStatus {
  Failed,  // exactly "ERROR" or exactly "ASSEMBLER ERRORS"
  Summary, // begins with "1" or "R": device, code size and RAM use
  Other,   // anything else: no summary, no error
};

struct TCompilerResults {
  TCompileStatus Status = TCompileStatus::Other;
  std::string StatusLine;
  // The three comma-ended fields of a summary, as they stand; a field whose
  // comma is missing runs to the end of the line. A field longer than
  // MaxSummaryField is cut there: it names a device or a number.
  std::string Device, CodeSize, RamUse;
  // Lines 1 to the end of the file, in file order.
  std::vector<std::string> Report;
  // The report holds only the first part of a result file larger than the
  // limits below.
  bool ReportCut = false;
  int64_t FileSize = 0;
};

// Result files are a few kilobytes; a file beyond these limits is not a
// report anyone reads, and holding it whole would only use up memory.
inline constexpr int64_t MaxReportBytes = 16 * 1024 * 1024;
inline constexpr size_t MaxReportLines = 200000;
inline constexpr size_t MaxSummaryField = 1024;

// Splits the bytes into lines at CR LF, LF or CR (an empty file is one empty
// status line) and reads the status line. Bytes past MaxReportBytes are not
// given; `fileSize` is the file's whole size so a cut report says so.
TCompilerResults ParseCompilerResults(std::string_view bytes, int64_t fileSize = -1);

// Reads the file (at most MaxReportBytes of it) and parses it. Raises
// EFOpenError when it cannot be read.
TCompilerResults ReadCompilerResultFile(const std::string &path);
