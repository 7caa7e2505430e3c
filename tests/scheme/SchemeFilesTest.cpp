// The shipped schemes: they compile, their token dumps of the sample files
// match the reviewed references, and any text scans the same through a
// chunked source as through a flat one.
#include "SchemeTestUtil.h"
#include "TextStore.h"
#include "TokenDump.h"

#include <gtest/gtest.h>

#include <random>

using namespace kxtest;

namespace {

struct Sample {
  const char *Scheme;
  const char *File;
};

const Sample kSamples[] = {
    {"tarnic.scheme", "blink.bas"},
    {"tarnic.scheme", "inline_asm.bas"},
    {"tarnic.scheme", "crlf.bas"},
    {"tarnic.scheme", "edge.bas"},
    {"picasm.scheme", "listing.asm"},
    // Labels: on the first line, indented, after an @ line; a last line
    // without a line break ("END") is a statement, not a label.
    {"tarnic.scheme", "labels.bas"},
    {"tarnic.scheme", "label_first_line.bas"},
    // Names that are no labels are one identifier (also when they end in a
    // keyword: "icon", "pend", "blend", "xor1") on the first line, after an
    // @ line and indented; a name that starts with a digit is no label; a
    // label at the very end of the text; the same text with LF, CR LF and CR.
    {"tarnic.scheme", "names.bas"},
    {"tarnic.scheme", "names_crlf.bas"},
    {"tarnic.scheme", "names_cr.bas"},
    {"tarnic.scheme", "first_line_icon.bas"},
    {"tarnic.scheme", "first_line_xor1.bas"},
    {"tarnic.scheme", "first_line_digit.bas"},
    {"tarnic.scheme", "label_at_end.bas"},
    {"tarnic.scheme", "label_only.bas"},
};

// A line-by-line diff that is readable in a test log.
std::string Diff(const std::string &want, const std::string &got) {
  auto lines = [](const std::string &s) {
    std::vector<std::string> v;
    size_t a = 0;
    while (a < s.size()) {
      size_t b = s.find('\n', a);
      if (b == std::string::npos)
        b = s.size();
      v.push_back(s.substr(a, b - a));
      a = b + 1;
    }
    return v;
  };
  const auto w = lines(want), g = lines(got);
  std::string out;
  int shown = 0;
  for (size_t i = 0; i < std::max(w.size(), g.size()) && shown < 20; ++i) {
    const std::string a = i < w.size() ? w[i] : "<none>", b = i < g.size() ? g[i] : "<none>";
    if (a != b) {
      out += "line " + std::to_string(i + 1) + ":\n  - " + a + "\n  + " + b + "\n";
      ++shown;
    }
  }
  return out;
}

TEST(ShippedSchemes, CompileWithTheirNamesAndStyles) {
  TSyntaxMemoParser basic;
  basic.CompileFile(SchemePath("tarnic.scheme"));
  EXPECT_EQ(basic.Settings.LanguageName, "TARNIC");
  EXPECT_FALSE(basic.Keywords.IsCaseSensitive());
  EXPECT_EQ(basic.Settings.EditableStyles.size(), 17u);
  for (const TSM_EditableStyle &e : basic.Settings.EditableStyles)
    EXPECT_EQ(basic.Settings.Styles[e.Style].InUse, 1) << e.Name;
  EXPECT_FALSE(basic.Settings.ExampleText.empty());
  EXPECT_FALSE(basic.Settings.Templates.empty());
  TSyntaxMemoParser asm_;
  asm_.CompileFile(SchemePath("picasm.scheme"));
  EXPECT_EQ(asm_.Settings.LanguageName, "PICASM");
  // The example texts are real programs of their language: nothing in them
  // is left to the default token except what is meant to be plain.
  for (TSyntaxMemoParser *p : {&basic, &asm_})
    for (const auto &[v, text] : Tokens(*p, p->Settings.ExampleText))
      EXPECT_TRUE(v != 0 || text == "\r" || text == "\n")
          << p->Settings.LanguageName << ": " << text;
}

TEST(ShippedSchemes, TokenDumpsMatchTheReviewedReferences) {
  for (const Sample &s : kSamples) {
    TSyntaxMemoParser p;
    p.CompileFile(SchemePath(s.Scheme));
    const std::string input = std::string(KX_TESTDATA_DIR) + "/scheme/" + s.File;
    const std::string ref = input + ".tokens";
    const std::string raw = ReadFile(input);
    const std::string got = DumpTokens(p, NormaliseText(raw.data(), raw.size()));
    const std::string want = ReadFile(ref);
    if (got != want) {
      std::ofstream(ref + ".new", std::ios::binary) << got;
      ADD_FAILURE() << s.File << " differs from " << ref << " (new dump written to " << ref
                    << ".new):\n"
                    << Diff(want, got);
    }
  }
}

TEST(ShippedSchemes, LfCrLfAndCrFilesGiveOneDump) {
  TSyntaxMemoParser p;
  p.CompileFile(SchemePath("tarnic.scheme"));
  std::string dumps[3];
  int i = 0;
  for (const char *f : {"names.bas", "names_crlf.bas", "names_cr.bas"}) {
    const std::string raw = ReadFile(std::string(KX_TESTDATA_DIR) + "/scheme/" + f);
    dumps[i++] = DumpTokens(p, NormaliseText(raw.data(), raw.size()));
  }
  EXPECT_NE(dumps[0].find("14 8 blend:"), std::string::npos);
  EXPECT_EQ(dumps[1], dumps[0]);
  EXPECT_EQ(dumps[2], dumps[0]);
}

TEST(ShippedSchemes, BasicCaseInsensitiveAndAssemblerRegions) {
  TSyntaxMemoParser p;
  p.CompileFile(SchemePath("tarnic.scheme"));
  EXPECT_EQ(Tokens(p, "high")[0].first, Tokens(p, "HIGH")[0].first);
  // ENDASM returns to BASIC; after it "goto" is a BASIC statement again.
  const TokenList t = Tokens(p, "ASM\r  goto x\rENDASM\rgoto x");
  ASSERT_GE(t.size(), 10u);
  EXPECT_EQ(t[3].first, 31); // assembler instruction
  EXPECT_EQ(t.back().second, "x");
  EXPECT_EQ(t[t.size() - 3].first, 7);
  EXPECT_EQ(p.CurrentStates(), TStateSet::Of(0));
  // A restart inside a block from the style value of a line break there.
  EXPECT_EQ(Tokens(p, "loop nop", 38)[0], (std::pair<int, std::string>{36, "loop"}));
}

// A source that hands out the text in small chunks, as the editor's line
// store does. Each chunk is a copy followed by name characters, so that a
// scanner reading past a chunk's end (where the store's next line lies
// elsewhere) sees bytes that change its tokens.
class ChunkedStream : public TEdStream {
public:
  ChunkedStream(const std::string &text, size_t chunk) : text_(text), chunk_(chunk) {
    SetSize(static_cast<int64_t>(text.size()));
    Fetch(0);
  }

protected:
  void Fetch(int64_t pos) override {
    const int64_t start = pos - pos % static_cast<int64_t>(chunk_);
    const size_t len = std::min(chunk_, text_.size() - static_cast<size_t>(start));
    copy_.assign(text_, static_cast<size_t>(start), len);
    copy_.append(32, '_');
    SetChunk(reinterpret_cast<const unsigned char *>(copy_.data()), len, start, pos);
  }

private:
  const std::string &text_;
  size_t chunk_;
  std::string copy_;
};

std::string RandomText(std::mt19937 &rng, size_t n) {
  static const std::string pieces[] = {
      "HIGH ",   "PORTB", ".",   "0",   "\r",     "\n", " ",     "'",    ";",
      "\"",      "$",     "%",   "ASM", "ENDASM", "@",  "movlw", "H'",   "FF",
      "x",       ":",     "REM", "\t",  "Main",   "(",  "+",     "\xff", std::string(1, '\0'),
      "#include"};
  std::string s;
  while (s.size() < n)
    s += pieces[rng() % (sizeof pieces / sizeof pieces[0])];
  return s;
}

TEST(ShippedSchemes, AnyTextScansCompletelyAndTheSameThroughChunks) {
  std::mt19937 rng(1234);
  for (const char *scheme : {"tarnic.scheme", "picasm.scheme"}) {
    TSyntaxMemoParser p;
    p.CompileFile(SchemePath(scheme));
    for (int round = 0; round < 40; ++round) {
      const std::string text = RandomText(rng, 2000);
      const TokenList flat = Tokens(p, text);
      size_t covered = 0;
      for (const auto &[v, t] : flat) {
        ASSERT_FALSE(t.empty());
        covered += t.size();
      }
      EXPECT_EQ(covered, text.size());
      for (size_t chunk : {1u, 3u, 5u, 64u}) {
        ChunkedStream src(text, chunk);
        p.Reset(0);
        size_t i = 0;
        while (!src.AtEnd()) {
          int len = 0;
          const int v = p.GetToken(nullptr, src, len);
          ASSERT_LT(i, flat.size());
          ASSERT_EQ(v, flat[i].first) << scheme << " chunk " << chunk << " token " << i;
          ASSERT_EQ(static_cast<size_t>(len), flat[i].second.size());
          ++i;
        }
        EXPECT_EQ(i, flat.size());
      }
    }
  }
}

} // namespace

