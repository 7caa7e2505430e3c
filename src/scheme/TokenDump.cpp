// Token listings for tools and reference tests.
#include "TokenDump.h"

#include <cstdio>

std::string DumpTokens(TSyntaxMemoParser &parser, const std::string &text) {
  std::string all;
  DumpTokens(parser, text, [&](const std::string &piece) { all += piece; });
  return all;
}

void DumpTokens(TSyntaxMemoParser &parser, const std::string &text,
                const std::function<void(const std::string &)> &sink) {
  TBufferEdStream src(text.data(), text.size());
  parser.Reset(-1); // the start of the text: the scheme's start set
  std::string out;
  while (!src.AtEnd()) {
    const int64_t pos = src.Position();
    int len = 0;
    const int value = parser.GetToken(nullptr, src, len);
    char head[64];
    std::snprintf(head, sizeof head, "%lld %d %d %d ", static_cast<long long>(pos), len, value,
                  parser.Settings.StyleOf(static_cast<uint8_t>(value)));
    out += head;
    for (int i = 0; i < len; ++i) {
      const char c = text[static_cast<size_t>(pos + i)];
      if (c == '\r')
        out += "\\r";
      else if (c == '\n')
        out += "\\n";
      else if (c == '\t')
        out += "\\t";
      else
        out += c;
    }
    out += '\n';
    if (out.size() >= 65536) {
      sink(out);
      out.clear();
    }
  }
  if (!out.empty())
    sink(out);
}
