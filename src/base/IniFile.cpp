// TIniFile: a line scanner over the whole file; writes splice one line.
#include "IniFile.h"

#include "Streams.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

enum class TLineKind { Blank, Comment, Section, Key, Junk };

struct TLine {
  size_t begin = 0;      // first byte of the line
  size_t contentEnd = 0; // first byte of its line end (or of the next line)
  size_t end = 0;        // first byte of the next line
  TLineKind kind = TLineKind::Junk;
  std::string name;      // section or key name, trimmed
  size_t valueBegin = 0; // key lines: first byte after "=" and its blanks
  std::string value;     // key lines: trimmed value
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string Trim(const std::string &s, size_t from, size_t to) {
  while (from < to && IsBlank(s[from]))
    ++from;
  while (to > from && IsBlank(s[to - 1]))
    --to;
  return s.substr(from, to - from);
}

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameText(const std::string &a, const std::string &b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i]))
      return false;
  return true;
}

std::string Unquote(std::string v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

// The whole file, or nothing when it is missing, not a regular file, too big
// or unreadable: readers then see defaults.
std::optional<std::string> LoadFile(const std::string &path, bool &exists) {
  exists = false;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return std::nullopt;
  exists = true;
  if (!S_ISREG(st.st_mode) || st.st_size > TIniFile::MaxFileSize)
    return std::nullopt;
  std::FILE *f = std::fopen(path.c_str(), "rb");
  if (!f)
    return std::nullopt;
  std::string bytes;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
    bytes.append(buf, n);
    // The file may grow while we read it.
    if (bytes.size() > static_cast<size_t>(TIniFile::MaxFileSize)) {
      std::fclose(f);
      return std::nullopt;
    }
  }
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed)
    return std::nullopt;
  return bytes;
}

std::vector<TLine> SplitLines(const std::string &s) {
  std::vector<TLine> lines;
  size_t pos = 0;
  // A UTF-8 byte order mark is not part of the first line's text.
  if (s.size() >= 3 && s.compare(0, 3, "\xEF\xBB\xBF") == 0)
    pos = 3;
  bool first = true;
  while (pos < s.size()) {
    TLine line;
    line.begin = first ? 0 : pos;
    first = false;
    size_t e = pos;
    while (e < s.size() && s[e] != '\n' && s[e] != '\r')
      ++e;
    line.contentEnd = e;
    if (e < s.size())
      e += (s[e] == '\r' && e + 1 < s.size() && s[e + 1] == '\n') ? 2 : 1;
    line.end = e;

    size_t a = pos, b = line.contentEnd;
    while (a < b && IsBlank(s[a]))
      ++a;
    while (b > a && IsBlank(s[b - 1]))
      --b;
    if (a == b) {
      line.kind = TLineKind::Blank;
    } else if (s[a] == ';' || s[a] == '#') {
      line.kind = TLineKind::Comment;
    } else if (s[a] == '[') {
      const size_t close = s.find(']', a);
      if (close != std::string::npos && close < b) {
        line.kind = TLineKind::Section;
        line.name = Trim(s, a + 1, close);
      }
    } else {
      const size_t eq = s.find('=', a);
      if (eq != std::string::npos && eq < b) {
        line.name = Trim(s, a, eq);
        if (!line.name.empty()) {
          line.kind = TLineKind::Key;
          size_t v = eq + 1;
          while (v < line.contentEnd && IsBlank(s[v]))
            ++v;
          line.valueBegin = v;
          line.value = Trim(s, v, line.contentEnd);
        }
      }
    }
    lines.push_back(std::move(line));
    pos = e;
  }
  return lines;
}

// Where a section and a key stand. Only the first section of the name counts.
struct TLookup {
  int section = -1;     // header line
  int key = -1;         // key line within that section
  int insertAfter = -1; // last line that belongs to the section's body
};

TLookup Find(const std::vector<TLine> &lines, const std::string &section, const std::string &key) {
  TLookup r;
  for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
    const TLine &l = lines[i];
    if (r.section < 0) {
      if (l.kind == TLineKind::Section && SameText(l.name, section)) {
        r.section = i;
        r.insertAfter = i;
      }
      continue;
    }
    if (l.kind == TLineKind::Section)
      break;
    if (l.kind == TLineKind::Key && r.key < 0 && !key.empty() && SameText(l.name, key))
      r.key = i;
    // A comment block separated from the body by a blank line introduces
    // whatever follows; a new key goes before it.
    if (l.kind != TLineKind::Blank &&
        (l.kind != TLineKind::Comment || lines[i - 1].kind != TLineKind::Blank))
      r.insertAfter = i;
  }
  return r;
}

std::string LineEnd(const std::string &s) {
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\n')
      return "\n";
    if (s[i] == '\r')
      return (i + 1 < s.size() && s[i + 1] == '\n') ? "\r\n" : "\r";
  }
  return "\n";
}

bool HasLineBreak(const std::string &s) {
  return s.find_first_of("\r\n") != std::string::npos;
}

[[noreturn]] void Refuse(const std::string &path, const std::string &why) {
  throw EIniFileError("Cannot write settings file \"" + path + "\". " + why);
}

} // namespace

