// Saving and loading: round trips per format and line style, rich text and
// HTML read back by small parsers, failing streams and files.
#include "CustomSyntaxMemo.h"
#include "RichExport.h"
#include "Streams.h"

#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// Words are token 1 (bold, red), digit runs token 2 (italic on blue), anything
// else one character of token 0.
class WordHighlighter : public THighlighter {
public:
  void Reset(int) override {}
  int GetToken(TEdStream &s, int &length) override {
    length = 0;
    const unsigned char c = s.Current();
    auto run = [&](auto pred) {
      while (!s.AtEnd() && pred(s.Current())) {
        s.Advance();
        ++length;
      }
    };
    if (std::isalpha(c)) {
      run([](unsigned char x) { return std::isalpha(x) != 0; });
      return 1;
    }
    if (std::isdigit(c)) {
      run([](unsigned char x) { return std::isdigit(x) != 0; });
      return 2;
    }
    s.Advance();
    length = 1;
    return 0;
  }
  TTokenStyle Style(int v) const override {
    TTokenStyle st;
    if (v == 1) {
      st.FontStyle = fsBold;
      st.Foreground = 0x0000FF;
      st.DefaultForeground = false;
    } else if (v == 2) {
      st.FontStyle = fsItalic;
      st.Background = 0xFF0000;
      st.DefaultBackground = false;
    }
    return st;
  }
};

// Plain text and a bold flag per character, read back from our RTF.
struct Styled {
  std::string text;
  std::string bold; // 'B' or '-' per character
  bool sawRed = false, sawItalic = false;
};

Styled ParseRtf(const std::string &rtf) {
  Styled out;
  struct St {
    bool bold = false, skip = false;
  };
  std::vector<St> stack{St{}};
  size_t i = 0;
  auto put = [&](char c) {
    if (stack.back().skip)
      return;
    out.text += c;
    out.bold += stack.back().bold ? 'B' : '-';
  };
  while (i < rtf.size()) {
    const char c = rtf[i];
    if (c == '{') {
      stack.push_back(stack.back());
      ++i;
    } else if (c == '}') {
      if (stack.size() == 1) {
        ADD_FAILURE() << "unbalanced group";
        return out;
      }
      stack.pop_back();
      ++i;
    } else if (c == '\\') {
      ++i;
      const char n = rtf[i];
      if (n == '\\' || n == '{' || n == '}') {
        put(n);
        ++i;
      } else if (n == '\'') {
        put(static_cast<char>(std::stoi(rtf.substr(i + 1, 2), nullptr, 16)));
        i += 3;
      } else {
        std::string word;
        while (i < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[i])))
          word += rtf[i++];
        std::string num;
        while (i < rtf.size() &&
               (std::isdigit(static_cast<unsigned char>(rtf[i])) || rtf[i] == '-'))
          num += rtf[i++];
        if (i < rtf.size() && rtf[i] == ' ')
          ++i;
        if (word == "fonttbl" || word == "colortbl")
          stack.back().skip = true;
        else if (word == "b")
          stack.back().bold = num != "0";
        else if (word == "i")
          out.sawItalic = true;
        else if (word == "par")
          put('\r');
        else if (word == "tab")
          put('\t');
        else if (word == "red" && num == "255")
          out.sawRed = true;
      }
    } else if (c == '\r' || c == '\n') {
      ++i; // line ends in RTF source carry nothing
    } else {
      put(c);
      ++i;
    }
  }
  EXPECT_EQ(stack.size(), 1u) << "unclosed groups";
  return out;
}

