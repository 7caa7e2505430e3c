// The journal of one open document. Edits are noted in memory as they happen
// (typing runs merge into one record) and written at the next flush: the
// first flush after the document became modified writes the whole text once,
// later ones append only the edits since, so a keystroke in a large document
// costs a few bytes. When the appended edits outgrow the text, the next flush
// writes a fresh snapshot instead.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TJournalWriter;
class TTextStore;

// Where the caret stood and when the document was last edited.
struct TJournalMark {
  int64_t LastEditMs = 0;
  int64_t Anchor = 0;
  int64_t Caret = 0;
  int64_t TopLine = 0;
};

class TDocumentJournal {
public:
  TDocumentJournal(TJournalWriter &writer, std::string path);
  // Removes the journal: a document that goes away cleanly leaves none.
  ~TDocumentJournal();
  TDocumentJournal(const TDocumentJournal &) = delete;
  TDocumentJournal &operator=(const TDocumentJournal &) = delete;

  // Edits of the text, in stored characters and positions.
  void NoteInsert(int64_t pos, const char *text, size_t len, int64_t nowMs);
  void NoteDelete(int64_t pos, int64_t count, int64_t nowMs);
  // The whole text changed (loaded anew): the next flush writes it whole.
  void NoteReplaced(int64_t nowMs);

  // Something to write since the last flush.
  bool Pending() const { return pending_; }
  // Writes what was noted; `store` holds the document's text as it is now.
  void Flush(TTextStore &store, const std::string &fileName, TJournalMark mark);
  // The document has no unsaved edits: its journal goes away until the next edit.
  void Discard();
  // Bytes appended since the last snapshot (compaction's measure).
  uint64_t AppendedBytes() const { return appended_; }
  const std::string &Path() const { return path_; }

private:
  struct TOp {
    bool insert;
    int64_t pos;
    int64_t count;    // delete
    std::string text; // insert
  };
  void Touch(int64_t nowMs);

  TJournalWriter &writer_;
  std::string path_;
  std::string fileName_;
  std::vector<TOp> ops_;
  bool onDisk_ = false;
  bool needSnapshot_ = true;
  bool pending_ = false;
  int64_t lastEditMs_ = 0;
  uint64_t appended_ = 0;
  uint64_t snapshotBytes_ = 0;
};
