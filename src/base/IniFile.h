// Settings files in the Windows INI style, read and written key by key.
//
// Every call opens the file by its full path, does its one read or write and
// lets go of it: nothing is cached, so a write is seen by the very next read,
// also one made by another program. Sections and keys compare ignoring ASCII
// case; only the first section of a name and the first key of a name count.
// A write changes only the bytes of its own line (or adds one): every other
// line, comment, junk line and line end stays exactly as it was.
#pragma once

#include "KorvexError.h"

#include <cstdint>
#include <string>
#include <vector>

// A settings file that cannot be written, or a key or value it cannot hold.
KX_DECLARE_ERROR(EIniFileError, EKorvexError);

class TIniFile {
public:
  explicit TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

  const std::string &FileName() const { return fileName_; }

  // The value with surrounding blanks (and one pair of enclosing quotes)
  // removed; the default when the file, the section or the key is missing or
  // the value is empty ("NAME=").
  std::string ReadString(const std::string &section, const std::string &key,
                         const std::string &defaultValue) const;
  // Decimal, or hexadecimal with "$" or "0x"; the default when missing,
  // empty, not a number or outside 32 bits.
  int32_t ReadInteger(const std::string &section, const std::string &key,
                      int32_t defaultValue) const;
  bool SectionExists(const std::string &section) const;
  bool ValueExists(const std::string &section, const std::string &key) const;

  // Replaces the value of an existing key in place, or adds the key at the end
  // of its section, or adds the section at the end of the file. The file is
  // replaced atomically. Raises EIniFileError naming the file when it cannot
  // be written (read-only, folder not writable, ...) and when the section, key
  // or value could not be read back as written (line breaks, "]" or "=" in
  // names).
  void WriteString(const std::string &section, const std::string &key, const std::string &value);
  void WriteInteger(const std::string &section, const std::string &key, int32_t value);

  // The same two operations on the bytes of a settings file in memory.
  // SetValue expects names that WriteString accepts and returns the new bytes.
  static bool FindValue(const std::string &bytes, const std::string &section,
                        const std::string &key, std::string &value);
  // Several look-ups over one reading of the bytes: each value found replaces
  // values[i] (the caller's default); returns how many were found.
  struct TKeyRef {
    const char *Section;
    const char *Key;
  };
  static size_t FindValues(const std::string &bytes, const std::vector<TKeyRef> &keys,
                           std::vector<std::string> &values);
  static std::string SetValue(const std::string &bytes, const std::string &section,
                              const std::string &key, const std::string &value);

  // Files above this size are treated as unreadable (reads give defaults,
  // writes fail): a settings file is a few kilobytes.
  static constexpr int64_t MaxFileSize = 64 * 1024 * 1024;

private:
  std::string fileName_;
};

// Integer parsing shared with callers that hold a settings value as text.
bool ParseIniInteger(const std::string &text, int32_t &value);