Styled ParseHtml(const std::string &html) {
  Styled out;
  const size_t pre = html.find("<pre");
  const size_t end = html.find("</pre>");
  EXPECT_NE(pre, std::string::npos);
  EXPECT_NE(end, std::string::npos);
  EXPECT_NE(html.find("<!DOCTYPE html>"), std::string::npos);
  EXPECT_NE(html.find("</html>"), std::string::npos);
  std::vector<bool> bold{false};
  size_t i = html.find('>', pre) + 1;
  while (i < end) {
    if (html[i] == '<') {
      const size_t close = html.find('>', i);
      const std::string tag = html.substr(i, close - i + 1);
      if (tag.rfind("<span", 0) == 0) {
        bold.push_back(tag.find("font-weight: bold") != std::string::npos);
        if (tag.find("color: #ff0000") != std::string::npos)
          out.sawRed = true;
        if (tag.find("font-style: italic") != std::string::npos)
          out.sawItalic = true;
      } else if (tag == "</span>") {
        bold.pop_back();
      } else {
        ADD_FAILURE() << "unexpected tag " << tag;
      }
      i = close + 1;
      continue;
    }
    char c = html[i];
    if (c == '&') {
      const size_t semi = html.find(';', i);
      const std::string ent = html.substr(i + 1, semi - i - 1);
      if (ent == "amp")
        c = '&';
      else if (ent == "lt")
        c = '<';
      else if (ent == "gt")
        c = '>';
      else if (ent == "quot")
        c = '"';
      else if (ent[0] == '#') {
        const unsigned u = static_cast<unsigned>(std::stoul(ent.substr(1)));
        c = static_cast<char>(u == 0x20AC ? 0x80 : u); // only these come up below
      }
      i = semi + 1;
    } else if (c == '\r' && html[i + 1] == '\n') {
      i += 2;
    } else {
      ++i;
    }
    out.text += c;
    out.bold += bold.back() ? 'B' : '-';
  }
  return out;
}

std::string Save(TCustomSyntaxMemo &m, TSaveFormat f) {
  m.SaveFormat = f;
  TMemoryStream s;
  m.SaveToStream(&s);
  return s.Bytes();
}

void Load(TCustomSyntaxMemo &m, const std::string &bytes) {
  TMemoryStream s(bytes);
  m.LoadFromStream(s);
}

// Accepts only `limit` bytes per write call, a number of times.
class ShortStream : public TMemoryStream {
public:
  int shortWrites;
  explicit ShortStream(int n) : shortWrites(n) {}
  int64_t Write(const void *b, int64_t n) override {
    if (shortWrites > 0 && n > 2) {
      --shortWrites;
      return TMemoryStream::Write(b, 2);
    }
    return TMemoryStream::Write(b, n);
  }
};

std::string TempDir() { return kxtest::FreshDir("saveload"); }

} // namespace

TEST(SaveLoadRoundTrip, EveryFormatAndLineStyle) {
  std::mt19937 rng(11);
  const std::string alphabet = "abcXYZ 019\t\\{}<>&\";\xe9\xff\x80";
  for (int round = 0; round < 200; ++round) {
    std::string text;
    const int n = static_cast<int>(rng() % 300);
    for (int i = 0; i < n; ++i)
      text += rng() % 9 == 0 ? '\r' : alphabet[rng() % alphabet.size()];
    for (TSelLineStyle ls : {lsCRLF, lsLF}) {
      for (TSaveFormat f : {sfTEXT, sfUNIX}) {
        TCustomSyntaxMemo m;
        m.SetSelLineStyle(ls);
        m.ReplaceSel(text);
        const std::string saved = Save(m, f);
        TCustomSyntaxMemo back;
        Load(back, saved);
        ASSERT_EQ(back.Text(), text) << "format " << f << " style " << ls;
      }
    }
    TCustomSyntaxMemo m;
    WordHighlighter h;
    m.Highlighter = &h;
    m.ReplaceSel(text);
    const Styled rtf = ParseRtf(Save(m, sfRTF));
    ASSERT_EQ(rtf.text, text);
    const Styled html = ParseHtml(Save(m, sfHTML));
    ASSERT_EQ(html.text, text);
    // Letters carry the word style in both.
    for (size_t i = 0; i < text.size(); ++i) {
      const bool letter = std::isalpha(static_cast<unsigned char>(text[i])) != 0;
      ASSERT_EQ(rtf.bold[i] == 'B', letter) << i;
      ASSERT_EQ(html.bold[i] == 'B', letter) << i;
    }
  }
}

