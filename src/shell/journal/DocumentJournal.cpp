#include "DocumentJournal.h"

#include "JournalRecords.h"
#include "JournalWriter.h"
#include "TextStore.h"

#include <algorithm>

using namespace kxjournal;

TDocumentJournal::TDocumentJournal(TJournalWriter &writer, std::string path)
    : writer_(writer), path_(std::move(path)) {}

TDocumentJournal::~TDocumentJournal() {
  Discard();
}

void TDocumentJournal::Touch(int64_t nowMs) {
  lastEditMs_ = nowMs;
  pending_ = true;
}

void TDocumentJournal::NoteInsert(int64_t pos, const char *text, size_t len, int64_t nowMs) {
  if (len == 0)
    return;
  Touch(nowMs);
  if (needSnapshot_)
    return; // the snapshot will hold it
  // Typing: each character lands where the last one ended.
  if (!ops_.empty() && ops_.back().insert &&
      ops_.back().pos + static_cast<int64_t>(ops_.back().text.size()) == pos &&
      ops_.back().text.size() < 4096) {
    ops_.back().text.append(text, len);
    return;
  }
  ops_.push_back({true, pos, 0, std::string(text, len)});
}

void TDocumentJournal::NoteDelete(int64_t pos, int64_t count, int64_t nowMs) {
  if (count <= 0)
    return;
  Touch(nowMs);
  if (needSnapshot_)
    return;
  if (!ops_.empty()) {
    TOp &last = ops_.back();
    // Backspace over what was just typed takes it back out of the record.
    if (last.insert && pos >= last.pos &&
        pos + count == last.pos + static_cast<int64_t>(last.text.size())) {
      last.text.resize(static_cast<size_t>(pos - last.pos));
      if (last.text.empty())
        ops_.pop_back();
      return;
    }
    // Backspace and Delete runs.
    if (!last.insert && (pos + count == last.pos || pos == last.pos)) {
      last.pos = std::min(pos, last.pos);
      last.count += count;
      return;
    }
  }
  ops_.push_back({false, pos, count, {}});
}

void TDocumentJournal::NoteReplaced(int64_t nowMs) {
  Touch(nowMs);
  needSnapshot_ = true;
  ops_.clear();
}

void TDocumentJournal::Flush(TTextStore &store, const std::string &fileName, TJournalMark mark) {
  if (!pending_)
    return;
  mark.LastEditMs = lastEditMs_;
  std::string markPayload;
  PutI64(markPayload, mark.LastEditMs);
  PutI64(markPayload, mark.Anchor);
  PutI64(markPayload, mark.Caret);
  PutI64(markPayload, mark.TopLine);
  std::string markRecord;
  AppendRecord(markRecord, TRecordType::Mark, markPayload);

  if (fileName != fileName_)
    needSnapshot_ = true;
  // Appended edits larger than the text itself: one snapshot is cheaper to read.
  if (appended_ > std::max<uint64_t>(1u << 20, snapshotBytes_))
    needSnapshot_ = true;
  if (static_cast<uint64_t>(store.CharCount()) > MaxPayload) {
    // Too large for one record; such a text is not journaled at all.
    ops_.clear();
    pending_ = false;
    return;
  }

  if (needSnapshot_) {
    std::string head(Magic);
    std::string headerPayload;
    PutI64(headerPayload, mark.LastEditMs);
    headerPayload += fileName;
    AppendRecord(head, TRecordType::Header, headerPayload);
    std::string text;
    text.reserve(static_cast<size_t>(store.CharCount()));
    store.ForEachChunk(0, store.CharCount(),
                       [&text](const char *p, size_t n) { text.append(p, n); });
    snapshotBytes_ = text.size();
    writer_.Replace(path_, std::move(head), std::move(text), std::move(markRecord));
    fileName_ = fileName;
    needSnapshot_ = false;
    onDisk_ = true;
    appended_ = 0;
  } else {
    std::string bytes;
    for (const TOp &op : ops_) {
      std::string payload;
      PutI64(payload, op.pos);
      if (op.insert) {
        payload += op.text;
        AppendRecord(bytes, TRecordType::Insert, payload);
      } else {
        PutI64(payload, op.count);
        AppendRecord(bytes, TRecordType::Delete, payload);
      }
    }
    bytes += markRecord;
    appended_ += bytes.size();
    writer_.Append(path_, std::move(bytes));
  }
  ops_.clear();
  pending_ = false;
}

void TDocumentJournal::Discard() {
  if (onDisk_)
    writer_.Remove(path_);
  onDisk_ = false;
  needSnapshot_ = true;
  pending_ = false;
  ops_.clear();
  appended_ = 0;
  fileName_.clear();
}
