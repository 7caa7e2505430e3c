// Fuzz target: a document's bytes, whatever they are, loaded through the
// editor's stream load (read in pieces of any size). The store keeps its
// invariants and holds exactly the bytes as the line-break and control-byte
// rules turn them; every save format gives that text back: the plain ones
// byte for byte and on reloading, rich text and HTML through a reader of
// their own, for the whole text and for a selection, styled by a real scheme
// or plain.
// KX_FUZZ_LINK: src/editor/core
#include "CustomSyntaxMemo.h"
#include "SyntaxMemoParser.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#ifndef KX_SOURCE_DIR
#define KX_SOURCE_DIR "."
#endif

namespace {

// Gives the bytes back in reads of a fixed, small size, as a pipe or a slow
// file system may.
class PieceStream : public TMemoryStream {
public:
  PieceStream(std::string bytes, int64_t piece) : TMemoryStream(std::move(bytes)), piece_(piece) {}
  int64_t Read(void *b, int64_t n) override { return TMemoryStream::Read(b, std::min(n, piece_)); }

private:
  int64_t piece_;
};

class SchemeStyles : public THighlighter {
public:
  explicit SchemeStyles(TSyntaxMemoParser &p) : p_(p) {}
  void Reset(int v) override { p_.Reset(v & 0xFF); }
  int GetToken(TEdStream &s, int &len) override { return p_.GetToken(this, s, len); }
  TTokenStyle Style(int v) const override {
    TTokenStyle t;
    t.FontStyle = static_cast<uint8_t>(v & 0xF);
    t.Foreground = static_cast<uint32_t>(v) * 0x010307u;
    t.DefaultForeground = (v & 0x10) != 0;
    t.DefaultBackground = (v & 0x20) != 0;
    return t;
  }

private:
  TSyntaxMemoParser &p_;
};

// The stored text for raw bytes, by the rules: CR LF, CR and LF each end a
// line (a CR); control bytes other than TAB become a full stop.
std::string Normalised(const std::string &raw) {
  std::string out;
  for (size_t i = 0; i < raw.size(); ++i) {
    const auto c = static_cast<unsigned char>(raw[i]);
    if (c == '\r') {
      out += '\r';
      if (i + 1 < raw.size() && raw[i + 1] == '\n')
        ++i;
    } else if (c == '\n') {
      out += '\r';
    } else if (c < 32 && c != '\t') {
      out += '.';
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string Replaced(const std::string &text, const std::string &lineBreak) {
  std::string out;
  for (char c : text)
    if (c == '\r')
      out += lineBreak;
    else
      out += c;
  return out;
}

[[noreturn]] void Fail() {
  std::abort();
}

void Expect(const std::string &s, size_t &at, const std::string &what) {
  if (s.compare(at, what.size(), what) != 0)
    Fail();
  at += what.size();
}

// The text of our rich-text output: after the header, one group per styled
// run; \par ends a line, \tab is a TAB, \'hh a byte, \ escapes \ { and }.
std::string ReadRichText(const std::string &rtf) {
  size_t at = rtf.find("\\pard\\plain\\f0\\fs");
  if (at == std::string::npos)
    Fail();
  at = rtf.find(' ', at);
  if (at == std::string::npos)
    Fail();
  ++at;
  std::string text;
  while (at < rtf.size() && rtf[at] == '{') {
    const size_t space = rtf.find(' ', at);
    if (space == std::string::npos)
      Fail();
    at = space + 1;
    while (at < rtf.size() && rtf[at] != '}') {
      const char c = rtf[at];
      if (c == '\r' || c == '\n' || c == '{')
        Fail(); // raw line breaks and groups never stand in a run
      if (c != '\\') {
        text += c;
        ++at;
        continue;
      }
      if (at + 1 >= rtf.size())
        Fail();
      const char e = rtf[at + 1];
      if (e == '\\' || e == '{' || e == '}') {
        text += e;
        at += 2;
      } else if (rtf.compare(at, 6, "\\par\r\n") == 0) {
        text += '\r';
        at += 6;
      } else if (rtf.compare(at, 5, "\\tab ") == 0) {
        text += '\t';
        at += 5;
      } else if (e == '\'' && at + 3 < rtf.size()) {
        const int v = std::stoi(rtf.substr(at + 2, 2), nullptr, 16);
        if (v < 128)
          Fail();
        text += static_cast<char>(v);
        at += 4;
      } else {
        Fail();
      }
    }
    Expect(rtf, at, "}");
  }
  Expect(rtf, at, "\r\n}");
  if (at != rtf.size())
    Fail();
  return text;
}

// The text of our HTML output: spans inside one pre block; entities for
// & < > " and for every byte above 127 (its Windows-1252 character).
std::string ReadHtml(const std::string &html) {
  static const uint16_t high[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                    0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
  size_t at = html.find("<pre ");
  if (at == std::string::npos)
    Fail();
  at = html.find('>', at);
  if (at == std::string::npos)
    Fail();
  ++at;
  std::string text;
  while (html.compare(at, 6, "<span ") == 0) {
    at = html.find("\">", at);
    if (at == std::string::npos)
      Fail();
    at += 2;
    while (at < html.size() && html[at] != '<') {
      const char c = html[at];
      if (c == '>' || c == '"' || static_cast<unsigned char>(c) >= 128)
        Fail();
      if (c == '\r') {
        Expect(html, at, "\r\n");
        text += '\r';
        continue;
      }
      if (c != '&') {
        text += c;
        ++at;
        continue;
      }
      const size_t semi = html.find(';', at);
      if (semi == std::string::npos)
        Fail();
      const std::string name = html.substr(at + 1, semi - at - 1);
      at = semi + 1;
      if (name == "amp") {
        text += '&';
      } else if (name == "lt") {
        text += '<';
      } else if (name == "gt") {
        text += '>';
      } else if (name == "quot") {
        text += '"';
      } else if (name.size() > 1 && name[0] == '#') {
        const unsigned u = static_cast<unsigned>(std::stoul(name.substr(1)));
        int byte = -1;
        if (u >= 0xA0 && u <= 0xFF)
          byte = static_cast<int>(u);
        for (int k = 0; k < 32 && byte < 0; ++k)
          if (high[k] == u)
            byte = 0x80 + k;
        if (byte < 0)
          Fail();
        text += static_cast<char>(byte);
      } else {
        Fail();
      }
    }
    Expect(html, at, "</span>");
  }
  Expect(html, at, "</pre>\r\n</body>\r\n</html>\r\n");
  if (at != html.size())
    Fail();
  return text;
}

std::string Save(TCustomSyntaxMemo &m, TSaveFormat format) {
  TMemoryStream out;
  m.SaveFormat = format;
  m.SaveToStream(&out);
  return out.Bytes();
}

std::string Selection(TCustomSyntaxMemo &m, TSaveFormat format) {
  TMemoryStream out;
  m.WriteSelection(out, format);
  return out.Bytes();
}

void Reload(const std::string &saved, const std::string &text) {
  TCustomSyntaxMemo again;
  TMemoryStream in(saved);
  again.LoadFromStream(in);
  if (again.Text() != text)
    Fail();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static TSyntaxMemoParser *scheme = [] {
    auto *p = new TSyntaxMemoParser;
    p->CompileFile(KX_SOURCE_DIR "/resources/schemes/tarnic.scheme");
    return p;
  }();
  if (size < 5)
    return 0;
  const uint8_t how = data[0];
  const int64_t piece = 1 + (data[1] | (data[2] << 8)) % 9000;
  const uint16_t selA = data[3], selB = data[4];
  const std::string raw(reinterpret_cast<const char *>(data) + 5, size - 5);

  TCustomSyntaxMemo memo;
  SchemeStyles styles(*scheme);
  if (how & 1)
    memo.Highlighter = &styles;
  PieceStream in(raw, piece);
  memo.LoadFromStream(in);
  const std::string problem = memo.Store()->CheckInvariants();
  if (!problem.empty())
    Fail();
  const std::string text = Normalised(raw);
  if (memo.Text() != text || memo.TextLength() != static_cast<int64_t>(text.size()))
    Fail();

  memo.SetSelLineStyle(lsCRLF);
  const std::string crlf = Save(memo, sfTEXT);
  if (crlf != Replaced(text, "\r\n"))
    Fail();
  Reload(crlf, text);
  memo.SetSelLineStyle(lsLF);
  const std::string cr = Save(memo, sfTEXT);
  if (cr != text)
    Fail();
  Reload(cr, text);
  const std::string lf = Save(memo, sfUNIX);
  if (lf != Replaced(text, "\n"))
    Fail();
  Reload(lf, text);
  if (ReadRichText(Save(memo, sfRTF)) != text)
    Fail();
  if (ReadHtml(Save(memo, sfHTML)) != text)
    Fail();

  // A selection starting and ending anywhere, inside nodes too.
  const int64_t n = memo.TextLength();
  const int64_t a = n ? selA * n / 255 : 0, b = n ? selB * n / 255 : 0;
  memo.SetSelection(a, b, false);
  const std::string part = text.substr(std::min(a, b), std::max(a, b) - std::min(a, b));
  memo.SetSelLineStyle(how & 2 ? lsCRLF : lsLF);
  if (Selection(memo, sfTEXT) != (how & 2 ? Replaced(part, "\r\n") : part))
    Fail();
  if (Selection(memo, sfUNIX) != Replaced(part, "\n"))
    Fail();
  if (ReadRichText(Selection(memo, sfRTF)) != part)
    Fail();
  if (ReadHtml(Selection(memo, sfHTML)) != part)
    Fail();
  return 0;
}
