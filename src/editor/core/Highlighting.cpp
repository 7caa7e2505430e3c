// The highlighting pass over a text store.
#include "Highlighting.h"

#include <algorithm>
#include <cstring>

TStoreEdStream::TStoreEdStream(TTextStore &store) : store_(store) {
  Refresh();
}

TStoreEdStream::TStoreEdStream(TTextStore &store, TLineNode *node, int64_t nodeStart)
    : store_(store), node_(node), nodeStart_(nodeStart) {
  SetSize(store_.CharCount());
  if (node_ && nodeStart_ < Size())
    SetChunk(reinterpret_cast<const unsigned char *>(node_->Text()), node_->Length, nodeStart_,
             nodeStart_);
  else
    Refresh();
}

void TStoreEdStream::Refresh() {
  node_ = nullptr;
  SetSize(store_.CharCount());
  SetChunk(nullptr, 0, 0, 0);
  if (Size() > 0)
    Fetch(0);
}

void TStoreEdStream::Fetch(int64_t pos) {
  if (pos >= Size()) {
    SetChunk(nullptr, 0, Size(), Size());
    return;
  }
  // Most fetches step to the following node; anything else is a look-up.
  if (node_ && pos >= nodeStart_ + node_->Length && node_->Next &&
      pos < nodeStart_ + node_->Length + node_->Next->Length) {
    nodeStart_ += node_->Length;
    node_ = node_->Next;
  } else if (node_ && pos < nodeStart_ && node_->Prev && pos >= nodeStart_ - node_->Prev->Length) {
    // A token that looked past its line's end is read again from its start.
    node_ = node_->Prev;
    nodeStart_ -= node_->Length;
  } else if (!node_ || pos < nodeStart_ || pos >= nodeStart_ + node_->Length) {
    const TLinePos p = store_.Locate(pos);
    if (!p.Node) {
      SetChunk(nullptr, 0, Size(), Size());
      return;
    }
    node_ = p.Node;
    nodeStart_ = p.Start;
  }
  SetChunk(reinterpret_cast<const unsigned char *>(node_->Text()), node_->Length, nodeStart_, pos);
}

// ---------------------------------------------------------------------------

namespace {

// Writes a token's style bytes; true when any of them was different. Tokens
// are a few characters long: words of 8, 4, 2 and 1 bytes are compared and
// stored in one go, where a byte loop or a call to memset would cost more.
inline bool StoreStyle(uint8_t *a, int n, uint8_t v) {
  const uint64_t pattern = 0x0101010101010101ull * v;
  uint64_t diff = 0;
  for (; n >= 8; a += 8, n -= 8) {
    uint64_t x;
    std::memcpy(&x, a, 8);
    diff |= x ^ pattern;
    std::memcpy(a, &pattern, 8);
  }
  if (n >= 4) {
    uint32_t x;
    std::memcpy(&x, a, 4);
    diff |= x ^ static_cast<uint32_t>(pattern);
    std::memcpy(a, &pattern, 4);
    a += 4;
    n -= 4;
  }
  if (n >= 2) {
    uint16_t x;
    std::memcpy(&x, a, 2);
    diff |= static_cast<uint16_t>(x ^ static_cast<uint16_t>(pattern));
    std::memcpy(a, &pattern, 2);
    a += 2;
    n -= 2;
  }
  if (n) {
    diff |= *a ^ v;
    *a = v;
  }
  return diff != 0;
}

} // namespace

void TSyntaxHighlighting::SetStore(TTextStore *store) {
  store_ = store;
  Invalidate();
}

void TSyntaxHighlighting::SetHighlighter(THighlighter *h) {
  if (h == highlighter_)
    return;
  highlighter_ = h;
  Invalidate();
}

void TSyntaxHighlighting::Invalidate() {
  frontier_ = 0;
  lineCount_ = store_ ? store_->LineCount() : 0;
}

bool TSyntaxHighlighting::Complete() const {
  return !store_ || !highlighter_ || frontier_ >= store_->LineCount();
}

void TSyntaxHighlighting::NoteChanged(int64_t line) {
  if (ChangedFirst < 0 || line < ChangedFirst)
    ChangedFirst = line;
  if (line > ChangedLast)
    ChangedLast = line;
}

