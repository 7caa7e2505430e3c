// One document's text: a doubly linked list of line nodes with the undo stack,
// bookmarks and mark lists that belong to that text. Positions are 0-based
// character offsets in which every line break (a stored CR) counts as one.
#pragma once

#include "KorvexError.h"
#include "PositionLists.h"
#include "TabStops.h"
#include "TextMarks.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

KX_DECLARE_ERROR(ESyntaxMemo, EKorvexError);
KX_DECLARE_ERROR(EFileSaveError, EKorvexError);

class TUndoStack;
class TCustomSyntaxMemo;
class TTextStore;
struct TLineNode;

enum TSelLineStyle : int32_t { lsCRLF = 0, lsLF = 1 };

constexpr int kMaxNodeChars = 2047; // no node holds more
constexpr int kInsertPiece = 8192;  // text enters the store in pieces of at most this
constexpr char kCR = 13;

// Node flag bits.
constexpr uint32_t nfRepaint = 0x1;
constexpr uint32_t nfStale = 0x2;  // attributes / highlighting out of date
constexpr uint32_t nfHasTab = 0x4; // column arithmetic takes the slow path
// First marker word: numbered bookmarks 0..9 and the continuation bit.
constexpr uint16_t nmBookmarkMask = 0x03FF;
constexpr uint16_t nmContinued = 4096; // the previous node does not end with CR

// An object a line owns (a mark or track record); it points back at its node
// and moves to the first resulting node when the line is split or merged.
class TLineAttachment {
public:
  virtual ~TLineAttachment() = default;
  TLineNode *Node = nullptr;
};

// The line attributes and attachment of a node live in a side table rather than
// in the node: few lines have either at a time (attributes only once a line is
// highlighted, attachments only for marked lines), and a node of a million-line
// file should not pay 16 bytes for two pointers that are mostly null. Like the
// nodes themselves the table is used from the editor's thread only.
struct TNodeExtras {
  uint8_t *Attributes = nullptr;
  TLineAttachment *Attachment = nullptr;
};
namespace kxnode {
std::vector<TNodeExtras> &ExtrasTable();
uint32_t AcquireExtras();
void ReleaseExtras(uint32_t index);
// Slots in use: every node with attributes or an attachment holds one.
size_t LiveExtras();
} // namespace kxnode

// A link to another node held as its distance in 4-byte units (4 bytes rather
// than 8). Every node of a store is carved from that store's own arena, which
// is one reserved address range of at most 8 GB, so the distance always fits.
template <class T> class TNodeLink {
public:
  TNodeLink() = default; // trivial: nodes are carved from raw memory
  TNodeLink(const TNodeLink &) = delete;
  TNodeLink &operator=(const TNodeLink &other) {
    Set(other.Get());
    return *this;
  }
  TNodeLink &operator=(T *p) {
    Set(p);
    return *this;
  }
  operator T *() const { return Get(); }
  T *operator->() const { return Get(); }
  T *Get() const {
    if (!units_)
      return nullptr;
    return reinterpret_cast<T *>(reinterpret_cast<uintptr_t>(this) +
                                 static_cast<uintptr_t>(static_cast<intptr_t>(units_) * 4));
  }

private:
  void Set(T *p) {
    if (!p) {
      units_ = 0;
      return;
    }
    const intptr_t diff =
        static_cast<intptr_t>(reinterpret_cast<uintptr_t>(p) - reinterpret_cast<uintptr_t>(this));
    units_ = static_cast<int32_t>(diff / 4);
    if (static_cast<intptr_t>(units_) * 4 != diff)
      LinkOutOfRange();
  }
  [[noreturn]] static void LinkOutOfRange();
  int32_t units_;
};

