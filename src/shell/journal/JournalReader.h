// Reads a document journal back: the header, the snapshot, then each edit
// applied in turn to a text store. Every byte is untrusted: a record that is
// cut off, fails its CRC or names a position outside the text ends the
// reading, and what came before it stands.
#pragma once

#include "DocumentJournal.h"

#include <cstdint>
#include <memory>
#include <string>

class TTextStore;

struct TRecoveredJournal {
  // A header and a whole snapshot were found: Text holds something.
  bool Usable = false;
  std::string FileName;
  int64_t CreatedMs = 0;
  TJournalMark Mark;
  std::unique_ptr<TTextStore> Text;
  int64_t EditsApplied = 0;
  // Bytes after the last whole record (0 for an intact journal).
  uint64_t LostBytes = 0;
  uint64_t TotalBytes = 0;
};

TRecoveredJournal ReadJournal(const char *data, size_t size);
// Reads the file at `path`; a missing or unreadable file gives an unusable result.
TRecoveredJournal ReadJournalFile(const std::string &path);
