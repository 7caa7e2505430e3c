// Helpers of the editing-engine tests: documents in the caret notation of
// DocNotation.h, and an in-memory clipboard.
#pragma once

#include "Clipboard.h"
#include "CustomSyntaxMemo.h"
#include "DocNotation.h"

#include <map>
#include <string>

namespace enginetest {

using kxtest::Doc;
using kxtest::SetDoc;

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
