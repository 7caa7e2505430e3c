// Editing engine, part 3: cut, copy and paste through the clipboard interface,
// and the search entry points.
#include "CustomSyntaxMemo.h"
#include "Streams.h"

#include <algorithm>
#include <cstdlib>

namespace {

// The editor's text a logical line at a time. A line held in one node is
// handed out in place; only lines cut into several nodes are copied.
class TStoreSearchText : public TSearchText {
public:
  explicit TStoreSearchText(TTextStore &store) : store_(store) {}
  int64_t Size() override { return store_.CharCount(); }

  int64_t Line(int64_t lineStart, std::string_view &line) override {
    TLineNode *n = NodeAt(lineStart);
    if (!n) {
      line = {};
      return -1; // the empty line after a final break
    }
    int64_t pos = start_;
    if (n->EndsWithCR() || !n->Next) {
      line = std::string_view(n->Text(), static_cast<size_t>(n->TextLength()));
      Advance();
      return n->EndsWithCR() ? pos + n->Length : -1;
    }
    buf_.clear();
    for (;;) {
      buf_.append(n->Text(), static_cast<size_t>(n->TextLength()));
      pos += n->Length;
      const bool ends = n->EndsWithCR();
      const bool last = !n->Next;
      Advance();
      if (ends || last) {
        line = buf_;
        return ends ? pos : -1;
      }
      n = node_;
    }
  }

  int64_t LineStart(int64_t pos) override {
    const TLinePos p = store_.Locate(pos);
    if (!p.Node)
      return p.Start;
    TLineNode *n = p.Node;
    int64_t start = p.Start;
    while (n->Prev && !n->Prev->EndsWithCR()) {
      n = n->Prev;
      start -= n->Length;
    }
    return start;
  }

private:
  // The node that starts at pos; consecutive lines are reached by stepping.
  TLineNode *NodeAt(int64_t pos) {
    if (!(node_ && start_ == pos)) {
      const TLinePos p = store_.Locate(pos);
      node_ = p.Node;
      start_ = p.Start;
    }
    return node_;
  }
  void Advance() {
    start_ += node_->Length;
    node_ = node_->Next;
  }

  TTextStore &store_;
  TLineNode *node_ = nullptr;
  int64_t start_ = 0;
  std::string buf_;
};

// The fragment of Windows "HTML Format" data, or the data itself when it has
// no valid header.
std::string HtmlFragment(const std::string &data) {
  if (data.rfind("Version:", 0) != 0)
    return data;
  auto number = [&](const char *key) -> int64_t {
    const size_t at = data.find(key);
    if (at == std::string::npos)
      return -1;
    const char *p = data.c_str() + at + std::char_traits<char>::length(key);
    char *end = nullptr;
    const long long v = std::strtoll(p, &end, 10);
    return end == p ? -1 : v;
  };
  const int64_t s = number("StartFragment:"), e = number("EndFragment:");
  if (s < 0 || e < s || e > static_cast<int64_t>(data.size()))
    return data;
  return data.substr(static_cast<size_t>(s), static_cast<size_t>(e - s));
}

} // namespace

// ---------------------------------------------------------------------------
// Clipboard

void TCustomSyntaxMemo::CopyToClipboard() {
  if (!Clipboard || !SelAvail())
    return;
  std::vector<std::pair<TClipFormat, std::string>> data;
  if (ClipCopyFormats & smTEXT) {
    std::string text = GetTextRange(SelStart(), SelEnd());
    std::replace(text.begin(), text.end(), kCR, '\n');
    data.emplace_back(TClipFormat::cfText, std::move(text));
  }
  if (ClipCopyFormats & smRTF) {
    TMemoryStream rtf;
    WriteSelection(rtf, sfRTF);
    data.emplace_back(TClipFormat::cfRTF, rtf.Bytes());
  }
  if (!data.empty())
    Clipboard->SetContents(data);
}

void TCustomSyntaxMemo::CutToClipboard() {
  if (!Clipboard || !SelAvail() || ReadOnly())
    return;
  CopyToClipboard();
  BeginGroup(ugCut);
  try {
    ReplaceSel(std::string());
  } catch (...) {
    EndGroup(ugCut);
    throw;
  }
  EndGroup(ugCut);
  vcColumn_ = rcColumn_ = -1;
  ScrollCaret();
  Change();
}

