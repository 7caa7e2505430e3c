// Editing engine, part 4: the search entry points of the message protocol and
// of the find and replace dialogs, and the find-every-match run of "Show all".
#include "CustomSyntaxMemo.h"

#include <algorithm>

namespace {

// The editor's text a logical line (or a stretch of one) at a time. Text held
// in one node is handed out in place; only text across nodes is copied.
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

  int64_t Stretch(int64_t lineStart, int64_t pos, size_t max, std::string_view &text,
                  bool &atEnd) override {
    TLineNode *n = NodeHolding(pos);
    if (!n) {
      text = {};
      atEnd = true;
      return -1;
    }
    size_t off = static_cast<size_t>(pos - start_);
    // At or past the node's CR there is nothing more of this line.
    off = std::min(off, static_cast<size_t>(n->TextLength()));
    buf_.clear();
    bool inPlace = true;
    for (;;) {
      const size_t avail = static_cast<size_t>(n->TextLength()) - off;
      const size_t want = max - (inPlace ? 0 : buf_.size());
      const bool ends = n->EndsWithCR() || !n->Next;
      if (inPlace && (avail >= want || ends)) {
        text = std::string_view(n->Text() + off, std::min(avail, want));
        atEnd = ends && avail <= want;
        break;
      }
      buf_.append(n->Text() + off, std::min(avail, want));
      inPlace = false;
      if (avail >= want || ends) {
        text = buf_;
        atEnd = ends && avail <= want;
        break;
      }
      Advance();
      n = node_;
      off = 0;
    }
    if (!atEnd)
      return 0;
    const bool cr = n->EndsWithCR();
    const int64_t next = start_ + n->Length;
    Advance();
    return cr ? next : -1;
  }

  int64_t LineStart(int64_t pos) override { return store_.LogicalLineStart(pos); }

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
  // The node holding pos (the last node for the very end of a text without a
  // final break; null after a final break).
  TLineNode *NodeHolding(int64_t pos) {
    if (node_ && pos == start_ + node_->Length && node_->Next)
      Advance();
    // Stretches overlap a little: step back rather than search from the top.
    while (node_ && pos < start_ && start_ - pos <= static_cast<int64_t>(kSearchStretch) &&
           node_->Prev) {
      node_ = node_->Prev;
      start_ -= node_->Length;
    }
    if (!(node_ && pos >= start_ && pos < start_ + node_->Length)) {
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

} // namespace

// ---------------------------------------------------------------------------
// Search

TTextSearcher &TCustomSyntaxMemo::Searcher(const std::string &pattern, uint32_t flags) {
  const uint32_t key = flags & (sfMatchCase | sfRegExp | sfWholeWords | sfBackwards);
  if (!lastSearch_ || lastPattern_ != pattern || lastFlags_ != key) {
    lastSearch_.reset(); // a bad pattern must not leave the old one behind
    lastSearch_ =
        std::make_unique<TTextSearcher>(pattern, key, [this](char c) { return CharIsInWord(c); });
    lastPattern_ = pattern;
    lastFlags_ = key;
  }
  return *lastSearch_;
}

bool TCustomSyntaxMemo::SearchFromSelection(const std::string &pattern, uint32_t flags,
                                            TSearchMatch &m, TTextSearcher *&used) {
  used = &Searcher(pattern, flags);
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

void TCustomSyntaxMemo::SelectFound(const TSearchMatch &m) {
  vcColumn_ = rcColumn_ = -1;
  // While the control updates or does not draw, nothing is shown until that
  // ends: a replace-all run selects every match without moving the view.
  const bool shown = !Updating() && Redraw();
  SetSelection(m.Start, m.Start + m.Length, shown);
  if (shown)
    ScrollCaret();
}

bool TCustomSyntaxMemo::SearchAndSelect(const std::string &pattern, uint32_t flags,
                                        int64_t &matchLength) {
  matchLength = 0;
  TSearchMatch m;
  TTextSearcher *s = nullptr;
  if (!SearchFromSelection(pattern, flags | sfSilent, m, s))
    return false;
  matchLength = m.Length;
  SelectFound(m);
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
  SelectFound(m);
  return true;
}

int64_t TCustomSyntaxMemo::FindEach(const std::string &pattern, uint32_t flags, int64_t from,
                                    const std::function<bool(const TSearchMatch &)> &f) {
  TTextSearcher &s = Searcher(pattern, flags & ~sfBackwards);
  TStoreSearchText stream(*Store());
  TSearchMatch last;
  const int64_t n = s.FindEach(stream, from, from != lastEmptyMatch_, [&](const TSearchMatch &m) {
    last = m;
    return f(m);
  });
  if (n > 0)
    lastEmptyMatch_ = last.Length == 0 ? last.Start : -1;
  return n;
}

void TCustomSyntaxMemo::ReplaceDialog(uint32_t flags) {
  if (OnReplaceDialog)
    OnReplaceDialog(this, (flags & sfRegExp) ? std::string() : SelText(), flags);
}
