// The compiler's result file: status lines, summary fields, report lines,
// line ends, and files no compiler writes (empty, binary, huge, no breaks).
#include "CompilerResults.h"

#include "KorvexError.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <random>

namespace {

TEST(CompilerResults, StatusLines) {
  struct TCase {
    const char *Bytes;
    TCompileStatus Status;
    const char *Device, *Code, *Ram;
  };
  const TCase cases[] = {
      {"16F877,1024,48,\r\nreport\r\n", TCompileStatus::Summary, "16F877", "1024", "48"},
      {"16F84,112,9,", TCompileStatus::Summary, "16F84", "112", "9"},
      // The texts of the fields stand as they are; a missing comma ends the
      // field at the end of the line; missing fields are empty.
      {"12F675, 1 K ,RAM:64,extra,", TCompileStatus::Summary, "12F675", " 1 K ", "RAM:64"},
      {"16F628,200,31", TCompileStatus::Summary, "16F628", "200", "31"},
      {"16F628,200", TCompileStatus::Summary, "16F628", "200", ""},
      {"18F452", TCompileStatus::Summary, "18F452", "", ""},
      {"1", TCompileStatus::Summary, "1", "", ""},
      {"R,,,", TCompileStatus::Summary, "R", "", ""},
      {"RESULT,,7,", TCompileStatus::Summary, "RESULT", "", "7"},
      {",,,", TCompileStatus::Other, "", "", ""},
      // Whole and with case.
      {"ERROR\r\nline 3: syntax error\r\n", TCompileStatus::Failed, "", "", ""},
      {"ASSEMBLER ERRORS\n", TCompileStatus::Failed, "", "", ""},
      {"ERROR ", TCompileStatus::Other, "", "", ""},
      {"Error", TCompileStatus::Other, "", "", ""},
      {"ASSEMBLER ERROR", TCompileStatus::Other, "", "", ""},
      {"r16F84,1,2,", TCompileStatus::Other, "", "", ""},
      {"PIC16F84,1,2,", TCompileStatus::Other, "", "", ""},
      {"", TCompileStatus::Other, "", "", ""},
  };
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.Bytes);
    const TCompilerResults r = ParseCompilerResults(c.Bytes);
    EXPECT_EQ(r.Status, c.Status);
    EXPECT_EQ(r.Device, c.Device);
    EXPECT_EQ(r.CodeSize, c.Code);
    EXPECT_EQ(r.RamUse, c.Ram);
  }
}

TEST(CompilerResults, ReportIsEveryLineAfterTheStatusInFileOrder) {
  struct TCase {
    std::string Bytes;
    std::string Status;
    std::vector<std::string> Report;
  };
  const TCase cases[] = {
      {"", "", {}},
      {"ERROR", "ERROR", {}},
      {"ERROR\r\n", "ERROR", {}},
      {"ERROR\r\n\r\n", "ERROR", {""}},
      {"ERROR\r\nfirst\r\nsecond", "ERROR", {"first", "second"}},
      {"ERROR\nfirst\nsecond\n", "ERROR", {"first", "second"}},
      {"ERROR\rfirst\rsecond\r", "ERROR", {"first", "second"}},
      {"ERROR\n\rmixed\r\n\nend", "ERROR", {"", "mixed", "", "end"}},
      {std::string("A\0B\r\nC\0", 7), std::string("A\0B", 3), {std::string("C\0", 2)}},
  };
  for (const TCase &c : cases) {
    const TCompilerResults r = ParseCompilerResults(c.Bytes);
    EXPECT_EQ(r.StatusLine, c.Status);
    EXPECT_EQ(r.Report, c.Report);
    EXPECT_FALSE(r.ReportCut);
  }
}

TEST(CompilerResults, FilesNoCompilerWrites) {
  TTempFolder dir;
  // Binary bytes: any status, no crash, every byte accounted for.
  std::mt19937 rng(3);
  std::string binary(100000, '\0');
  for (char &c : binary)
    c = static_cast<char>(rng());
  const TCompilerResults b = ReadCompilerResultFile(dir.Put("bin.PBE", binary));
  size_t chars = b.StatusLine.size();
  for (const std::string &l : b.Report)
    chars += l.size();
  size_t breaks = 0;
  for (char c : binary)
    breaks += c == '\r' || c == '\n';
  EXPECT_EQ(chars + breaks, binary.size());

  // A huge file without line breaks: the status line is what was read, the
  // fields are cut to a device name's size, and the file's size is known.
  std::string huge = "16F877" + std::string(40 * 1024 * 1024, '7');
  const TCompilerResults h = ReadCompilerResultFile(dir.Put("huge.PBE", huge));
  EXPECT_EQ(h.Status, TCompileStatus::Summary);
  EXPECT_EQ(h.Device.size(), MaxSummaryField);
  EXPECT_EQ(h.StatusLine.size(), static_cast<size_t>(MaxReportBytes));
  EXPECT_TRUE(h.ReportCut);
  EXPECT_EQ(h.FileSize, static_cast<int64_t>(huge.size()));
  EXPECT_TRUE(h.Report.empty());

  // Very many lines: the first ones, and a note that there were more.
  std::string many = "ERROR\n";
  for (size_t i = 0; i < MaxReportLines + 10; ++i)
    many += "x\n";
  const TCompilerResults m = ReadCompilerResultFile(dir.Put("many.PBE", many));
  EXPECT_EQ(m.Status, TCompileStatus::Failed);
  EXPECT_EQ(m.Report.size(), MaxReportLines);
  EXPECT_TRUE(m.ReportCut);

  // The size limit cuts a report of long lines.
  std::string longLines = "ERROR\n";
  while (longLines.size() < static_cast<size_t>(MaxReportBytes) + 1000)
    longLines += std::string(1000, 'y') + "\n";
  const TCompilerResults l = ReadCompilerResultFile(dir.Put("long.PBE", longLines));
  EXPECT_TRUE(l.ReportCut);
  size_t kept = l.StatusLine.size() + 1;
  for (const std::string &line : l.Report)
    kept += line.size() + 1;
  EXPECT_LE(kept, static_cast<size_t>(MaxReportBytes) + 1);

  EXPECT_THROW(ReadCompilerResultFile(dir.Dir() + "missing.PBE"), EFOpenError);
}

} // namespace
