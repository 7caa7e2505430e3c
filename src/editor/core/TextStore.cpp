// The line store: node allocation, position look-up, insertion and deletion.
#include "TextStore.h"

#include "NodeArena.h"
#include "UndoStack.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <sys/mman.h>
#include <unistd.h>

namespace {

uint32_t FlagsFor(const char *text, int len) {
  uint32_t f = nfRepaint | nfStale;
  if (std::memchr(text, '\t', static_cast<size_t>(len)))
    f |= nfHasTab;
  return f;
}

// Length of the next node cut from text: after a CR, or kMaxNodeChars.
int CutLength(const char *text, size_t len) {
  const size_t max = std::min<size_t>(len, kMaxNodeChars);
  const void *cr = std::memchr(text, kCR, max);
  return cr ? static_cast<int>(static_cast<const char *>(cr) - text) + 1 : static_cast<int>(max);
}

} // namespace

TTextStore::TTextStore() : undo_(new TUndoStack), pool_(new Pool) {}

TTextStore::~TTextStore() {
  for (TLineNode *n = first_; n; n = n->Next)
    n->FreeExtras();
  delete pool_;
  delete undo_;
}

TLineNode *TTextStore::NewNode(const char *text, int len, int slack) {
  const size_t want = sizeof(TLineNode) + static_cast<size_t>(len) + 1 + static_cast<size_t>(slack);
  const size_t bytes = (want + Pool::kGrain - 1) / Pool::kGrain * Pool::kGrain;
  auto *n = static_cast<TLineNode *>(pool_->Alloc(bytes));
  n->Length = static_cast<uint16_t>(len);
  n->Capacity = static_cast<uint16_t>(bytes - sizeof(TLineNode));
  n->Marks = 0;
  n->Gutter = 0;
  n->Flags = FlagsFor(text, len);
  n->Word1 = -1;
  n->Word2 = -1;
  n->Extra = 0;
  n->Next = nullptr;
  n->Prev = nullptr;
  std::memcpy(n->Text(), text, static_cast<size_t>(len));
  n->Text()[len] = 0;
  if (len > LongestLine)
    LongestLine = len;
  return n;
}

void TTextStore::FreeNode(TLineNode *node) {
  node->FreeExtras();
  pool_->Free(node, sizeof(TLineNode) + node->Capacity);
}

void TTextStore::LinkAfter(TLineNode *prev, TLineNode *node) {
  node->Prev = prev;
  node->Next = prev ? prev->Next : first_;
  if (node->Next)
    node->Next->Prev = node;
  else
    last_ = node;
  if (prev)
    prev->Next = node;
  else
    first_ = node;
  ++lineCount_;
}

void TTextStore::Unlink(TLineNode *node) {
  if (node->Prev)
    node->Prev->Next = node->Next;
  else
    first_ = node->Next;
  if (node->Next)
    node->Next->Prev = node->Prev;
  else
    last_ = node->Prev;
  --lineCount_;
}

void TTextStore::Clear() {
  for (TLineNode *n = first_; n; n = n->Next)
    n->FreeExtras();
  delete pool_;
  pool_ = new Pool;
  first_ = last_ = nullptr;
  lineCount_ = 0;
  charCount_ = 0;
  anchorNode_ = nullptr;
  recent_ = TLinePos{};
  LongestLine = 1;
}

// ---------------------------------------------------------------------------
// Position look-up. Four starting points are always at hand: the first node,
// the last node, the anchor (top line) and the most recent look-up; the walk
// starts from the nearest, so editing near the caret never walks far.

void TTextStore::SetAnchorLine(int64_t line) {
  anchorLine_ = line < 0 ? 0 : line;
  anchorNode_ = nullptr;
}

void TTextStore::RememberRecent(const TLinePos &p) {
  if (p.Node)
    recent_ = p;
}

TLinePos TTextStore::Walk(TLinePos p, int64_t pos) {
  if (pos >= p.Start) {
    while (pos - p.Start >= p.Node->Length) {
      if (!p.Node->Next) {
        if (pos - p.Start == p.Node->Length && p.Node->EndsWithCR())
          return TLinePos{nullptr, p.Line + 1, p.Start + p.Node->Length};
        return p;
      }
      p.Start += p.Node->Length;
      p.Node = p.Node->Next;
      ++p.Line;
    }
  } else {
    while (p.Start > pos) {
      p.Node = p.Node->Prev;
      --p.Line;
      p.Start -= p.Node->Length;
    }
  }
  return p;
}