int64_t TSyntaxHighlighting::Scan(TLineNode *node, int64_t line, int64_t start, int64_t stopAfter,
                                  TMode mode) {
  // A wrapped row may start inside a token (a long comment or string): the
  // tokenizer starts where its line starts, at the first row.
  while (node->Prev && (node->Marks & nmContinued)) {
    node = node->Prev;
    --line;
    start -= node->Length;
  }
  THighlighter &h = *highlighter_;
  TStoreEdStream src(*store_, node, start);
  const int64_t size = src.Size();
  const int64_t firstLine = line;

  int context = node->Prev ? 0 : THighlighter::kTextStart;
  if (TLineNode *p = node->Prev; p && p->Attributes() && p->Length > 0 && !(p->Flags & nfStale))
    context = p->Attributes()[p->Length - 1];
  h.Reset(context);

  TLineNode *cur = node;
  int64_t curLine = line;
  int64_t curStart = start;
  int off = 0;
  int oldLast = -1;
  bool changed = false;
  uint8_t *attrs = nullptr; // the current node's style bytes
  int curLen = 0;            // and its length, kept apart from what the stores touch
  const bool report = static_cast<bool>(OnTokenSeen);

  auto enter = [&](TLineNode *n) {
    curLen = n->Length;
    uint8_t *a = n->Attributes();
    const bool valid = a && !(n->Flags & (nfStale | nfGuessed)) && n->Length > 0;
    oldLast = valid ? a[n->Length - 1] : -1;
    // Bytes compared below decide for lines that had some; the edited lines
    // themselves are repainted by the editor anyway.
    changed = !a;
    attrs = a ? a : n->AllocAttributes();
  };
  auto finish = [&](TLineNode *n) {
    n->Flags &= ~(nfStale | nfGuessed);
    if (mode == TMode::Guess)
      n->Flags |= nfGuessed;
    if (changed) {
      n->Flags |= nfRepaint;
      NoteChanged(curLine);
    }
  };
  // Steps to the next node; false at the end of the text.
  auto next = [&]() {
    TLineNode *n = cur->Next;
    if (!n)
      return false;
    curStart += cur->Length;
    cur = n;
    ++curLine;
    off = 0;
    enter(cur);
    return true;
  };

  enter(cur);
  for (;;) {
    if (off >= cur->Length) {
      finish(cur);
      const int newLast = cur->Length > 0 ? attrs[cur->Length - 1] : -1;
      TLineNode *n = cur->Next;
      if (!n)
        return curLine + 1;
      if (mode == TMode::Edit) {
        // Caught up: the next line starts as it did before and holds good bytes.
        if (curLine > firstLine && newLast == oldLast && !NeedsScan(n) && !(n->Flags & nfGuessed))
          return curLine + 1;
        if (curLine + 1 >= frontier_ || curLine >= stopAfter)
          return curLine + 1;
      } else if (curLine >= stopAfter) {
        return curLine + 1;
      }
      next();
      continue;
    }
    const int64_t tokStart = curStart + off;
    int length = 0;
    const int value = h.GetToken(src, length) & 0xFF;
    int64_t end = src.Position();
    if (end <= tokStart) { // a token is at least one character
      end = tokStart + 1;
      src.SetPosition(end);
    }
    end = std::min(end, size);
    if (report)
      OnTokenSeen(value, tokStart, end);
    const auto v = static_cast<uint8_t>(value);
    if (end - tokStart <= curLen - off) {
      // The common case: the token lies within the current line node.
      const int n = static_cast<int>(end - tokStart);
      changed = StoreStyle(attrs + off, n, v) || changed;
      off += n;
      if (src.Position() != end) // only a token clamped at the text's end
        src.SetPosition(end);
      continue;
    }
    int64_t p = tokStart;
    while (p < end) {
      if (off >= cur->Length) {
        finish(cur);
        if (!next())
          break;
      }
      const int n = static_cast<int>(std::min<int64_t>(end - p, cur->Length - off));
      changed = StoreStyle(attrs + off, n, v) || changed;
      off += n;
      p += n;
    }
    // A token that ran past the text's end (cannot happen with a sound
    // tokenizer) must not make the scan skip a node.
    if (src.Position() != curStart + off)
      src.SetPosition(curStart + off);
  }
}

int64_t TSyntaxHighlighting::TextChanged(int64_t line, int64_t limit) {
  ChangedFirst = ChangedLast = -1;
  if (!store_ || !highlighter_ || !store_->First())
    return -1;
  const int64_t count = store_->LineCount();
  if (line < frontier_)
    frontier_ = std::max(line, frontier_ + (count - lineCount_));
  lineCount_ = count;
  frontier_ = std::min(frontier_, count);
  line = std::clamp<int64_t>(line, 0, count - 1);
  if (line > 0)
    --line;
  if (line >= frontier_)
    return -1; // not reached by the sequential scan yet: painted on demand
  const TLinePos p = store_->LocateLine(line);
  const int64_t end = Scan(p.Node, p.Line, p.Start, line + limit, TMode::Edit);
  if (end < frontier_ && end >= line + limit && end < count)
    frontier_ = end; // gave up: the lazy scan continues from here
  return ChangedLast;
}

void TSyntaxHighlighting::Ensure(int64_t first, int64_t last) {
  ChangedFirst = ChangedLast = -1;
  if (!store_ || !highlighter_ || !store_->First())
    return;
  const int64_t count = store_->LineCount();
  if (count != lineCount_) {
    lineCount_ = count;
    frontier_ = std::min(frontier_, count);
  }
  first = std::clamp<int64_t>(first, 0, count - 1);
  last = std::clamp<int64_t>(last, first, count - 1);
  // Each round makes progress; the bound only guards against a logic slip.
  for (int round = 0; round < 64; ++round) {
    TLinePos p = store_->LocateLine(first);
    TLineNode *n = p.Node;
    int64_t i = first;
    int64_t start = p.Start;
    while (n && i <= last && !NeedsScan(n)) {
      start += n->Length;
      n = n->Next;
      ++i;
    }
    if (!n || i > last)
      return;
    if (i >= frontier_ && i - frontier_ <= CatchUpLimit) {
      const TLinePos f = store_->LocateLine(frontier_);
      frontier_ = Scan(f.Node, f.Line, f.Start, last, TMode::Sequential);
    } else if (i < frontier_) {
      Scan(n, i, start, last, TMode::Edit);
    } else {
      Scan(n, i, start, last, TMode::Guess);
    }
  }
}

bool TSyntaxHighlighting::Continue(int64_t lines) {
  ChangedFirst = ChangedLast = -1;
  if (!store_ || !highlighter_ || !store_->First())
    return false;
  const int64_t count = store_->LineCount();
  lineCount_ = count;
  if (frontier_ >= count)
    return false;
  const TLinePos f = store_->LocateLine(frontier_);
  frontier_ = Scan(f.Node, f.Line, f.Start, f.Line + std::max<int64_t>(lines, 1) - 1,
                   TMode::Sequential);
  return frontier_ < count;
}
