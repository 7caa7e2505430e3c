// What a document's file on disk looked like when it was opened or saved:
// whether it existed, its size, its time stamp and a hash of its bytes. A
// later stamp that differs in any of them means another program changed it.
#pragma once

#include <cstdint>
#include <string>

struct TDiskStamp {
  bool Known = false; // taken at all (untitled documents have none)
  bool Exists = false;
  int64_t Size = 0;
  int64_t ModifiedNs = 0;
  uint64_t Hash = 0;

  // Reads the file as it is now (a file that cannot be read counts as absent).
  static TDiskStamp Of(const std::string &path);
  bool SameAs(const TDiskStamp &other) const {
    return Exists == other.Exists && Size == other.Size && ModifiedNs == other.ModifiedNs &&
           Hash == other.Hash;
  }
};

// A 64-bit hash of bytes, eight at a time (not for security: it tells two
// versions of a file apart).
uint64_t ContentHash(const char *data, size_t len, uint64_t seed = 0);
