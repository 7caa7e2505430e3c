// TSYM_Compiler: the scheme script lexer and preprocessor. It reads the script
// text, runs #define / #ifdef / #ifndef / #else / #endif / #include, expands
// macros and hands out tokens to the section parsers.
#pragma once

#include "SchemeErrors.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

// Token codes of the scheme lexer.
enum TSymToken : int {
  tkLanguage = 20,
  tkName = 21,
  tkCase = 22,
  tkOptions = 23,
  tkWords = 24,
  tkEquals = 25,
  tkHandlers = 26,
  tkTokens = 27,
  tkMap = 28,
  tkEffects = 29,
  tkExampleText = 33,
  tkEditableStyles = 34,
  tkLParen = 35,
  tkRParen = 36,
  tkComma = 37,
  tkPlus = 38,
  tkMinus = 39,
  tkLBracket = 40,
  tkRBracket = 41,
  tkQuestion = 42,
  tkWordWrapColumn = 43,
  tkGutter = 44,
  tkAnchor = 45,
  tkStates = 46,
  tkIndentStep = 47,
  tkWrapOverride = 48,
  tkContainers = 49,
  tkKeys = 50,
  tkShift = 51,
  tkCtrl = 52,
  tkAlt = 53,
  tkStartState = 54,
  tkSelTextColor = 55,
  tkSelTextBack = 56,
  tkRightMargin = 57,
  tkFontName = 58,
  tkFontSize = 59,
  tkTabColumns = 60,
  tkTabDefault = 61,
  tkContextStates = 62,
  tkInState = 63,
  tkBoundStates = 64,
  tkGutterColor = 65,
  tkMatch = 66,
  tkBar = 67,
  tkAutoReplace = 68,
  tkTemplates = 69,
  tkMarginColor = 70,
  tkMarginWidth = 71,
  tkStar = 72,
  tkActionKeys = 73,
  tkHotKey = 74,
  tkKwTables = 75,
  tkForState = 76,
  tkEndsWith = 77,
  tkIs = 78,
  tkPush = 79,
  tkPop = 80,
  tkOr = 81,
  tkFontCharset = 82,
  tkIdentifier = 90,
  tkNumber = 91,
  tkString = 92,
  tkEOF = 93,
  tkUnknown = 94,
  tkGutterFontName = 95,
  tkGutterFontSize = 96,
  tkGutterFontColor = 97,
  tkGutterFontStyle = 98,
};

// The compiler's message texts, by string-table id.
const char *SchemeMessage(int id);

// A store of words with values: whole-word look-up (macros) and the longest
// stored word at a text position (keywords).
class TWordStore {
public:
  void Set(const std::string &word, std::string value) { Map_[word] = std::move(value); }
  const std::string *Find(const std::string &word) const {
    auto it = Map_.find(word);
    return it == Map_.end() ? nullptr : &it->second;
  }
  bool Remove(const std::string &word) { return Map_.erase(word) > 0; }

private:
  std::unordered_map<std::string, std::string> Map_;
};

class TSYM_Compiler {
public:
  TSYM_Compiler(std::string text, std::string folder);

  int NextToken();

  // Values of the token just read.
  int Token = tkEOF;
  int64_t LastNumber = 0;
  std::string LastIdentifier;
  std::string LastString;
  unsigned char LastBadChar = 0;
  // 1-based position where the token just read begins (in the script or the
  // included file it came from).
  int TokenLine = 1, TokenColumn = 1;
  // Position the lexer has reached.
  int Line() const;
  int Column() const;

  // Raises the compile error "** ERROR near line %d, Column %d: text" at the
  // token just read.
  [[noreturn]] void Error(const std::string &text) const;
  [[noreturn]] void Error(int id) const { Error(std::string(SchemeMessage(id))); }
  struct TPos {
    int Line, Column;
  };
  TPos Pos() const { return {TokenLine, TokenColumn}; }
  // The same at an earlier token (for errors found only after reading on).
  [[noreturn]] void ErrorAt(TPos at, const std::string &text) const;
  [[noreturn]] void ErrorAt(TPos at, int id) const { ErrorAt(at, std::string(SchemeMessage(id))); }

  // Name of the entry being read, kept for the error report ("%%Tokens - 5").
  std::string Entry;

  // Limits that keep hostile scripts finite.
  static constexpr int kMaxIncludeDepth = 16;
  static constexpr int kMaxMacroDepth = 64;
  static constexpr int64_t kMaxExpandedBytes = 16 << 20;
  static constexpr int64_t kMaxExpansions = 200000;
  static constexpr int64_t kMaxIncludedBytes = 64 << 20;

private:
  struct TSource {
    std::string Name; // "-file-: name" for includes, the macro name for expansions
    std::string Text;
    size_t Pos = 0;
    int Line = 1, Col = 1;
    bool Macro = false;
    int InvLine = 1, InvCol = 1; // where a macro was named
  };
  struct TCond {
    bool Skipping;       // skipping now
    bool ParentSkipping; // the enclosing text is skipped anyway
    bool SeenElse = false;
  };

  TSource &Top() { return Input_.back(); }
  const TSource *FileSource() const;
  int Peek(size_t ahead = 0) const;
  void Step(); // one character, keeping line and column
  void SkipBlanksAndComments();
  void Directive(const std::string &name);
  std::string RestOfLine();
  std::string DirectiveName();
  void ReadString();
  void ReadNumber();
  int MatchKeyword();
  bool Skipping() const { return !Conds_.empty() && Conds_.back().Skipping; }
  void PushSource(TSource s);
  void MarkToken();

  std::vector<TSource> Input_;
  std::vector<TCond> Conds_;
  TWordStore Macros_;
  std::string Folder_;
  int64_t Expanded_ = 0;
  int64_t Expansions_ = 0;
  int64_t Included_ = 0;
  unsigned Mode_ = 0; // bit 0: reading a directive; bit 2: skipping
};
