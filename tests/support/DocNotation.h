// Documents in tests written as "one |two" (caret) or "one <two> three"
// (anchor at '<', caret at '>'; ">two<" for a selection made backwards), with
// "\n" for a line break: set into an editor control and read back from it.
#pragma once

#include "Messages.h"

#include <cstdint>
#include <string>

namespace kxtest {

// A template, so that a widget's own Perform and selection are the ones used.
template <class TMemo> void SetDoc(TMemo &m, const std::string &doc) {
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

template <class TMemo> std::string Doc(TMemo &m) {
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

} // namespace kxtest
