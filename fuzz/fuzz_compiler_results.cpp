// Fuzz target: the compiler's result file as any bytes. Its lines, status and
// summary fields are those a plain reading of the rules gives: lines end at
// CR LF, LF or CR, an empty file is one empty status line, a final break
// starts no line; "ERROR" and "ASSEMBLER ERRORS" fail, a line beginning with
// 1 or R carries three comma-ended fields (each cut at its length limit). The lines and their
// breaks add up to the whole file. KX_FUZZ_LINK: src/toolchain/core
#include "CompilerResults.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string bytes(reinterpret_cast<const char *>(data), size);
  const TCompilerResults r = ParseCompilerResults(bytes);

  std::vector<std::string> lines;
  std::string cur;
  size_t breakBytes = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c != '\r' && c != '\n') {
      cur += c;
      continue;
    }
    lines.push_back(cur);
    cur.clear();
    ++breakBytes;
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
      ++i;
      ++breakBytes;
    }
  }
  if (!cur.empty() || lines.empty())
    lines.push_back(cur);

  if (r.StatusLine != lines[0] ||
      r.Report != std::vector<std::string>(lines.begin() + 1, lines.end()))
    std::abort();
  size_t chars = breakBytes;
  for (const std::string &l : lines)
    chars += l.size();
  if (chars != size || r.ReportCut || r.FileSize != static_cast<int64_t>(size))
    std::abort();

  const std::string &s = lines[0];
  if (s == "ERROR" || s == "ASSEMBLER ERRORS") {
    if (r.Status != TCompileStatus::Failed)
      std::abort();
  } else if (!s.empty() && (s[0] == '1' || s[0] == 'R')) {
    std::string field[3];
    size_t at = 0;
    for (std::string &f : field) {
      if (at >= s.size())
        break;
      const size_t comma = s.find(',', at);
      f = s.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
      f = f.substr(0, MaxSummaryField); // a field names a device or a number
      at = comma == std::string::npos ? s.size() : comma + 1;
    }
    if (r.Status != TCompileStatus::Summary || r.Device != field[0] || r.CodeSize != field[1] ||
        r.RamUse != field[2])
      std::abort();
  } else if (r.Status != TCompileStatus::Other || !r.Device.empty()) {
    std::abort();
  }
  return 0;
}
