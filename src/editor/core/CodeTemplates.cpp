// Template and auto-replace matching.
#include "CodeTemplates.h"

namespace {

bool SameIgnoringCase(const char *a, const char *b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z')
      x += 32;
    if (y >= 'A' && y <= 'Z')
      y += 32;
    if (x != y)
      return false;
  }
  return true;
}

bool StandsBeforeCaret(const std::string &name, const std::string &before,
                       const TCharTest &isInWord) {
  if (name.empty() || name.size() > before.size())
    return false;
  const size_t at = before.size() - name.size();
  if (!SameIgnoringCase(before.data() + at, name.data(), name.size()))
    return false;
  return !(isInWord(name.front()) && at > 0 && isInWord(before[at - 1]));
}

template <class T, class Key>
int FindLongest(const std::vector<T> &list, const std::string &before, const TCharTest &test,
                Key key) {
  const TCharTest &isInWord = test ? test : TCharTest(DefaultCharIsInWord);
  int best = -1;
  for (size_t i = 0; i < list.size(); ++i) {
    const std::string &name = key(list[i]);
    if (StandsBeforeCaret(name, before, isInWord) &&
        (best < 0 || name.size() > key(list[static_cast<size_t>(best)]).size()))
      best = static_cast<int>(i);
  }
  return best;
}

} // namespace

int FindTemplateBeforeCaret(const std::vector<TSM_CodeTemplate> &list,
                            const std::string &lineBeforeCaret, const TCharTest &isInWord) {
  return FindLongest(list, lineBeforeCaret, isInWord,
                     [](const TSM_CodeTemplate &t) -> const std::string & { return t.Name; });
}

int FindAutoReplaceBeforeCaret(const std::vector<TSM_AutoReplace> &list,
                               const std::string &lineBeforeCaret, const TCharTest &isInWord) {
  return FindLongest(list, lineBeforeCaret, isInWord,
                     [](const TSM_AutoReplace &a) -> const std::string & { return a.Word; });
}

std::string WordBeforeCaret(const std::string &lineBeforeCaret, const TCharTest &test) {
  const TCharTest &isInWord = test ? test : TCharTest(DefaultCharIsInWord);
  size_t at = lineBeforeCaret.size();
  while (at > 0 && isInWord(lineBeforeCaret[at - 1]))
    --at;
  return lineBeforeCaret.substr(at);
}

std::vector<int> TemplateCandidates(const std::vector<TSM_CodeTemplate> &list,
                                    const std::string &word) {
  std::vector<int> out;
  if (!word.empty())
    for (size_t i = 0; i < list.size(); ++i)
      if (list[i].Name.size() >= word.size() &&
          SameIgnoringCase(list[i].Name.data(), word.data(), word.size()))
        out.push_back(static_cast<int>(i));
  if (out.empty())
    for (size_t i = 0; i < list.size(); ++i)
      out.push_back(static_cast<int>(i));
  return out;
}

TTemplateExpansion ExpandTemplateText(const std::string &text, const std::string &indent) {
  TTemplateExpansion r;
  bool caretSet = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '|') {
      if (i + 1 < text.size() && text[i + 1] == '|') {
        r.Text += '|';
        ++i;
      } else if (!caretSet) {
        r.CaretOffset = r.Text.size();
        caretSet = true;
      } else {
        r.Text += '|';
      }
      continue;
    }
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
        ++i;
      r.Text += '\r';
      r.Text += indent;
      continue;
    }
    r.Text += c;
  }
  if (!caretSet)
    r.CaretOffset = r.Text.size();
  return r;
}
