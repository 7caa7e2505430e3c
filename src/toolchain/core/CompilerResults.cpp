// Reading the compiler's result file: lines, status line and summary fields.
#include "CompilerResults.h"

#include "KorvexError.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// The field up to its ending comma (or the end of the line), starting at
// `pos`; `pos` moves past the comma.
std::string NextField(std::string_view line, size_t &pos) {
  if (pos >= line.size())
    return std::string();
  const size_t comma = line.find(',', pos);
  const size_t end = comma == std::string_view::npos ? line.size() : comma;
  std::string field(line.substr(pos, std::min(end - pos, MaxSummaryField)));
  pos = comma == std::string_view::npos ? line.size() : comma + 1;
  return field;
}

} // namespace

TCompilerResults ParseCompilerResults(std::string_view bytes, int64_t fileSize) {
  TCompilerResults r;
  r.FileSize = fileSize < 0 ? static_cast<int64_t>(bytes.size()) : fileSize;
  r.ReportCut = r.FileSize > static_cast<int64_t>(bytes.size());
  size_t start = 0;
  bool first = true;
  // An empty file is one empty status line; a final line break ends the last
  // line and starts none.
  while (first || start < bytes.size()) {
    size_t end = start;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
      ++end;
    const std::string_view line = bytes.substr(start, end - start);
    if (first) {
      r.StatusLine.assign(line);
      first = false;
    } else if (r.Report.size() < MaxReportLines) {
      r.Report.emplace_back(line);
    } else {
      r.ReportCut = true;
      break;
    }
    if (end < bytes.size() && bytes[end] == '\r' && end + 1 < bytes.size() &&
        bytes[end + 1] == '\n')
      ++end;
    start = end + 1;
  }

  const std::string &status = r.StatusLine;
  if (status == "ERROR" || status == "ASSEMBLER ERRORS") {
    r.Status = TCompileStatus::Failed;
  } else if (!status.empty() && (status[0] == '1' || status[0] == 'R')) {
    r.Status = TCompileStatus::Summary;
    size_t pos = 0;
    r.Device = NextField(status, pos);
    r.CodeSize = NextField(status, pos);
    r.RamUse = NextField(status, pos);
  }
  return r;
}

TCompilerResults ReadCompilerResultFile(const std::string &path) {
  std::unique_ptr<std::FILE, int (*)(std::FILE *)> f(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!f)
    throw EFOpenError("Cannot open file \"" + path + "\". " + std::strerror(errno));
  std::string bytes;
  bytes.resize(64 * 1024);
  size_t have = 0;
  int64_t total = 0;
  char chunk[64 * 1024];
  for (;;) {
    const size_t n = std::fread(chunk, 1, sizeof chunk, f.get());
    if (n == 0)
      break;
    total += static_cast<int64_t>(n);
    const size_t room = static_cast<size_t>(MaxReportBytes) - have;
    const size_t take = std::min(n, room);
    if (have + take > bytes.size())
      bytes.resize(std::min(static_cast<size_t>(MaxReportBytes), (have + take) * 2));
    std::memcpy(bytes.data() + have, chunk, take);
    have += take;
    if (take < n) {
      // Only the size of the rest is wanted: skip it without reading it.
      const long here = std::ftell(f.get());
      if (here >= 0 && std::fseek(f.get(), 0, SEEK_END) == 0) {
        const long size = std::ftell(f.get());
        if (size >= here)
          total += size - here;
      }
      break;
    }
  }
  bytes.resize(have);
  return ParseCompilerResults(bytes, total);
}