namespace {

TEST(ParserComponent, LoadedCompilesTheScriptAndEditorsReapply) {
  TSyntaxMemoParser p;
  int applied = 0;
  p.OnApplyToEditor = [&](TSyntaxMemoParser &, void *) { ++applied; };
  int editor = 0;
  TBufferEdStream src("x", 1);
  int len = 0;
  p.GetToken(&editor, src, len);
  p.Script = SchemePath("picasm.scheme");
  p.Loaded();
  EXPECT_EQ(p.Settings.LanguageName, "");
  EXPECT_EQ(applied, 1);
  p.AutoScriptUpdate = true;
  p.Loaded();
  EXPECT_EQ(p.Settings.LanguageName, "PICASM");
  EXPECT_EQ(applied, 2);
  EXPECT_FALSE(p.ModifyProperties()); // no dialog
  p.OnModifyProperties = [](TSyntaxMemoParser &q) {
    q.Settings.KwTables.push_back({TStateSet::Of(0), "", 0, {{"mine", 44}}});
    return true;
  };
  EXPECT_TRUE(p.ModifyProperties());
  EXPECT_EQ(applied, 3);
  EXPECT_EQ(Tokens(p, "mine")[0].first, 44);
}

TEST(ParserComponent, ErrorsInIncludedFilesNameTheFile) {
  TSyntaxMemoParser p;
  try {
    p.CompileText("%%words\n#define ASMW (0)\n#include \"picasm_words.inc\"\n'movlw' '' 1",
                  SchemePath(""));
    FAIL() << "duplicate word accepted";
  } catch (const ESyntaxMemoParserError &e) {
    EXPECT_EQ(std::string(e.what()),
              "** ERROR near line 4, Column 1: Duplicate entry in %%word table");
    EXPECT_EQ(e.Source, "script");
  }
  try {
    p.CompileText("%%words 'movlw' '' 1 (0)\n#define ASMW (0)\n#include \"picasm_words.inc\"\n",
                  SchemePath(""));
    FAIL() << "duplicate word accepted";
  } catch (const ESyntaxMemoParserError &e) {
    EXPECT_EQ(e.Source, "-file-: picasm_words.inc");
  }
}

} // namespace
