// Line-at-a-time search with PCRE2 (8-bit) for regular expressions and a folded
// substring search for plain text.
#define PCRE2_CODE_UNIT_WIDTH 8
#include "Search.h"

#include <pcre2.h>

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

void FoldInto(std::string_view in, std::string &out) {
  out.resize(in.size());
  // Branch-free, so the compiler folds many bytes at once.
  const auto *s = reinterpret_cast<const unsigned char *>(in.data());
  auto *d = reinterpret_cast<unsigned char *>(out.data());
  for (size_t i = 0, n = in.size(); i < n; ++i) {
    const unsigned char c = s[i];
    d[i] = static_cast<unsigned char>(c + (static_cast<unsigned char>(c - 'A') < 26 ? 32 : 0));
  }
}

pcre2_code *Code(void *p) {
  return static_cast<pcre2_code *>(p);
}
pcre2_match_data *Data(void *p) {
  return static_cast<pcre2_match_data *>(p);
}

} // namespace

bool DefaultCharStartsWord(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool DefaultCharIsInWord(char c) {
  return DefaultCharStartsWord(c) || (c >= '0' && c <= '9');
}

int64_t TSearchText::Stretch(int64_t lineStart, int64_t pos, size_t max, std::string_view &text,
                             bool &atEnd) {
  std::string_view line;
  const int64_t next = Line(lineStart, line);
  const size_t off =
      std::min(line.size(), static_cast<size_t>(std::max<int64_t>(0, pos - lineStart)));
  text = line.substr(off, max);
  atEnd = off + text.size() >= line.size();
  return next;
}

int64_t TEdStreamSearchText::Line(int64_t lineStart, std::string_view &line) {
  buf_.clear();
  s_.SetPosition(lineStart);
  int64_t next = -1;
  while (!s_.AtEnd()) {
    const unsigned char c = s_.Current();
    if (c == 13 || c == 10) {
      s_.Advance();
      if (c == 13 && !s_.AtEnd() && s_.Current() == 10)
        s_.Advance();
      next = s_.Position();
      break;
    }
    buf_.push_back(static_cast<char>(c));
    s_.Advance();
  }
  line = buf_;
  return next;
}

int64_t TEdStreamSearchText::LineStart(int64_t pos) {
  pos = std::clamp<int64_t>(pos, 0, s_.Size());
  while (pos > 0) {
    s_.SetPosition(pos - 1);
    const unsigned char c = s_.Current();
    if (c == 13 || c == 10)
      break;
    --pos;
  }
  return pos;
}

TTextSearcher::TTextSearcher(const std::string &pattern, uint32_t flags, TCharTest isInWord)
    : pattern_(pattern), flags_(flags),
      isInWord_(isInWord ? std::move(isInWord) : TCharTest(DefaultCharIsInWord)) {
  if (!(flags_ & sfRegExp)) {
    FoldInto(pattern_, folded_);
    return;
  }
  int err = 0;
  PCRE2_SIZE errOffset = 0;
  const uint32_t options = (flags_ & sfMatchCase) ? 0 : PCRE2_CASELESS;
  pcre2_code *code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern_.data()), pattern_.size(),
                                   options, &err, &errOffset, nullptr);
  if (!code) {
    PCRE2_UCHAR text[256];
    if (pcre2_get_error_message(err, text, sizeof text) < 0)
      std::strcpy(reinterpret_cast<char *>(text), "invalid regular expression");
    const size_t col = std::min<size_t>(errOffset, pattern_.size());
    throw ERegExpError(std::string(reinterpret_cast<char *>(text)) + "\n" + pattern_ + "\n" +
                       std::string(col, ' ') + "^");
  }
  pcre2_jit_compile(code,
                    PCRE2_JIT_COMPLETE); // the interpreter still works when JIT is unavailable
  code_ = code;
  match_ = pcre2_match_data_create_from_pattern(code, nullptr);
}

TTextSearcher::~TTextSearcher() {
  if (match_)
    pcre2_match_data_free(Data(match_));
  if (code_)
    pcre2_code_free(Code(code_));
}

