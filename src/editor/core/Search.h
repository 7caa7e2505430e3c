// Text search over the editor's character stream: plain text or a regular
// expression (PCRE2), case, whole words, forwards or backwards. The text is
// searched one logical line at a time, so neither kind of match crosses a line
// break; "^" and "$" match at the line's ends.
#pragma once

#include "EdStream.h"
#include "KorvexError.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Search option bits shared by the find dialogs, Search Again, Show all and the editor.
constexpr uint32_t sfSilent = 0x08;
constexpr uint32_t sfMatchCase = 0x10;
constexpr uint32_t sfRegExp = 0x20;
constexpr uint32_t sfWholeWords = 0x40;
constexpr uint32_t sfBackwards = 0x80;

// An invalid regular expression. The message has three lines: the engine's
// error text, the pattern, and a "^" under the offending character.
KX_DECLARE_ERROR(ERegExpError, EKorvexError);

using TCharTest = std::function<bool(char)>;

// Characters of a line a plain-text search reads at a time.
constexpr size_t kSearchStretch = size_t(1) << 16;

// The word tests used when a control sets none.
bool DefaultCharStartsWord(char c);
bool DefaultCharIsInWord(char c);

struct TSearchMatch {
  int64_t Start = -1;
  int64_t Length = 0;
};

// Where the searcher reads the text from, a logical line at a time.
class TSearchText {
public:
  virtual ~TSearchText() = default;
  virtual int64_t Size() = 0;
  // The logical line that starts at lineStart, without its break; the view
  // stays valid until the next call. Returns the position after the break, or
  // -1 when the line ends the text.
  virtual int64_t Line(int64_t lineStart, std::string_view &line) = 0;
  // Start of the logical line holding pos.
  virtual int64_t LineStart(int64_t pos) = 0;
  // At most max characters of the logical line that starts at lineStart,
  // from pos inside it on; atEnd says whether they reach the line's end, and
  // then the result is what Line returns. A plain-text search reads a long
  // line this way, a stretch at a time, instead of copying all of it for
  // every match. The default cuts the stretch out of Line.
  virtual int64_t Stretch(int64_t lineStart, int64_t pos, size_t max, std::string_view &text,
                          bool &atEnd);
};

// Lines of any character stream (CR, LF or CR LF end a line).
class TEdStreamSearchText : public TSearchText {
public:
  explicit TEdStreamSearchText(TEdStream &s) : s_(s) {}
  int64_t Size() override { return s_.Size(); }
  int64_t Line(int64_t lineStart, std::string_view &line) override;
  int64_t LineStart(int64_t pos) override;

private:
  TEdStream &s_;
  std::string buf_;
};

class TTextSearcher {
public:
  // Compiles the pattern; raises ERegExpError for a bad regular expression.
  TTextSearcher(const std::string &pattern, uint32_t flags, TCharTest isInWord = {});
  ~TTextSearcher();
  TTextSearcher(const TTextSearcher &) = delete;
  TTextSearcher &operator=(const TTextSearcher &) = delete;

  // Forwards: the first match starting at or after from; an empty match is
  // taken at from itself only with emptyAtFrom, so that a caller repeating a
  // search from an empty match always progresses. Backwards (sfBackwards): the
  // last of the matches a forward scan of a line meets that ends at or before
  // from and starts before it.
  bool Find(TSearchText &text, int64_t from, TSearchMatch &m, bool emptyAtFrom = false);
  bool Find(TEdStream &text, int64_t from, TSearchMatch &m, bool emptyAtFrom = false) {
    TEdStreamSearchText lines(text);
    return Find(lines, from, m, emptyAtFrom);
  }

  // Every match that repeating the forward search from the end of each match
  // would find, from `from` on: after an empty match the next one may not be
  // empty at the same place, and the run ends when a match reaches the end of
  // the text (a search never starts there). f returns false to stop early.
  // Returns the number of matches passed to f. The text is read once, a line
  // at a time; ExpandReplacement does not apply to these matches.
  int64_t FindEach(TSearchText &text, int64_t from, bool emptyAtFrom,
                   const std::function<bool(const TSearchMatch &)> &f);

  // The replacement text for the last match: for a regular expression \0..\9
  // become the groups (empty when unset) and \\ a backslash; otherwise as given.
  std::string ExpandReplacement(const std::string &replacement) const;

  bool IsRegExp() const { return (flags_ & sfRegExp) != 0; }

private:
  bool FindForward(TSearchText &text, int64_t from, TSearchMatch &m, bool emptyAtFrom);
  bool FindBackward(TSearchText &text, int64_t from, TSearchMatch &m);
  // Forwards for plain text, one stretch of a line at a time.
  bool FindPlainForward(TSearchText &text, int64_t from, TSearchMatch &m);
  void SetLine(std::string_view line);
  // Matches in line_ starting at or after off; false when none.
  bool MatchInLine(size_t off, bool notEmptyAtStart, size_t &start, size_t &len);
  bool WordBoundsOk(size_t start, size_t len) const;
  void Remember(size_t start, size_t len);

  std::string pattern_;
  std::string folded_; // pattern in lower case for caseless plain search
  uint32_t flags_;
  TCharTest isInWord_;
  void *code_ = nullptr;  // pcre2_code_8
  void *match_ = nullptr; // pcre2_match_data_8
  std::string_view line_; // the logical line (or the stretch of it) being searched
  std::string lineFolded_;
  // Groups of the last regular-expression match, copied out of its line.
  std::vector<std::string> groups_;
  std::vector<bool> groupSet_;
};
