// The BASIC scheme over generated texts: a name that is no label is one
// identifier wherever it stands, a name with its colon first on a line is a
// label on every kind of line, keywords are whole words, and a scan that
// restarts at any line start (as the editor's does after an edit) gives the
// colours of a scan from the start of the text.
#include "SchemeTestUtil.h"
#include "TextStore.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <set>

using namespace kxtest;

namespace {

constexpr int kIdentifier = 6;
constexpr int kLabelStyle = 8;

TSyntaxMemoParser &Basic() {
  static TSyntaxMemoParser p;
  if (p.Settings.LanguageName.empty())
    p.CompileFile(SchemePath("tarnic.scheme"));
  return p;
}

struct Tok {
  size_t Pos, Len;
  int Value;
};

// The tokens of text from position from, after a Reset with context.
std::vector<Tok> Scan(const std::string &text, int context, size_t from = 0) {
  TSyntaxMemoParser &p = Basic();
  TBufferEdStream src(text.data(), text.size());
  src.SetPosition(static_cast<int64_t>(from));
  p.Reset(context);
  std::vector<Tok> out;
  while (!src.AtEnd()) {
    const size_t pos = static_cast<size_t>(src.Position());
    int len = 0;
    const int v = p.GetToken(nullptr, src, len);
    out.push_back({pos, static_cast<size_t>(len), v});
  }
  return out;
}

// The token that starts at pos, or one of value -1 when a token spans it.
Tok TokenAt(const std::string &text, size_t pos) {
  for (const Tok &t : Scan(text, -1))
    if (t.Pos == pos)
      return t;
  return {pos, 0, -1};
}

int StyleOf(int value) {
  return Basic().Settings.StyleOf(static_cast<uint8_t>(value));
}

std::string Lower(std::string s) {
  for (char &c : s)
    c = static_cast<char>(TSyntaxKeywords::Lower(static_cast<unsigned char>(c)));
  return s;
}

// The BASIC keywords (not the assembler's) in lower case, with their values.
const std::map<std::string, int> &KeywordValues() {
  static const std::map<std::string, int> words = [] {
    std::map<std::string, int> w;
    for (const TSM_Word &k : Basic().Keywords.WordList())
      if (k.States.Has(0) && k.Word.find_first_of("\r\n@") == std::string::npos)
        w[Lower(k.Word)] = k.Token;
    return w;
  }();
  return words;
}

const std::vector<std::string> &Keywords() {
  static const std::vector<std::string> words = [] {
    std::vector<std::string> w;
    for (const auto &[word, value] : KeywordValues())
      w.push_back(word);
    return w;
  }();
  return words;
}

bool IsKeyword(const std::string &name) {
  return KeywordValues().count(Lower(name)) > 0;
}

template <size_t N> const std::string &Pick(std::mt19937 &rng, const std::string (&v)[N]) {
  return v[rng() % N];
}

std::string Pick(std::mt19937 &rng, const std::vector<std::string> &v) {
  return v[rng() % v.size()];
}

// Names that are no keywords: random ones, and keywords with something
// before or after them ("icon", "pend", "xor1", "endx").
std::string RandomName(std::mt19937 &rng) {
  static const std::string first = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz_";
  static const std::string rest = first + "0123456789";
  const std::vector<std::string> &words = Keywords();
  for (;;) {
    std::string name;
    switch (rng() % 3) {
    case 0:
      name = first[rng() % first.size()];
      for (size_t n = rng() % 10; n > 0; --n)
        name += rest[rng() % rest.size()];
      break;
    case 1:
      name.assign(1, first[rng() % first.size()]);
      name.append(Pick(rng, words));
      break;
    default:
      name = Pick(rng, words) + rest[rng() % rest.size()];
      break;
    }
    if (rng() % 2)
      for (char &c : name)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (!IsKeyword(name))
      return name;
  }
}

// Texts after which a new line begins: the start of the text, a plain line,
// an @ line, an assembler block, a comment, a blank line.
const std::string kLineStarts[] = {
    "",      "\r",      "x = 1\r", "@ nop\r", "@ nop ; c\r", "ASM\rnop\rENDASM\r",
    "' c\r", "REM x\r", "\r\r",    "Main:\r", "\"s\r",       "HIGH 1\r"};
const std::string kIndents[] = {"", " ", "\t", "    ", " \t ", "\t\t", std::string(20, ' ')};
const std::string kMidLine[] = {"x = ", "HIGH ", "GOTO ", "(", "a + ", "LCDOUT $FE, ", "x: "};
// What may follow a name that is no label.
const std::string kAfter[] = {"", " ", "\r", " = 1", ".0", "(1)", ",", " :", "+1", "\rx:"};

TEST(BasicScheme, AnyNameNotFollowedByAColonIsOneIdentifier) {
  std::mt19937 rng(20);
  for (int round = 0; round < 3000; ++round) {
    const std::string name = RandomName(rng);
    const std::string before = rng() % 3 ? Pick(rng, kLineStarts) + Pick(rng, kIndents)
                                         : Pick(rng, kLineStarts) + Pick(rng, kMidLine);
    const std::string text = before + name + Pick(rng, kAfter);
    const Tok t = TokenAt(text, before.size());
    ASSERT_EQ(t.Len, name.size()) << "\"" << text << "\"";
    ASSERT_EQ(t.Value, kIdentifier) << "\"" << text << "\"";
  }
  // The names of the report, on the first line, after an @ line, indented.
  for (const char *name : {"icon", "pend", "blend", "xor1", "ICON", "Pend"})
    for (const std::string before : {"", "@ nop\r", "  ", "\t", "x\r"}) {
      const std::string text = before + name + " VAR BYTE";
      const Tok t = TokenAt(text, before.size());
      EXPECT_EQ(t.Len, std::strlen(name)) << text;
      EXPECT_EQ(t.Value, kIdentifier) << text;
    }
}

TEST(BasicScheme, AnyNameWithItsColonFirstOnALineIsOneLabel) {
  std::mt19937 rng(21);
  const std::vector<std::string> &words = Keywords();
  for (int round = 0; round < 3000; ++round) {
    // Keywords too: first on a line, a name and its colon are a label.
    const std::string name = rng() % 4 ? RandomName(rng) : Pick(rng, words);
    const std::string before = Pick(rng, kLineStarts) + Pick(rng, kIndents);
    static const std::string after[] = {"", " GOTO x", "\r", "HIGH 1", " ' c"};
    const std::string text = before + name + ":" + Pick(rng, after);
    const Tok t = TokenAt(text, before.size());
    ASSERT_EQ(t.Len, name.size() + 1) << "\"" << text << "\"";
    ASSERT_EQ(StyleOf(t.Value), kLabelStyle) << "\"" << text << "\"";
  }
  // A name that starts with a digit is no label: its number is a number.
  for (const std::string before : {"", "x\r", "@ nop\r", "  "}) {
    const std::string text = before + "1abc: GOTO 1abc";
    EXPECT_EQ(TokenAt(text, before.size()).Value, 3) << text;
    EXPECT_EQ(TokenAt(text, before.size() + 1).Value, kIdentifier) << text;
  }
}

TEST(BasicScheme, KeywordsAreWholeWordsAtALineStartAndWithinALine) {
  std::mt19937 rng(22);
  for (const std::string &word : Keywords()) {
    for (int round = 0; round < 6; ++round) {
      const std::string before = round % 2 ? Pick(rng, kLineStarts) + Pick(rng, kIndents)
                                           : Pick(rng, kLineStarts) + Pick(rng, kMidLine);
      static const std::string after[] = {"", " ", "\r", " 1", "(1)", ",x", " :"};
      const std::string text = before + word + Pick(rng, after);
      const Tok t = TokenAt(text, before.size());
      ASSERT_EQ(t.Value, KeywordValues().at(word)) << "\"" << text << "\"";
      // REM takes the rest of its line.
      if (word != "rem") {
        ASSERT_EQ(t.Len, word.size()) << "\"" << text << "\"";
      }
    }
  }
}

// Texts made of BASIC lines of every kind.
std::string RandomProgram(std::mt19937 &rng) {
  static const std::string lines[] = {"Main:",
                                      "    loop:",
                                      "\tinner: HIGH 1",
                                      "icon VAR BYTE",
                                      "    pend = blend + 1",
                                      "xor1 = 2",
                                      "@ nop",
                                      "@ movlw 5 ; c",
                                      "ASM",
                                      "wait movlw H'FF'",
                                      "  nop",
                                      "ENDASM",
                                      "' a comment",
                                      "REM remark: no label",
                                      "    GOTO Main",
                                      "1abc: x",
                                      "END",
                                      "",
                                      "    ",
                                      "x = \"str",
                                      "end:",
                                      "IF x THEN",
                                      "LCDOUT $FE, 1, \"a:b\"",
                                      "    x: y",
                                      "%1010 + $FF"};
  std::string s;
  for (size_t n = 5 + rng() % 60; n > 0; --n) {
    s += Pick(rng, lines);
    static const std::string breaks[] = {"\r\n", "\n", "\r"};
    s += Pick(rng, breaks);
  }
  if (rng() % 2) // the last line without a line break
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n'))
      s.pop_back();
  return NormaliseText(s.data(), s.size());
}

// Every line start of text scanned again from the value of the character
// before it (what the editor keeps per line) gives the same styles as the
// scan from the start of the text, up to the end.
void ExpectRestartsAgree(const std::string &text, const std::string &what) {
  std::vector<int> full(text.size());
  for (const Tok &t : Scan(text, -1))
    for (size_t i = t.Pos; i < t.Pos + t.Len; ++i)
      full[i] = t.Value;
  for (size_t line = 1; line < text.size(); ++line) {
    if (text[line - 1] != '\r')
      continue;
    for (const Tok &t : Scan(text, full[line - 1], line))
      for (size_t i = t.Pos; i < t.Pos + t.Len; ++i)
        ASSERT_EQ(StyleOf(t.Value), StyleOf(full[i]))
            << what << ": restart at " << line << ", character " << i << " ('" << text.substr(i, 12)
            << "')";
  }
}

TEST(BasicScheme, ARestartAtAnyLineGivesTheColoursOfAScanFromTheStart) {
  for (const auto &f :
       std::filesystem::directory_iterator(std::string(KX_TESTDATA_DIR) + "/scheme"))
    if (f.path().extension() == ".bas") {
      const std::string raw = ReadFile(f.path().string());
      ExpectRestartsAgree(NormaliseText(raw.data(), raw.size()), f.path().filename().string());
    }
  std::mt19937 rng(23);
  for (int round = 0; round < 60; ++round)
    ExpectRestartsAgree(RandomProgram(rng), "random program " + std::to_string(round));
}

TEST(BasicScheme, RawLineBreaksColourLikeTheEditorsOwn) {
  // The editor holds every line break as one CR; a reader of the raw bytes
  // (CR LF, LF) sees the same colours on every other character.
  std::mt19937 rng(24);
  for (int round = 0; round < 40; ++round) {
    std::string lf = RandomProgram(rng);
    for (char &c : lf)
      if (c == '\r')
        c = '\n';
    std::string crlf;
    for (char c : lf)
      crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const std::string editor = NormaliseText(lf.data(), lf.size());
    std::vector<int> want;
    for (const Tok &t : Scan(editor, -1))
      for (size_t i = 0; i < t.Len; ++i)
        want.push_back(StyleOf(t.Value));
    for (const std::string &raw : {lf, crlf}) {
      std::vector<int> got;
      for (const Tok &t : Scan(raw, -1))
        for (size_t i = t.Pos; i < t.Pos + t.Len; ++i)
          if (raw[i] != '\n' || i == 0 || raw[i - 1] != '\r')
            got.push_back(StyleOf(t.Value));
      ASSERT_EQ(got, want) << "round " << round;
    }
  }
}

} // namespace