bool TTextSearcher::WordBoundsOk(size_t start, size_t len) const {
  if (!(flags_ & sfWholeWords))
    return true;
  // A word character at an end of the match must not continue a word outside it.
  if (len > 0 && isInWord_(line_[start]) && start > 0 && isInWord_(line_[start - 1]))
    return false;
  const size_t end = start + len;
  if (len > 0 && isInWord_(line_[end - 1]) && end < line_.size() && isInWord_(line_[end]))
    return false;
  return true;
}

bool TTextSearcher::MatchInLine(size_t off, bool notEmptyAtStart, size_t &start, size_t &len) {
  if (flags_ & sfRegExp) {
    while (off <= line_.size()) {
      const uint32_t opts = notEmptyAtStart ? PCRE2_NOTEMPTY_ATSTART : 0;
      const int rc = pcre2_match(Code(code_), reinterpret_cast<PCRE2_SPTR>(line_.data()),
                                 line_.size(), off, opts, Data(match_), nullptr);
      if (rc < 0)
        return false; // no match, or the matcher's limits: treat as not found
      const PCRE2_SIZE *ov = pcre2_get_ovector_pointer(Data(match_));
      if (ov[1] < ov[0]) // \K tricks can report an end before the start
        return false;
      start = ov[0];
      len = ov[1] - ov[0];
      if (WordBoundsOk(start, len))
        return true;
      off = start + 1;
      notEmptyAtStart = false;
    }
    return false;
  }
  if (pattern_.empty())
    return false;
  const std::string_view hay = (flags_ & sfMatchCase) ? line_ : std::string_view(lineFolded_);
  const std::string &needle = (flags_ & sfMatchCase) ? pattern_ : folded_;
  const std::string_view view(hay);
  while (off < hay.size()) {
    const size_t at = view.find(needle, off);
    if (at == std::string_view::npos)
      return false;
    if (WordBoundsOk(at, needle.size())) {
      start = at;
      len = needle.size();
      return true;
    }
    off = at + 1;
  }
  return false;
}

void TTextSearcher::Remember(size_t start, size_t len) {
  groups_.clear();
  groupSet_.clear();
  if (!(flags_ & sfRegExp)) {
    groups_.emplace_back(line_.substr(start, len));
    groupSet_.push_back(true);
    return;
  }
  const uint32_t n = pcre2_get_ovector_count(Data(match_));
  const PCRE2_SIZE *ov = pcre2_get_ovector_pointer(Data(match_));
  for (uint32_t i = 0; i < n && i < 10; ++i) {
    const bool set = ov[2 * i] != PCRE2_UNSET && ov[2 * i + 1] >= ov[2 * i];
    groupSet_.push_back(set);
    groups_.push_back(set ? std::string(line_.substr(ov[2 * i], ov[2 * i + 1] - ov[2 * i]))
                          : std::string());
  }
}

void TTextSearcher::SetLine(std::string_view line) {
  line_ = line;
  if (!(flags_ & (sfMatchCase | sfRegExp)))
    FoldInto(line_, lineFolded_);
}

bool TTextSearcher::Find(TSearchText &text, int64_t from, TSearchMatch &m, bool emptyAtFrom) {
  m = {};
  if (pattern_.empty())
    return false; // searching for nothing finds nothing, not an empty match everywhere
  from = std::clamp<int64_t>(from, 0, text.Size());
  return (flags_ & sfBackwards) ? FindBackward(text, from, m)
                                : FindForward(text, from, m, emptyAtFrom);
}

bool TTextSearcher::FindForward(TSearchText &text, int64_t from, TSearchMatch &m,
                                bool emptyAtFrom) {
  if (!(flags_ & sfRegExp))
    return FindPlainForward(text, from, m);
  int64_t lineStart = text.LineStart(from);
  bool first = true;
  std::string_view line;
  while (lineStart >= 0) {
    const int64_t next = text.Line(lineStart, line);
    SetLine(line);
    const size_t off = first ? static_cast<size_t>(from - lineStart) : 0;
    size_t start = 0, len = 0;
    if (MatchInLine(off, first && !emptyAtFrom, start, len)) {
      Remember(start, len);
      m.Start = lineStart + static_cast<int64_t>(start);
      m.Length = static_cast<int64_t>(len);
      return true;
    }
    first = false;
    lineStart = next;
  }
  return false;
}