bool ParseIniInteger(const std::string &text, int32_t &value) {
  const std::string t = Trim(text, 0, text.size());
  size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-'))
    negative = t[i++] == '-';
  int base = 10;
  if (i < t.size() && t[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= t.size())
    return false;
  uint64_t v = 0;
  for (; i < t.size(); ++i) {
    const char c = t[i];
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (base == 16 && Lower(c) >= 'a' && Lower(c) <= 'f')
      d = Lower(c) - 'a' + 10;
    else
      return false;
    v = v * base + d;
    if (v > 0xFFFFFFFFull)
      return false;
  }
  if (base == 16) {
    // Hexadecimal gives the 32 bits as written, as "$FFFFFFFF" = -1.
    uint32_t bits = static_cast<uint32_t>(v);
    if (negative)
      bits = 0u - bits;
    value = static_cast<int32_t>(bits);
    return true;
  }
  if (negative ? v > 2147483648ull : v > 2147483647ull)
    return false;
  value = negative ? static_cast<int32_t>(-static_cast<int64_t>(v)) : static_cast<int32_t>(v);
  return true;
}

bool TIniFile::FindValue(const std::string &bytes, const std::string &section,
                         const std::string &key, std::string &value) {
  const auto lines = SplitLines(bytes);
  const TLookup at = Find(lines, section, key);
  if (at.key < 0)
    return false;
  std::string v = Unquote(lines[at.key].value);
  // An empty value counts as missing: the caller's default applies.
  if (v.empty())
    return false;
  value = std::move(v);
  return true;
}

size_t TIniFile::FindValues(const std::string &bytes, const std::vector<TKeyRef> &keys,
                            std::vector<std::string> &values) {
  const auto lines = SplitLines(bytes);
  size_t found = 0;
  for (size_t i = 0; i < keys.size() && i < values.size(); ++i) {
    const TLookup at = Find(lines, keys[i].Section, keys[i].Key);
    if (at.key < 0)
      continue;
    if (std::string v = Unquote(lines[at.key].value); !v.empty()) {
      values[i] = std::move(v);
      ++found;
    }
  }
  return found;
}

std::string TIniFile::SetValue(const std::string &s, const std::string &section,
                               const std::string &key, const std::string &value) {
  const auto lines = SplitLines(s);
  const TLookup at = Find(lines, section, key);
  const std::string eol = LineEnd(s);
  std::string out;
  if (at.key >= 0) {
    const TLine &l = lines[at.key];
    out = s.substr(0, l.valueBegin) + value + s.substr(l.contentEnd);
  } else if (at.section >= 0) {
    const TLine &l = lines[at.insertAfter];
    const bool lastWithoutEnd = l.end == l.contentEnd;
    out = s.substr(0, l.end);
    if (lastWithoutEnd)
      out += eol;
    out += key + "=" + value;
    if (!lastWithoutEnd)
      out += eol;
    out += s.substr(l.end);
  } else {
    out = s;
    if (!lines.empty()) {
      if (lines.back().end == lines.back().contentEnd)
        out += eol;
      if (lines.back().kind != TLineKind::Blank)
        out += eol;
    }
    out += "[" + section + "]" + eol + key + "=" + value + eol;
  }
  return out;
}

std::string TIniFile::ReadString(const std::string &section, const std::string &key,
                                 const std::string &defaultValue) const {
  bool exists;
  const auto bytes = LoadFile(fileName_, exists);
  if (!bytes)
    return defaultValue;
  std::string value;
  return FindValue(*bytes, section, key, value) ? value : defaultValue;
}

int32_t TIniFile::ReadInteger(const std::string &section, const std::string &key,
                              int32_t defaultValue) const {
  int32_t v;
  return ParseIniInteger(ReadString(section, key, std::string()), v) ? v : defaultValue;
}

bool TIniFile::SectionExists(const std::string &section) const {
  bool exists;
  const auto bytes = LoadFile(fileName_, exists);
  return bytes && Find(SplitLines(*bytes), section, std::string()).section >= 0;
}

bool TIniFile::ValueExists(const std::string &section, const std::string &key) const {
  bool exists;
  const auto bytes = LoadFile(fileName_, exists);
  return bytes && Find(SplitLines(*bytes), section, key).key >= 0;
}

void TIniFile::WriteString(const std::string &section, const std::string &key,
                           const std::string &value) {
  const std::string sec = Trim(section, 0, section.size());
  const std::string k = Trim(key, 0, key.size());
  if (sec.empty() || HasLineBreak(sec) || sec.find(']') != std::string::npos)
    Refuse(fileName_, "Invalid section name \"" + section + "\".");
  if (k.empty() || HasLineBreak(k) || k.find('=') != std::string::npos || k[0] == '[' ||
      k[0] == ';' || k[0] == '#')
    Refuse(fileName_, "Invalid key name \"" + key + "\".");
  if (HasLineBreak(value))
    Refuse(fileName_, "The value of " + k + " holds a line break.");

  // Write through a symbolic link to the file it names, not over the link.
  std::string target = fileName_;
  if (char *real = ::realpath(fileName_.c_str(), nullptr)) {
    target = real;
    std::free(real);
  }

  bool exists;
  const auto old = LoadFile(target, exists);
  if (exists && !old)
    Refuse(fileName_, "The file cannot be read, so it is not replaced.");

  const std::string out = SetValue(old ? *old : std::string(), sec, k, value);
  if (old && out == *old)
    return;
  if (exists) {
    // A read-only file is the user's way of keeping it as it is, also from
    // a user whose rights would allow the rename.
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0 && (st.st_mode & 0222) == 0)
      Refuse(fileName_, "The file is read-only.");
    if (::access(target.c_str(), W_OK) != 0)
      Refuse(fileName_, std::strerror(errno));
  }
  try {
    WriteFileAtomic(target, out);
  } catch (const EStreamError &e) {
    throw EIniFileError(e.what());
  }
}

void TIniFile::WriteInteger(const std::string &section, const std::string &key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}