TEST(SaveLoadRichText, StylesAppearAndPlainDefaultsWithoutScheme) {
  TCustomSyntaxMemo m;
  m.ReplaceSel("PORTB = 42\r\nEND");
  std::string rtf = Save(m, sfRTF);
  EXPECT_EQ(rtf.rfind("{\\rtf1", 0), 0u);
  EXPECT_NE(rtf.find("Courier New"), std::string::npos);
  Styled plain = ParseRtf(rtf);
  EXPECT_EQ(plain.text, "PORTB = 42\rEND");
  EXPECT_EQ(plain.bold.find('B'), std::string::npos);

  WordHighlighter h;
  m.Highlighter = &h;
  Styled styled = ParseRtf(Save(m, sfRTF));
  EXPECT_TRUE(styled.sawRed);
  EXPECT_TRUE(styled.sawItalic);
  Styled html = ParseHtml(Save(m, sfHTML));
  EXPECT_TRUE(html.sawRed);
  EXPECT_TRUE(html.sawItalic);
  EXPECT_EQ(html.text, "PORTB = 42\rEND");
  // With highlighting switched off the save is plain again.
  m.SetOptionsMask(m.OptionsMask() & ~smoSyntaxHighlight);
  EXPECT_EQ(ParseRtf(Save(m, sfRTF)).bold.find('B'), std::string::npos);
}

TEST(SaveLoadRichText, SelectionOfAStyledText) {
  TCustomSyntaxMemo m;
  WordHighlighter h;
  m.Highlighter = &h;
  m.ReplaceSel("alpha 123 beta");
  m.SetSelection(2, 12);
  TMemoryStream s;
  m.WriteSelection(s, sfRTF);
  const Styled st = ParseRtf(s.Bytes());
  EXPECT_EQ(st.text, "pha 123 be");
  EXPECT_EQ(st.bold, "BBB-----BB");
}

TEST(SaveLoadText, LineStylesOnSave) {
  TCustomSyntaxMemo m;
  Load(m, "a\rb\nc\r\n");
  EXPECT_EQ(Save(m, sfTEXT), "a\r\nb\r\nc\r\n");
  EXPECT_EQ(Save(m, sfUNIX), "a\nb\nc\n");
  m.SetSelLineStyle(lsLF);
  EXPECT_EQ(Save(m, sfTEXT), "a\rb\rc\r");
}

TEST(SaveLoadFailures, NullShortAndRepeatedWrites) {
  TCustomSyntaxMemo m;
  m.ReplaceSel("some text to save\r\nline two");
  try {
    m.SaveToStream(nullptr);
    FAIL();
  } catch (const EFileSaveError &e) {
    EXPECT_STREQ(e.what(), "Bad TStream instance");
  }
  // A stream that keeps writing short: three repeats, then the error.
  ShortStream bad(1000);
  m.SaveFormat = sfTEXT;
  try {
    m.SaveToStream(&bad);
    FAIL();
  } catch (const EFileSaveError &e) {
    EXPECT_STREQ(e.what(), "Could not save text to stream");
  }
  EXPECT_EQ(bad.shortWrites, 1000 - 4);
  // One short write: the repeat starts over, the output is whole and single.
  ShortStream once(1);
  m.SaveToStream(&once);
  EXPECT_EQ(once.Bytes(), "some text to save\r\nline two");
  EXPECT_EQ(m.Text(), "some text to save\rline two");
}

TEST(SaveLoadFailures, SaveClearsUndoAndKeepsSelection) {
  TCustomSyntaxMemo m;
  m.ReplaceSel("abc");
  m.SetSelection(1, 2);
  TMemoryStream s;
  m.SaveToStream(&s);
  EXPECT_FALSE(m.CanUndo());
  EXPECT_FALSE(m.Modified());
  EXPECT_EQ(m.Anchor(), 1);
  EXPECT_EQ(m.Caret(), 2);
  EXPECT_FALSE(m.Updating());
}