TLinePos TTextStore::Locate(int64_t pos) {
  if (!first_)
    return TLinePos{};
  pos = std::clamp<int64_t>(pos, 0, charCount_);
  TLinePos best{first_, 0, 0};
  int64_t bestDist = pos;
  auto consider = [&](const TLinePos &c) {
    if (!c.Node)
      return;
    const int64_t d = c.Start > pos ? c.Start - pos : pos - c.Start;
    if (d < bestDist) {
      best = c;
      bestDist = d;
    }
  };
  consider(TLinePos{last_, lineCount_ - 1, charCount_ - last_->Length});
  // An anchor that an edit above it dropped is rebuilt by the next look-up of
  // a line (the painter's), not here: rebuilding it from a position far from
  // the top line would walk that far on every edit of a run of edits.
  if (anchorNode_)
    consider(TLinePos{anchorNode_, anchorLine_, anchorStart_});
  consider(recent_);
  TLinePos r = Walk(best, pos);
  RememberRecent(r);
  return r;
}

TLinePos TTextStore::LocateLine(int64_t line) {
  if (!first_)
    return TLinePos{};
  line = std::clamp<int64_t>(line, 0, lineCount_ - 1);
  TLinePos best{first_, 0, 0};
  int64_t bestDist = line;
  auto consider = [&](const TLinePos &c) {
    if (!c.Node)
      return;
    const int64_t d = c.Line > line ? c.Line - line : line - c.Line;
    if (d < bestDist) {
      best = c;
      bestDist = d;
    }
  };
  consider(TLinePos{last_, lineCount_ - 1, charCount_ - last_->Length});
  if (anchorNode_)
    consider(TLinePos{anchorNode_, anchorLine_, anchorStart_});
  consider(recent_);
  TLinePos p = best;
  while (p.Line < line) {
    p.Start += p.Node->Length;
    p.Node = p.Node->Next;
    ++p.Line;
  }
  while (p.Line > line) {
    p.Node = p.Node->Prev;
    --p.Line;
    p.Start -= p.Node->Length;
  }
  RememberRecent(p);
  if (!anchorNode_) {
    const int64_t top = std::clamp<int64_t>(anchorLine_, 0, lineCount_ - 1);
    if (top == line) {
      anchorNode_ = p.Node;
      anchorStart_ = p.Start;
      anchorLine_ = top; // a top line past the end must not lend its index to the cache
    }
  }
  return p;
}

int64_t TTextStore::LineStart(int64_t line) {
  if (line >= lineCount_ || !first_)
    return charCount_;
  return LocateLine(line).Start;
}

