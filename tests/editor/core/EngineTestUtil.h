// Helpers of the editing-engine tests: documents written as "one |two" (caret)
// or "one <two> three" (anchor at '<', caret at '>'; ">two<" for a selection made
// backwards), with "\n" for a line break; and an in-memory clipboard.
#pragma once

#include "Clipboard.h"
#include "CustomSyntaxMemo.h"

#include <map>
#include <string>

namespace enginetest {

inline void SetDoc(TCustomSyntaxMemo &m, const std::string &doc) {
  std::string text;
  int64_t anchor = -1, caret = -1;
  for (char c : doc) {
    const auto at = static_cast<int64_t>(text.size());
    if (c == '|')
      anchor = caret = at;
    else if (c == '<')
      anchor = at;
    else if (c == '>')
      caret = at;
    else
      text += c == '\n' ? '\r' : c;
  }
  m.Perform(WM_SETTEXT, 0, reinterpret_cast<intptr_t>(text.c_str()));
  if (caret < 0)
    caret = 0;
  if (anchor < 0)
    anchor = caret;
  m.SetSelection(anchor, caret);
}

inline std::string Doc(TCustomSyntaxMemo &m) {
  const std::string text = m.Text();
  const auto a = static_cast<size_t>(m.Anchor()), c = static_cast<size_t>(m.Caret());
  std::string out;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (a == c && i == c)
      out += '|';
    else if (i == a)
      out += '<';
    else if (i == c)
      out += '>';
    if (i < text.size())
      out += text[i] == '\r' ? '\n' : text[i];
  }
  return out;
}

class TTestClipboard : public TClipboard {
public:
  void SetContents(const std::vector<std::pair<TClipFormat, std::string>> &data) override {
    formats.clear();
    for (const auto &[f, bytes] : data)
      formats[f] = bytes;
    ++sets;
  }
  bool HasFormat(TClipFormat f) const override { return formats.count(f) != 0; }
  std::string GetData(TClipFormat f) const override {
    auto it = formats.find(f);
    return it == formats.end() ? std::string() : it->second;
  }
  std::map<TClipFormat, std::string> formats;
  int sets = 0;
};

// Presses keys through the key-down handler and types what an unhandled key
// would have typed.
inline void Key(TCustomSyntaxMemo &m, uint16_t key, char typed = 0) {
  if (!m.KeyDown(key) && typed)
    m.KeyPress(typed);
}

inline void Type(TCustomSyntaxMemo &m, const std::string &s) {
  for (char c : s)
    m.KeyPress(c == '\n' ? '\r' : c);
}

} // namespace enginetest