TEST(SaveLoadFiles, AtomicSaveLoadTitleAndErrors) {
  const std::string dir = TempDir();
  const std::string name = dir + "/prog.bas";
  {
    std::ofstream f(name);
    f << "old";
  }
  ::chmod(name.c_str(), 0640);
  TCustomSyntaxMemo m;
  m.SetOptionsMask(m.OptionsMask() | smoTitleAsFilename);
  m.ReplaceSel("new\r\ntext");
  m.SaveToFile(name);
  EXPECT_EQ(ReadWholeFile(name), "new\r\ntext");
  struct stat st {};
  ::stat(name.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(m.Title, name);
  EXPECT_FALSE(m.CanUndo());
  // No temporary files are left behind.
  int files = 0;
  for (auto &e : fs::directory_iterator(dir))
    files += e.path().filename().string().rfind(".prog.bas", 0) == 0;
  EXPECT_EQ(files, 0);

  TCustomSyntaxMemo r;
  r.LoadFromFile(name);
  EXPECT_EQ(r.Text(), "new\rtext");
  EXPECT_FALSE(r.CanUndo());
  EXPECT_FALSE(r.Modified());
  EXPECT_EQ(r.Caret(), 0);

  // A folder is not a readable file; a save into a missing folder fails cleanly.
  EXPECT_THROW(r.LoadFromFile(dir), EFOpenError);
  EXPECT_EQ(r.Text(), "new\rtext");
  EXPECT_THROW(r.SaveToFile(dir + "/missing/x.bas"), EStreamError);
  EXPECT_FALSE(r.Loading());
}

TEST(SaveLoadLoad, ResetsSelectionMarksAndNotifies) {
  TCustomSyntaxMemo m;
  m.ReplaceSel("line1\r\nline2\r\n");
  m.Store()->Breakpoints.Add(3, 0);
  m.Store()->Bookmarks.Add("b", 5);
  m.SetTopLine(1);
  std::vector<std::pair<int64_t, int64_t>> calls;
  m.OnTextChange = [&](TCustomSyntaxMemo *, int64_t s, int64_t n) { calls.emplace_back(s, n); };
  int changes = 0;
  m.OnChange = [&](TCustomSyntaxMemo *) { ++changes; };
  Load(m, "x\ny");
  EXPECT_EQ(m.Text(), "x\ry");
  EXPECT_EQ(m.Caret(), 0);
  EXPECT_EQ(m.Anchor(), 0);
  EXPECT_EQ(m.TopLine(), 0);
  EXPECT_TRUE(m.Store()->Breakpoints.Entries().empty());
  EXPECT_TRUE(m.Store()->Bookmarks.Items().empty());
  EXPECT_EQ(calls, (std::vector<std::pair<int64_t, int64_t>>{{0, 0}, {0, 3}}));
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(m.Store()->CheckInvariants(), "");
}

TEST(SaveLoadLoad, AnyBytesLoadAndSaveIdempotently) {
  std::mt19937 rng(5);
  for (int round = 0; round < 300; ++round) {
    std::string bytes;
    const int n = static_cast<int>(rng() % (round % 10 == 0 ? 20000 : 200));
    for (int i = 0; i < n; ++i)
      bytes += static_cast<char>(rng() % 4 == 0 ? "\r\n\0\x1b"[rng() % 4] : rng() % 256);
    TCustomSyntaxMemo m;
    Load(m, bytes);
    ASSERT_EQ(m.Store()->CheckInvariants(), "");
    ASSERT_EQ(m.Text(), NormaliseText(bytes.data(), bytes.size()));
    const std::string once = Save(m, sfTEXT);
    Load(m, once);
    ASSERT_EQ(Save(m, sfTEXT), once);
  }
}

TEST(SaveLoadText, LoadTellsWhetherEveryLineBreakWasALoneLf) {
  struct Case {
    std::string bytes;
    bool unix;
  };
  const std::string block(8191, 'x'); // the next byte is the last of a read block
  const Case cases[] = {
      {"a\nb\n", true},
      {"a\nb", true},
      {"a\r\nb\n", false},
      {"a\rb\n", false},
      {"a", false},
      {"", false},
      {block + "\r\n" + "b\n", false}, // CR ends one block, its LF starts the next
      {block + "\n\n", true},
      {block + "x\n" + "\r", false},
  };
  for (const Case &c : cases) {
    TCustomSyntaxMemo m;
    Load(m, c.bytes);
    EXPECT_EQ(m.LoadedUnixLineBreaks, c.unix) << c.bytes.size() << ": " << c.bytes.substr(0, 8);
    // What the flag chooses writes the same bytes back for an LF file.
    if (c.unix) {
      EXPECT_EQ(Save(m, sfUNIX), c.bytes);
    }
  }
}
