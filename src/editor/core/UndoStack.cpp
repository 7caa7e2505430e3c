// The undo history's stack of records and its size, save point and limit.
#include "UndoStack.h"

#include "Streams.h"

#include <cstdlib>
#include <cstring>
#include <new>

TStack::~TStack() {
  Clear();
}

void TStack::FreeEntry(Entry *e) {
  totalSize_ -= kUndoEntryOverhead + e->Size;
  if (OnFree)
    OnFree(e->Record);
  std::free(e);
}

void TStack::DiscardAbove() {
  while (top_ && top_ != cursor_) {
    Entry *e = top_;
    top_ = e->Prev;
    if (top_)
      top_->Next = nullptr;
    else
      bottom_ = nullptr;
    FreeEntry(e);
  }
}

TUndoRecord *TStack::Push(const TUndoRecord &record, int64_t payload, const char *text,
                          size_t len) {
  DiscardAbove();
  const size_t bytes = sizeof(Entry) + sizeof(TUndoRecord) + (text ? len + 1 : 0);
  void *block = std::malloc(bytes);
  if (!block)
    throw std::bad_alloc();
  auto *e = new (block) Entry;
  auto *r = new (static_cast<char *>(block) + sizeof(Entry)) TUndoRecord(record);
  if (text) {
    char *copy = reinterpret_cast<char *>(r + 1);
    std::memcpy(copy, text, len);
    copy[len] = 0;
    r->Object = reinterpret_cast<intptr_t>(copy);
  }
  static uint64_t serials = 0;
  e->Record = r;
  e->Size = payload;
  e->Serial = ++serials;
  e->Prev = top_;
  if (top_)
    top_->Next = e;
  else
    bottom_ = e;
  top_ = e;
  cursor_ = e;
  totalSize_ += kUndoEntryOverhead + payload;
  ++doneCount_;
  return r;
}

TUndoRecord *TStack::Pop() {
  if (!cursor_ || doneCount_ <= 0)
    throw ESyntaxMemo("Stack underflow");
  TUndoRecord *r = cursor_->Record;
  cursor_ = cursor_->Prev;
  --doneCount_;
  return r;
}

TUndoRecord *TStack::PeekRedo() const {
  if (cursor_)
    return cursor_->Next ? cursor_->Next->Record : nullptr;
  return bottom_ ? bottom_->Record : nullptr;
}

TUndoRecord *TStack::PopRedo() {
  Entry *next = cursor_ ? cursor_->Next : bottom_;
  if (!next)
    throw ESyntaxMemo("Stack underflow");
  cursor_ = next;
  ++doneCount_;
  return next->Record;
}

void TStack::RemoveBottom() {
  Entry *e = bottom_;
  if (!e)
    return;
  // With a cursor, the bottom entry is at or below it: done.
  const bool done = cursor_ != nullptr;
  bottom_ = e->Next;
  if (bottom_)
    bottom_->Prev = nullptr;
  else
    top_ = nullptr;
  if (cursor_ == e)
    cursor_ = nullptr;
  if (done)
    --doneCount_;
  FreeEntry(e);
}

void TStack::DropTop() {
  Entry *e = top_;
  if (!e || e != cursor_)
    return;
  top_ = cursor_ = e->Prev;
  if (top_)
    top_->Next = nullptr;
  else
    bottom_ = nullptr;
  --doneCount_;
  FreeEntry(e);
}

void TStack::Clear() {
  while (top_) {
    Entry *e = top_;
    top_ = e->Prev;
    FreeEntry(e);
  }
  bottom_ = cursor_ = nullptr;
  totalSize_ = 0;
  doneCount_ = 0;
}

TUndoStack::TUndoStack() {
  // A discarded save point can never be reached again: no later entry has its serial.
  OnFree = [](TUndoRecord *r) { FreeRecord(r); };
}

TUndoStack::~TUndoStack() {
  Clear();
}

void TUndoStack::FreeRecord(TUndoRecord *r) {
  if (r && r->Type == urStream)
    delete reinterpret_cast<TStream *>(r->Object);
}

void TUndoStack::PushSelection(int64_t anchor, int64_t caret) {
  Push({0, urSelection, static_cast<intptr_t>(anchor), static_cast<intptr_t>(caret)}, 0);
}

void TUndoStack::PushMarker(int32_t kind, int32_t extra) {
  Push({extra, urMarker, kind, 0}, 0);
}

void TUndoStack::PushText(const char *text, size_t len) {
  // No text is a null Object, as an empty removal or insertion reads back.
  const bool some = text && len > 0;
  Push({0, urText, 0, 0}, static_cast<int64_t>(some ? len : 0), some ? text : nullptr, len);
}

void TUndoStack::PushStream(TStream *stream) {
  const int64_t size = stream ? stream->Size() + static_cast<int64_t>(sizeof(TMemoryStream)) : 0;
  try {
    Push({0, urStream, reinterpret_cast<intptr_t>(stream), 0}, size);
  } catch (...) {
    delete stream; // the stack was to own it
    throw;
  }
}

void TUndoStack::TrimToLimit() {
  if (Limit < 0)
    return;
  while (totalSize_ > Limit && bottom_) {
    // A whole unit (transaction or bracket) holds two markers.
    int markers = 0;
    while (bottom_ && markers < 2) {
      if (bottom_->Record && bottom_->Record->Type == urMarker)
        ++markers;
      // Once the save point's state leaves the history it cannot come back.
      if (SavedCount == 0 || SavedCount == -1 ||
          (SavedRecord != -1 && static_cast<intptr_t>(bottom_->Serial) == SavedRecord))
        SavedCount = -2;
      else if (SavedCount > 0)
        --SavedCount;
      RemoveBottom();
    }
  }
}

void TUndoStack::TakeSavePoint() {
  SavedCount = doneCount_;
  SavedRecord = cursor_ ? static_cast<intptr_t>(cursor_->Serial) : -1;
}

bool TUndoStack::Modified() const {
  if (SavedCount == -1)
    return doneCount_ > 0;
  if (doneCount_ != SavedCount)
    return true;
  return doneCount_ > 0 && static_cast<intptr_t>(CursorSerial()) != SavedRecord;
}

void TUndoStack::ClearAll() {
  Clear();
  SavedCount = -1;
  SavedRecord = -1;
  GroupOpen = false;
  GroupKind = 0;
}