int64_t TTextStore::LogicalLineStart(int64_t pos) {
  const TLinePos p = Locate(pos);
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

char TTextStore::CharAt(int64_t pos) {
  if (pos < 0 || pos >= charCount_)
    return 0;
  TLinePos p = Locate(pos);
  return p.Node ? p.Node->Text()[pos - p.Start] : 0;
}

// ---------------------------------------------------------------------------
// Edits.

void TTextStore::ShiftLists(int64_t pos, int64_t count) {
  Bookmarks.Shift(pos, count);
  if (LineTracks)
    LineTracks->Shift(pos, count);
  Breakpoints.Shift(pos, count);
  CodeBreaks.Shift(pos, count);
}

// Forgets caches that may point at or past a node about to change.
void TTextStore::NoteRemoved(TLineNode *node) {
  if (anchorNode_ == node)
    anchorNode_ = nullptr;
  if (recent_.Node == node)
    recent_ = TLinePos{};
}

TEditSpan TTextStore::InsertNormalised(int64_t pos, const char *text, size_t len) {
  lastFast_ = false;
  TEditSpan span;
  if (len == 0)
    return span;
  pos = std::clamp<int64_t>(pos, 0, charCount_);
  TLinePos p = Locate(pos);
  span.FirstLine = p.Line;
  span.LastLine = p.Line;

  // Fast path: one ordinary character inside a node with room for it.
  if (len == 1 && text[0] != kCR && p.Node && pos - p.Start < p.Node->Length &&
      p.Node->Length < kMaxNodeChars && p.Node->Capacity >= p.Node->Length + 2) {
    TLineNode *n = p.Node;
    const int off = static_cast<int>(pos - p.Start);
    char *t = n->Text();
    std::memmove(t + off + 1, t + off, static_cast<size_t>(n->Length - off) + 1);
    t[off] = text[0];
    ++n->Length;
    n->FreeAttributes();
    n->Flags |= nfRepaint | nfStale;
    if (text[0] == '\t')
      n->Flags |= nfHasTab;
    if (n->Length > LongestLine)
      LongestLine = n->Length;
    charCount_ += 1;
    if (anchorNode_ && anchorLine_ > p.Line)
      anchorStart_ += 1;
    if (recent_.Node && recent_.Line > p.Line)
      recent_.Start += 1;
    ShiftLists(pos, 1);
    lastFast_ = true;
    return span;
  }

  // General path: the node at the position is replaced by nodes cut from
  // its head, the text and its tail.
  std::string joined;
  TLineNode *prev;
  TLineNode *old = p.Node;
  if (old) {
    const size_t off = static_cast<size_t>(pos - p.Start);
    joined.reserve(old->Length + len);
    joined.append(old->Text(), off);
    joined.append(text, len);
    joined.append(old->Text() + off, old->Length - off);
    prev = old->Prev;
  } else {
    joined.assign(text, len);
    prev = last_;
  }
  const int64_t oldLines = lineCount_;
  if (old) {
    NoteRemoved(old);
    Unlink(old);
  }
  // Caches past the edit are stale; the anchor before it keeps its place.
  if (anchorNode_ && anchorLine_ >= p.Line)
    anchorNode_ = nullptr;
  recent_ = TLinePos{};

  const char *s = joined.data();
  size_t left = joined.size();
  TLineNode *at = prev;
  bool firstNew = true;
  int64_t line = p.Line;
  TLinePos firstPos;
  while (left > 0) {
    const int cut = CutLength(s, left);
    // Room for a few typed characters after an edit.
    TLineNode *n = NewNode(s, cut, 15);
    if (firstNew && old) {
      if (TLineAttachment *a = old->TakeAttachment()) {
        n->SetAttachment(a);
        a->Node = n;
      }
      n->Marks = old->Marks;
      n->Gutter = old->Gutter;
      n->Word1 = old->Word1;
      n->Word2 = old->Word2;
    } else if (at && !at->EndsWithCR()) {
      n->Marks = nmContinued;
    }
    LinkAfter(at, n);
    if (firstNew)
      firstPos = TLinePos{n, line, p.Start};
    firstNew = false;
    at = n;
    s += cut;
    left -= static_cast<size_t>(cut);
    ++line;
  }
  if (old)
    FreeNode(old);
  charCount_ += static_cast<int64_t>(len);
  span.LastLine = line - 1;
  span.LineDelta = lineCount_ - oldLines;
  RememberRecent(firstPos);
  ShiftLists(pos, static_cast<int64_t>(len));
  return span;
}

void TTextStore::Append(const char *text, size_t len) {
  if (len == 0)
    return;
  // An open last node (a block ended inside its line) is completed with the
  // head of the text alone; the rest becomes new nodes directly.
  if (last_ && !last_->EndsWithCR() && last_->Length < kMaxNodeChars) {
    const size_t head = static_cast<size_t>(
        CutLength(text, std::min<size_t>(len, static_cast<size_t>(kMaxNodeChars - last_->Length))));
    InsertNormalised(charCount_, text, head);
    text += head;
    len -= head;
  }
  const char *s = text;
  size_t left = len;
  while (left > 0) {
    const int cut = CutLength(s, left);
    TLineNode *n = NewNode(s, cut, 0);
    if (last_ && !last_->EndsWithCR())
      n->Marks = nmContinued;
    // Linking at the tail directly, without a search.
    n->Prev = last_;
    if (last_)
      last_->Next = n;
    else
      first_ = n;
    last_ = n;
    ++lineCount_;
    s += cut;
    left -= static_cast<size_t>(cut);
  }
  charCount_ += static_cast<int64_t>(len);
}

TEditSpan TTextStore::Delete(int64_t pos, int64_t count) {
  lastFast_ = false;
  TEditSpan span;
  pos = std::clamp<int64_t>(pos, 0, charCount_);
  count = std::clamp<int64_t>(count, 0, charCount_ - pos);
  if (count == 0)
    return span;
  if (pos == 0 && count == charCount_) {
    span.LineDelta = -lineCount_;
    Clear();
    ShiftLists(0, -count);
    return span;
  }
  TLinePos s = Locate(pos);
  TLinePos e = Locate(pos + count);
  span.FirstLine = s.Line;
  span.LastLine = s.Line;
  std::string joined;
  joined.append(s.Node->Text(), static_cast<size_t>(pos - s.Start));
  if (e.Node)
    joined.append(e.Node->Text() + (pos + count - e.Start),
                  static_cast<size_t>(e.Node->Length - (pos + count - e.Start)));
  TLineNode *prev = s.Node->Prev;
  TLineNode *stop = e.Node ? e.Node->Next.Get() : nullptr;
  const int64_t oldLines = lineCount_;
  if (anchorNode_ && anchorLine_ >= s.Line)
    anchorNode_ = nullptr;
  recent_ = TLinePos{};

  // Keep the first node's attachment and words for the joined line.
  TLineNode *keep = s.Node;
  TLineAttachment *attachment = keep->TakeAttachment();
  uint16_t marks = keep->Marks;
  uint16_t gutter = keep->Gutter;
  const int32_t w1 = keep->Word1, w2 = keep->Word2;
  for (TLineNode *n = s.Node; n != stop;) {
    TLineNode *next = n->Next;
    if (n != keep) {
      if (!(marks & nmBookmarkMask))
        marks = static_cast<uint16_t>(marks | (n->Marks & nmBookmarkMask));
      gutter = static_cast<uint16_t>(gutter | n->Gutter);
      if (!attachment && n->Attachment())
        attachment = n->TakeAttachment();
    }
    Unlink(n);
    FreeNode(n);
    n = next;
  }
  charCount_ -= count;

  const char *t = joined.data();
  size_t left = joined.size();
  TLineNode *at = prev;
  bool firstNew = true;
  int64_t line = s.Line;
  TLinePos firstPos;
  while (left > 0) {
    const int cut = CutLength(t, left);
    TLineNode *n = NewNode(t, cut, 15);
    if (firstNew) {
      if (attachment) {
        n->SetAttachment(attachment);
        attachment->Node = n;
        attachment = nullptr;
      }
      n->Marks = marks;
      n->Gutter = gutter;
      n->Word1 = w1;
      n->Word2 = w2;
      firstPos = TLinePos{n, line, s.Start};
    } else if (at && !at->EndsWithCR()) {
      n->Marks = nmContinued;
    }
    LinkAfter(at, n);
    firstNew = false;
    at = n;
    t += cut;
    left -= static_cast<size_t>(cut);
    ++line;
  }
  delete attachment;
  // The node after the edit continues a line exactly when its predecessor has no CR.
  TLineNode *after = at ? at->Next : first_;
  if (after) {
    if (at && !at->EndsWithCR())
      after->Marks |= nmContinued;
    else
      after->Marks &= static_cast<uint16_t>(~nmContinued);
  }
  span.LastLine = line > s.Line ? line - 1 : s.Line;
  span.LineDelta = lineCount_ - oldLines;
  RememberRecent(firstPos);
  ShiftLists(pos, -count);
  return span;
}

std::string TTextStore::GetText(int64_t start, int64_t end) {
  std::string out;
  start = std::clamp<int64_t>(start, 0, charCount_);
  end = std::clamp<int64_t>(end, 0, charCount_);
  if (end <= start)
    return out;
  out.reserve(static_cast<size_t>(end - start));
  ForEachChunk(start, end, [&](const char *p, size_t n) { out.append(p, n); });
  return out;
}

void TTextStore::ForEachChunk(int64_t start, int64_t end,
                              const std::function<void(const char *, size_t)> &f) {
  start = std::clamp<int64_t>(start, 0, charCount_);
  end = std::clamp<int64_t>(end, 0, charCount_);
  if (end <= start)
    return;
  TLinePos p = Locate(start);
  TLineNode *n = p.Node;
  int64_t off = start - p.Start;
  int64_t left = end - start;
  while (n && left > 0) {
    const int64_t take = std::min<int64_t>(left, n->Length - off);
    f(n->Text() + off, static_cast<size_t>(take));
    left -= take;
    off = 0;
    n = n->Next;
  }
}

std::string TTextStore::DebugDump() const {
  std::string out;
  for (const TLineNode *n = first_; n; n = n->Next) {
    out += '[';
    for (int i = 0; i < n->Length; ++i) {
      const char c = n->Text()[i];
      if (c == kCR)
        out += "\\r";
      else if (c == '\t')
        out += "\\t";
      else
        out += c;
    }
    out += ']';
    if (n->Marks & nmContinued)
      out += '+';
    out += '\n';
  }
  return out;
}

std::string TTextStore::CheckInvariants() const {
  int64_t lines = 0, chars = 0;
  const TLineNode *prev = nullptr;
  for (const TLineNode *n = first_; n; n = n->Next) {
    if (n->Prev != prev)
      return "broken back link at line " + std::to_string(lines);
    if (n->Length == 0)
      return "empty node at line " + std::to_string(lines);
    if (n->Length > kMaxNodeChars)
      return "node longer than the limit at line " + std::to_string(lines);
    if (n->Next && !n->EndsWithCR() && !(n->Next->Marks & nmContinued))
      return "continued node without its mark at line " + std::to_string(lines + 1);
    if (n->Marks & nmContinued && (!prev || prev->EndsWithCR()))
      return "stray continuation mark at line " + std::to_string(lines);
    if (n->Text()[n->Length] != 0)
      return "missing NUL at line " + std::to_string(lines);
    if (const TLineAttachment *a = n->Attachment(); a && a->Node != n)
      return "attachment pointing elsewhere at line " + std::to_string(lines);
    bool tab = false;
    for (int i = 0; i < n->Length; ++i) {
      const auto c = static_cast<unsigned char>(n->Text()[i]);
      if (c == '\t')
        tab = true;
      else if (c == 13 ? i != n->Length - 1 : c < 32)
        return "bad character at line " + std::to_string(lines);
    }
    if (tab && !(n->Flags & nfHasTab))
      return "TAB flag missing at line " + std::to_string(lines);
    chars += n->Length;
    ++lines;
    prev = n;
  }
  if (prev != last_)
    return "last node pointer wrong";
  if (lines != lineCount_)
    return "line count " + std::to_string(lineCount_) + " but " + std::to_string(lines) + " nodes";
  if (chars != charCount_)
    return "char count wrong";
  return {};
}

// ---------------------------------------------------------------------------
// Normalisation.

size_t TNormaliser::Feed(const char *in, size_t n, char *out) {
  size_t j = 0;
  size_t i = 0;
  if (lastCR_ && n > 0 && in[0] == 10)
    i = 1;
  lastCR_ = false;
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHighs = 0x8080808080808080ull;
  while (i < n) {
    // Ordinary text is copied eight bytes at a time until a control byte
    // (below 32) shows up in the word.
    while (i + 8 <= n) {
      uint64_t w;
      std::memcpy(&w, in + i, 8);
      if ((w - kOnes * 32) & ~w & kHighs)
        break;
      std::memcpy(out + j, &w, 8);
      i += 8;
      j += 8;
    }
    if (i >= n)
      break;
    const auto c = static_cast<unsigned char>(in[i]);
    if (c >= 32 || c == '\t') {
      out[j++] = static_cast<char>(c);
    } else if (c == 13) {
      out[j++] = kCR;
      ++OtherBreaks;
      if (i + 1 < n) {
        if (in[i + 1] == 10)
          ++i;
      } else {
        lastCR_ = true;
      }
    } else if (c == 10) {
      out[j++] = kCR;
      ++LoneLF;
    } else {
      out[j++] = '.';
    }
    ++i;
  }
  return j;
}

std::string NormaliseText(const char *data, size_t len) {
  std::string out;
  out.resize(len);
  TNormaliser n;
  out.resize(n.Feed(data, len, out.data()));
  return out;
}

void TTextStore::SwapText(TTextStore &o) {
  std::swap(first_, o.first_);
  std::swap(last_, o.last_);
  std::swap(lineCount_, o.lineCount_);
  std::swap(charCount_, o.charCount_);
  std::swap(pool_, o.pool_);
  std::swap(LongestLine, o.LongestLine);
  anchorNode_ = o.anchorNode_ = nullptr;
  recent_ = o.recent_ = TLinePos{};
}