// The text follows the header in the same allocation; Capacity bytes are
// available there, always enough for Length characters plus the NUL. The
// header is 32 bytes: on a typical source file it is more than the text.
struct TLineNode {
  uint16_t Length;   // characters including the terminating CR
  uint16_t Capacity; // bytes of text storage (allocation detail)
  uint16_t Marks;    // bookmark bits 0..9, nmContinued
  uint16_t Gutter;   // gutter-mark bits of the breakpoint lists
  uint32_t Flags;
  int32_t Word1; // -1 for new nodes, carried over like the marker words
  int32_t Word2;
  uint32_t Extra; // index of the attributes and attachment, 0 for none
  TNodeLink<TLineNode> Next;
  TNodeLink<TLineNode> Prev;

  TLineNode(const TLineNode &) = delete;
  TLineNode &operator=(const TLineNode &) = delete;

  char *Text() { return reinterpret_cast<char *>(this + 1); }
  const char *Text() const { return reinterpret_cast<const char *>(this + 1); }
  bool EndsWithCR() const { return Length > 0 && Text()[Length - 1] == kCR; }
  // Length without the terminating CR.
  int TextLength() const { return EndsWithCR() ? Length - 1 : Length; }

  // One style byte per character, or null; dropped whenever the text changes.
  uint8_t *Attributes() const { return Extra ? kxnode::ExtrasTable()[Extra].Attributes : nullptr; }
  // The attributes, allocated (zeroed, at least one byte) when absent.
  uint8_t *AllocAttributes();
  void FreeAttributes();
  // The object the line owns, or null.
  TLineAttachment *Attachment() const {
    return Extra ? kxnode::ExtrasTable()[Extra].Attachment : nullptr;
  }
  // Hands the line an attachment (the previous one is not freed) or none.
  void SetAttachment(TLineAttachment *a);
  // Removes the attachment and returns it to the caller.
  TLineAttachment *TakeAttachment();
  // Frees the attributes and the attachment.
  void FreeExtras();

private:
  TLineNode() = default;
  void DropEmptyExtra();
};
static_assert(sizeof(TLineNode) == 32);

// Where a position or line lives: its node, line index and the node's start.
struct TLinePos {
  TLineNode *Node = nullptr;
  int64_t Line = 0;
  int64_t Start = 0;
};

// Result of a store edit: the lines that now hold new text.
struct TEditSpan {
  int64_t FirstLine = 0;
  int64_t LastLine = 0;
  int64_t LineDelta = 0; // change of the line count
};

class TTextStore {
public:
  TTextStore();
  ~TTextStore();
  TTextStore(const TTextStore &) = delete;
  TTextStore &operator=(const TTextStore &) = delete;

  // --- fields, in the store's order ---
  TLineNode *First() const { return first_; }
  TLineNode *Last() const { return last_; }
  std::vector<TCustomSyntaxMemo *> Controls; // controls that show this store
  int64_t LineCount() const { return lineCount_; }
  int64_t CharCount() const { return charCount_; }
  int LongestLine = 1; // longest-line indicator
  TUndoStack *UndoStack() const { return undo_; }
  // Replaces the stack without freeing the old one (the caller holds it).
  void SetUndoStack(TUndoStack *stack) { undo_ = stack; }
  TSM_LineTracks *LineTracks = nullptr; // not owned
  uint16_t BookmarkColumns[10] = {};    // 1-based columns, 0 = not set
  TCustomBookmarks Bookmarks;
  std::vector<std::string> Strings;
  TSelLineStyle LineStyle = lsCRLF;
  TSM_Breakpoints Breakpoints;
  TSM_CodeBreak CodeBreaks;
  // Text marks (search hits and the like) drawn over the text; the showing
  // control moves them with every edit.
  TTextMarks TextMarks;

  // --- position look-up ---
  // The anchor (top visible line) cache: a line index the viewing control sets.
  void SetAnchorLine(int64_t line);
  int64_t AnchorLine() const { return anchorLine_; }
  // Node, line and line start of a position (clamped to 0..CharCount). A
  // position equal to the last node's length is the line after it only if that
  // node ends with CR; then Node is null and Start is CharCount.
  TLinePos Locate(int64_t pos);
  // Node of a line index, clamped to the last node (null when empty).
  TLinePos LocateLine(int64_t line);
  // Line index of a position; a position after a final CR is LineCount.
  int64_t LineOfPos(int64_t pos) { return Locate(pos).Line; }
  // Start position of a line; past the end gives CharCount.
  int64_t LineStart(int64_t line);
  // Start of the logical line holding pos: the nodes a long or wrapped line
  // is cut into (all but the last end without CR) count as one line.
  int64_t LogicalLineStart(int64_t pos);
  // The character at pos (0 at or past the end).
  char CharAt(int64_t pos);

