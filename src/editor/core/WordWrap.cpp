// Word wrap over the store's nodes.
#include "WordWrap.h"

#include <algorithm>
#include <cstring>

std::vector<int> WrapRows(const char *text, int len, int width, const TTabStops &tabs,
                          bool wordBreak) {
  std::vector<int> rows;
  const int content = (len > 0 && text[len - 1] == kCR) ? len - 1 : len;
  int start = 0;
  while (start < content) {
    int col = 0;
    int i = start;
    int lastBreak = -1; // offset after the last blank of the row
    while (i < content && i - start < kMaxNodeChars) {
      const int next = text[i] == '\t' ? tabs.NextStop(col) : col + 1;
      if (width > 0 && next > width && i > start)
        break;
      col = next;
      if (text[i] == ' ' || text[i] == '\t')
        lastBreak = i + 1;
      ++i;
    }
    int end = i;
    if (i < content && wordBreak && width > 0 && lastBreak > start && lastBreak < i)
      end = lastBreak;
    // Blanks that overflow the row hang at its end rather than start the next.
    if (wordBreak && width > 0)
      while (end < content && text[end] == ' ' && end - start < kMaxNodeChars)
        ++end;
    rows.push_back(end - start);
    start = end;
  }
  if (content < len) { // the CR joins the last row
    if (rows.empty() || rows.back() >= kMaxNodeChars)
      rows.push_back(1);
    else
      ++rows.back();
  }
  if (rows.empty())
    rows.push_back(len);
  return rows;
}

TLineNode *TTextStore::RecutLine(TLineNode *head, const std::vector<int> &rows) {
  std::vector<TLineNode *> old;
  for (TLineNode *n = head; n; n = n->Next) {
    if (n != head && !(n->Marks & nmContinued))
      break;
    old.push_back(n);
  }
  TLineNode *after = old.back()->Next;
  // Nothing to do when the rows already have these lengths.
  if (old.size() == rows.size()) {
    bool same = true;
    for (size_t i = 0; i < rows.size() && same; ++i)
      same = old[i]->Length == rows[i];
    if (same)
      return after;
  }
  std::string text;
  std::vector<uint8_t> attrs;
  bool haveAttrs = true;
  uint16_t marks = 0, gutter = 0;
  uint32_t flags = 0;
  TLineAttachment *attachment = nullptr;
  for (TLineNode *n : old) {
    text.append(n->Text(), n->Length);
    if (const uint8_t *a = n->Attributes(); a && !(n->Flags & nfStale))
      attrs.insert(attrs.end(), a, a + n->Length);
    else
      haveAttrs = false;
    marks = static_cast<uint16_t>(marks | (n->Marks & ~nmContinued));
    gutter = static_cast<uint16_t>(gutter | n->Gutter);
    flags |= n->Flags & ~nfHasTab;
    if (!attachment && n->Attachment())
      attachment = n->TakeAttachment();
  }
  const int32_t word1 = head->Word1, word2 = head->Word2;
  TLineNode *prev = head->Prev;
  for (TLineNode *n : old) {
    NoteRemoved(n);
    Unlink(n);
    FreeNode(n);
  }
  anchorNode_ = nullptr;
  recent_ = TLinePos{};
  size_t off = 0;
  TLineNode *at = prev;
  for (size_t i = 0; i < rows.size() && off < text.size(); ++i) {
    const int n = std::min<int>(rows[i], static_cast<int>(text.size() - off));
    TLineNode *node = NewNode(text.data() + off, n, 0);
    node->Flags |= (flags & ~(nfStale | nfHasTab)) | nfRepaint;
    if (haveAttrs) {
      std::memcpy(node->AllocAttributes(), attrs.data() + off, static_cast<size_t>(n));
      node->Flags &= ~nfStale;
    } else {
      node->Flags |= nfStale;
    }
    if (i == 0) {
      node->Marks = marks;
      node->Gutter = gutter;
      node->Word1 = word1;
      node->Word2 = word2;
      if (attachment) {
        node->SetAttachment(attachment);
        attachment->Node = node;
      }
    } else {
      node->Marks = nmContinued;
    }
    LinkAfter(at, node);
    at = node;
    off += static_cast<size_t>(n);
  }
  return after;
}

TRewrapResult RewrapStore(TTextStore &store, int width, const TTabStops &tabs, int64_t first,
                          int64_t last) {
  TRewrapResult r;
  if (!store.First())
    return r;
  first = std::clamp<int64_t>(first, 0, store.LineCount() - 1);
  TLinePos p = store.LocateLine(first);
  TLineNode *head = p.Node;
  int64_t line = p.Line;
  while (head->Prev && (head->Marks & nmContinued)) {
    head = head->Prev;
    --line;
  }
  std::string text;
  std::vector<int> lengths;
  while (head && (last < 0 || line <= last)) {
    text.clear();
    lengths.clear();
    TLineNode *next = head;
    for (; next; next = next->Next) {
      if (next != head && !(next->Marks & nmContinued))
        break;
      text.append(next->Text(), next->Length);
      lengths.push_back(next->Length);
    }
    const std::vector<int> rows =
        WrapRows(text.data(), static_cast<int>(text.size()), width, tabs, width > 0);
    const auto rowsBefore = static_cast<int64_t>(lengths.size());
    const auto rowsNow = static_cast<int64_t>(rows.size());
    if (rows != lengths) {
      next = store.RecutLine(head, rows);
      if (r.FirstLine < 0)
        r.FirstLine = line;
      r.LastLine = line + rowsNow - 1;
    }
    if (last >= 0)
      last += rowsNow - rowsBefore;
    line += rowsNow;
    head = next;
  }
  return r;
}