void TCustomSyntaxMemo::PasteFromClipboard() {
  if (!Clipboard || ReadOnly())
    return;
  const bool hasText = Clipboard->HasFormat(TClipFormat::cfText);
  const bool hasHtml = Clipboard->HasFormat(TClipFormat::cfHTML);
  if (!hasText && !hasHtml)
    return;
  int types = (hasText ? kDropText : 0) | (hasHtml ? kDropHTML : 0) | kDropFromPaste;
  if (OnDataDrop)
    OnDataDrop(this, types);
  std::string data;
  if ((types & kDropText) && hasText)
    data = Clipboard->GetData(TClipFormat::cfText);
  else if ((types & kDropHTML) && hasHtml)
    data = HtmlFragment(Clipboard->GetData(TClipFormat::cfHTML));
  else
    return;
  BeginGroup(ugPaste);
  try {
    if (!SelAvail())
      FillVirtualSpace();
    ReplaceSel(data);
  } catch (...) {
    EndGroup(ugPaste);
    throw;
  }
  EndGroup(ugPaste);
  vcColumn_ = rcColumn_ = -1;
  ScrollCaret();
  Change();
}

bool TCustomSyntaxMemo::CanPaste(intptr_t format) {
  if (format != 0 && format != 1)
    return false;
  return Clipboard && Clipboard->HasFormat(TClipFormat::cfText);
}

// ---------------------------------------------------------------------------
// Search

bool TCustomSyntaxMemo::SearchFromSelection(const std::string &pattern, uint32_t flags,
                                            TSearchMatch &m, TTextSearcher *&used) {
  const uint32_t key = flags & (sfMatchCase | sfRegExp | sfWholeWords | sfBackwards);
  if (!lastSearch_ || lastPattern_ != pattern || lastFlags_ != key) {
    lastSearch_.reset(); // a bad pattern must not leave the old one behind
    lastSearch_ =
        std::make_unique<TTextSearcher>(pattern, key, [this](char c) { return CharIsInWord(c); });
    lastPattern_ = pattern;
    lastFlags_ = key;
  }
  used = lastSearch_.get();
  const bool back = (flags & sfBackwards) != 0;
  const int64_t from = !SelAvail() ? Caret() : back ? SelStart() : SelEnd();
  if (back ? from <= 0 : from >= TextLength())
    return false;
  TStoreSearchText stream(*Store());
  // An empty match is taken at the start unless the last search ended there
  // with one: repeated searches and replace-all runs always move on.
  const bool found = used->Find(stream, from, m, from != lastEmptyMatch_);
  lastEmptyMatch_ = found && m.Length == 0 ? m.Start : -1;
  return found;
}

int64_t TCustomSyntaxMemo::FindText(uint32_t flags, const char *pattern) {
  const std::string text = pattern ? pattern : "";
  if (!(flags & sfSilent)) {
    if (OnFindDialog)
      OnFindDialog(this,
                   !text.empty()        ? text
                   : (flags & sfRegExp) ? std::string()
                                        : SelText(),
                   flags);
    return -1;
  }
  TSearchMatch m;
  TTextSearcher *s = nullptr;
  if (!SearchFromSelection(text, flags, m, s))
    return -1;
  if (flags & sfRegExp) {
    vcColumn_ = rcColumn_ = -1;
    SetSelection(m.Start, m.Start + m.Length);
  }
  return m.Start;
}

bool TCustomSyntaxMemo::SearchAndSelect(const std::string &pattern, uint32_t flags,
                                        int64_t &matchLength) {
  matchLength = 0;
  TSearchMatch m;
  TTextSearcher *s = nullptr;
  if (!SearchFromSelection(pattern, flags | sfSilent, m, s))
    return false;
  matchLength = m.Length;
  vcColumn_ = rcColumn_ = -1;
  SetSelection(m.Start, m.Start + m.Length);
  ScrollCaret();
  return true;
}

bool TCustomSyntaxMemo::SearchForReplace(const std::string &pattern, const std::string &replacement,
                                         uint32_t flags, std::string &toInsert) {
  toInsert.clear();
  TSearchMatch m;
  TTextSearcher *s = nullptr;
  if (!SearchFromSelection(pattern, flags | sfSilent, m, s))
    return false;
  toInsert = s->ExpandReplacement(replacement);
  vcColumn_ = rcColumn_ = -1;
  SetSelection(m.Start, m.Start + m.Length);
  ScrollCaret();
  return true;
}

void TCustomSyntaxMemo::ReplaceDialog(uint32_t flags) {
  if (OnReplaceDialog)
    OnReplaceDialog(this, (flags & sfRegExp) ? std::string() : SelText(), flags);
}
