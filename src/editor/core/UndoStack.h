// The undo history of one text store: a stack of typed records grouped into
// transactions (one replacement each) and group brackets (one user step).
#pragma once

#include "TextStore.h"

#include <cstdint>
#include <functional>

class TStream;

// Record types.
constexpr int32_t urSelection = 0;
constexpr int32_t urText = 1;
constexpr int32_t urStream = 4;
constexpr int32_t urMarker = 5;
// Marker extras.
constexpr int32_t umGroupStart = 2;
constexpr int32_t umGroupEnd = 3;
// Transaction kinds and the first group kind.
constexpr int32_t tkText = 1;
constexpr int32_t tkStream = 4;
constexpr int32_t tkFirstGroup = 13;

// Header of every record. Object is the anchor (selection), a NUL-terminated
// text copy or null (text), a TStream* (stream) or the kind (marker).
struct TUndoRecord {
  int32_t Extra = 0;
  int32_t Type = 0;
  intptr_t Object = 0;
  intptr_t Value = 0;
};
// The size accounting counts every entry as this many bytes plus its payload.
constexpr int64_t kUndoEntryOverhead = 16;

class TStack {
public:
  struct Entry {
    Entry *Prev = nullptr; // towards the bottom
    Entry *Next = nullptr;
    TUndoRecord *Record = nullptr;
    int64_t Size = 0; // payload size
    // Unique in the process, never reused: a save point names the entry by
    // it, as a freed entry's memory (and so its record's address) soon holds
    // another one.
    uint64_t Serial = 0;
  };

  TStack() = default;
  virtual ~TStack();
  TStack(const TStack &) = delete;
  TStack &operator=(const TStack &) = delete;

  // A new entry above the cursor; undone entries above it are discarded first.
  // The entry holds a copy of the record and, when text is given, a
  // NUL-terminated copy of it that the record's Object then points at: entry,
  // record and text are one allocation, as a long history (a Replace All over
  // a large file) holds millions of them. Returns the entry's record.
  TUndoRecord *Push(const TUndoRecord &record, int64_t payload, const char *text = nullptr,
                    size_t len = 0);
  // Takes the record at the cursor (moves the cursor down); "Stack underflow"
  // when nothing is done.
  TUndoRecord *Pop();
  // Moves the cursor up and returns the record there (redo); null at the top.
  TUndoRecord *PopRedo();
  // The record at the cursor, or null.
  TUndoRecord *Peek() const { return cursor_ ? cursor_->Record : nullptr; }
  // The serial of the entry at the cursor, 0 when nothing is done.
  uint64_t CursorSerial() const { return cursor_ ? cursor_->Serial : 0; }
  // The record just above the cursor (next to redo), or null.
  TUndoRecord *PeekRedo() const;
  void Clear();
  // Discards entries from the bottom.
  void RemoveBottom();
  // Discards the top entry when it is the cursor (a just-pushed record).
  void DropTop();

  Entry *Bottom() const { return bottom_; }
  Entry *Top() const { return top_; }
  Entry *Cursor() const { return cursor_; }
  int64_t TotalSize() const { return totalSize_; }
  int64_t DoneCount() const { return doneCount_; }
  bool CanRedo() const { return cursor_ != top_; }

  // Called with each record the stack discards, just before its entry (and so
  // the record) is freed.
  std::function<void(TUndoRecord *)> OnFree;

protected:
  void DiscardAbove();
  void FreeEntry(Entry *e);

  Entry *bottom_ = nullptr;
  Entry *top_ = nullptr;
  Entry *cursor_ = nullptr;
  int64_t totalSize_ = 0;
  int64_t doneCount_ = 0;
};

class TUndoStack : public TStack {
public:
  TUndoStack();
  ~TUndoStack() override;

  int64_t SavedCount = -1;   // -1 = no save point
  intptr_t SavedRecord = -1; // serial of the entry at the cursor at the save point; -1 none
  int32_t GroupKind = 0;
  bool GroupOpen = false;
  int64_t Limit = -1; // bytes, -1 = unlimited

  // Pushes one record; the caller gives the payload size for the limit.
  void PushSelection(int64_t anchor, int64_t caret);
  void PushMarker(int32_t kind, int32_t extra);
  void PushText(const char *text, size_t len); // null/empty: no text
  void PushStream(TStream *stream);            // takes ownership
  // Removes whole transactions from the bottom until the size fits the limit.
  void TrimToLimit();
  void TakeSavePoint();
  bool Modified() const;
  // Discards everything and resets the save point.
  void ClearAll();

  // Releases what a record owns beyond its entry (a stream record's stream).
  static void FreeRecord(TUndoRecord *r);
};
