// HEX files are untrusted: any bytes load without a crash or a read past a
// line, a bad pair stops the load with the conversion message, and loading
// the file's lines one list at a time gives the same image as its bytes.
// KX_FUZZ_NEEDS_TOOLCHAIN_CORE
#include "CompilerResults.h"
#include "HexImage.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char *>(data), size);
  THexImage a, b;
  std::string errorA, errorB;
  try {
    a.LoadBytes(bytes);
  } catch (const EHexConvertError &e) {
    errorA = e.what();
  }
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < size; ++i) {
    const char c = bytes[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      if (c == '\r' && i + 1 < size && bytes[i + 1] == '\n')
        ++i;
    } else {
      line += c;
    }
  }
  if (!line.empty())
    lines.push_back(line);
  try {
    b.Load(lines);
  } catch (const EHexConvertError &e) {
    errorB = e.what();
  }
  if (errorA != errorB || a.Slots() != b.Slots())
    __builtin_trap();
  if (!errorA.empty() && errorA.rfind("'$", 0) != 0)
    __builtin_trap();

  // The same bytes as a result file: every byte is a line's or a break.
  const TCompilerResults r = ParseCompilerResults(bytes);
  size_t chars = r.StatusLine.size();
  for (const std::string &l : r.Report)
    chars += l.size();
  if (chars > size)
    __builtin_trap();
  return 0;
}
