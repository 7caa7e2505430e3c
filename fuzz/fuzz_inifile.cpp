// Settings files are untrusted: reading and rewriting any bytes never fails,
// the written key reads back, and nothing but that key's line changes.
#include "IniFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string bytes(reinterpret_cast<const char *>(data), size);
  static const char *const sections[] = {"PROGRAMMER", "a", "EXT_PROG"};
  static const char *const keys[] = {"TYPE", "k", "CMD_LINE"};
  const std::string section = sections[size > 0 ? data[0] % 3 : 0];
  const std::string key = keys[size > 1 ? data[1] % 3 : 0];

  std::string value;
  TIniFile::FindValue(bytes, section, key, value);
  int32_t number;
  ParseIniInteger(value, number);
  ParseIniInteger(bytes.substr(0, 64), number);

  const std::string written = "fuzz " + std::to_string(size);
  const std::string out = TIniFile::SetValue(bytes, section, key, written);
  if (!TIniFile::FindValue(out, section, key, value) || value != written)
    __builtin_trap();
  // Old and new share everything but the bytes of one line.
  size_t p = 0;
  while (p < bytes.size() && p < out.size() && bytes[p] == out[p])
    ++p;
  size_t q = 0;
  while (q < bytes.size() - p && q < out.size() - p &&
         bytes[bytes.size() - 1 - q] == out[out.size() - 1 - q])
    ++q;
  if (bytes.substr(p, bytes.size() - p - q).find_first_of("\r\n") != std::string::npos)
    __builtin_trap();
  return 0;
}