  // --- text in and out ---
  // Inserts normalised text (no LF, no control bytes but TAB and CR) at pos.
  TEditSpan InsertNormalised(int64_t pos, const char *text, size_t len);
  // Removes count characters from pos.
  TEditSpan Delete(int64_t pos, int64_t count);
  // Frees every node.
  void Clear();
  // Appends normalised text at the end without searching (the loader's path).
  void Append(const char *text, size_t len);
  // Stored text between two positions (CR line breaks).
  std::string GetText(int64_t start, int64_t end);
  // Visits the stored text between two positions chunk by chunk.
  void ForEachChunk(int64_t start, int64_t end, const std::function<void(const char *, size_t)> &f);

  // Callbacks told about every insert (count > 0) and delete (count < 0).
  std::function<void()> OnBookmarkChange;

  // A textual dump of the node list, a test oracle.
  std::string DebugDump() const;
  // Verifies every invariant; returns an empty string or the first violation.
  std::string CheckInvariants() const;

  // Exchanges the whole text (nodes, counts, caches) with another store; the
  // undo stack, bookmarks and lists stay where they are.
  void SwapText(TTextStore &other);

  // Re-cuts the rows of the logical line whose first row is `head` into rows
  // of the given lengths (their sum is the line's length): word wrap. No
  // position moves; marks of the rows gather on the first. Returns the first
  // row of the next logical line. Defined in WordWrap.cpp.
  TLineNode *RecutLine(TLineNode *head, const std::vector<int> &rows);

  // Raw node allocation (tests and the loader); nodes belong to this store.
  TLineNode *NewNode(const char *text, int len, int slack);
  void FreeNode(TLineNode *node);
  // The fast single-character path was taken by the last insert.
  bool LastInsertWasFast() const { return lastFast_; }

  // The store's node arena (opaque); line attributes are carved from it too.
  struct Pool;

private:
  void LinkAfter(TLineNode *prev, TLineNode *node);
  void Unlink(TLineNode *node);
  void ShiftLists(int64_t pos, int64_t count);
  void NoteRemoved(TLineNode *node);
  void RememberRecent(const TLinePos &p);
  TLinePos Walk(TLinePos from, int64_t pos);

  TLineNode *first_ = nullptr;
  TLineNode *last_ = nullptr;
  int64_t lineCount_ = 0;
  int64_t charCount_ = 0;
  TUndoStack *undo_ = nullptr;
  Pool *pool_ = nullptr;
  // Look-up caches: the anchor (top line) and the most recent look-up.
  TLineNode *anchorNode_ = nullptr;
  int64_t anchorLine_ = 0;
  int64_t anchorStart_ = 0;
  TLinePos recent_;
  bool lastFast_ = false;
};

// Normalises raw bytes for the store: CR LF, CR and LF become CR; control
// bytes other than TAB become '.'. A trailing CR of the input is kept (its LF
// may come in the next block; callers that read in blocks handle that).
std::string NormaliseText(const char *data, size_t len);

// The same rules over a sequence of blocks: a CR at the end of one block and
// an LF at the start of the next give one line break.
class TNormaliser {
public:
  // Writes at most n bytes to out; returns how many.
  size_t Feed(const char *in, size_t n, char *out);
  void Reset() {
    lastCR_ = false;
    LoneLF = OtherBreaks = 0;
  }
  // The line breaks seen so far: lone LF, and CR LF or lone CR.
  int64_t LoneLF = 0;
  int64_t OtherBreaks = 0;

private:
  bool lastCR_ = false;
};