bool TTextSearcher::FindPlainForward(TSearchText &text, int64_t from, TSearchMatch &m) {
  // Stretches overlap so that a match across their border is seen whole, and
  // each holds one character before and after its candidates for the
  // whole-word test.
  const size_t len = pattern_.size();
  const size_t window = std::max<size_t>(kSearchStretch, 2 * len + 2);
  int64_t lineStart = text.LineStart(from);
  int64_t first = from; // the first candidate start not tried yet
  std::string_view piece;
  while (lineStart >= 0) {
    const int64_t s = std::max(lineStart, first - 1);
    bool atEnd = false;
    const int64_t next = text.Stretch(lineStart, s, window, piece, atEnd);
    SetLine(piece);
    // A candidate must end within `limit`, so that the character after it is
    // known (or the line ends there).
    const size_t limit = atEnd ? piece.size() : piece.size() - 1;
    const size_t off = static_cast<size_t>(first - s);
    size_t start = 0, mlen = 0;
    if (off + len <= limit && MatchInLine(off, false, start, mlen) && start + mlen <= limit) {
      Remember(start, mlen);
      m.Start = s + static_cast<int64_t>(start);
      m.Length = static_cast<int64_t>(mlen);
      return true;
    }
    if (atEnd) {
      lineStart = next;
      first = next;
    } else {
      first = s + static_cast<int64_t>(limit - len) + 1;
    }
  }
  return false;
}

bool TTextSearcher::FindBackward(TSearchText &text, int64_t from, TSearchMatch &m) {
  int64_t lineStart = text.LineStart(from);
  std::string_view line;
  for (;;) {
    text.Line(lineStart, line);
    SetLine(line);
    const int64_t limit = from - lineStart; // matches must end here or earlier
    size_t off = 0, start = 0, len = 0;
    bool found = false;
    size_t bestStart = 0, bestLen = 0;
    while (off <= line_.size() && MatchInLine(off, false, start, len)) {
      if (static_cast<int64_t>(start) >= limit)
        break;
      if (static_cast<int64_t>(start + len) > limit) {
        off = start + 1; // a later, shorter match may still end in time
        continue;
      }
      off = len ? start + len : start + 1;
      found = true;
      bestStart = start;
      bestLen = len;
    }
    if (found) {
      // Match again at the chosen place so the groups belong to it.
      MatchInLine(bestStart, false, start, len);
      Remember(bestStart, bestLen);
      m.Start = lineStart + static_cast<int64_t>(bestStart);
      m.Length = static_cast<int64_t>(bestLen);
      return true;
    }
    if (lineStart == 0)
      return false;
    lineStart = text.LineStart(lineStart - 1);
  }
}

int64_t TTextSearcher::FindEach(TSearchText &text, int64_t from, bool emptyAtFrom,
                                const std::function<bool(const TSearchMatch &)> &f) {
  if (pattern_.empty())
    return 0;
  const int64_t size = text.Size();
  from = std::clamp<int64_t>(from, 0, size);
  if (from >= size)
    return 0;
  int64_t count = 0;
  int64_t lineStart = text.LineStart(from);
  size_t off = static_cast<size_t>(from - lineStart);
  bool allowEmpty = emptyAtFrom;
  std::string_view line;
  while (lineStart >= 0) {
    const int64_t next = text.Line(lineStart, line);
    SetLine(line);
    size_t start = 0, len = 0;
    // A match never holds a line break, so the search that follows a match
    // always goes on in the same line, from the match's end.
    while (MatchInLine(off, !allowEmpty, start, len)) {
      const TSearchMatch m{lineStart + static_cast<int64_t>(start), static_cast<int64_t>(len)};
      ++count;
      if (!f(m) || m.Start + m.Length >= size)
        return count;
      off = start + len;
      allowEmpty = len != 0;
    }
    lineStart = next;
    off = 0;
    allowEmpty = true;
  }
  return count;
}

std::string TTextSearcher::ExpandReplacement(const std::string &replacement) const {
  if (!(flags_ & sfRegExp))
    return replacement;
  std::string out;
  for (size_t i = 0; i < replacement.size(); ++i) {
    const char c = replacement[i];
    if (c == '\\' && i + 1 < replacement.size()) {
      const char d = replacement[i + 1];
      if (d >= '0' && d <= '9') {
        const size_t g = static_cast<size_t>(d - '0');
        if (g < groups_.size())
          out += groups_[g];
        ++i;
        continue;
      }
      if (d == '\\') {
        out += '\\';
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}
