// The byte layout of a document journal: a magic line, then records that each
// carry their type, payload length, payload and a CRC-32 of all three, so a
// reader takes every whole record and stops at the first cut or damaged one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kxjournal {

inline constexpr std::string_view Magic = "KXJOURNAL1\n";

enum class TRecordType : uint8_t {
  Header = 'H',   // u64 creation time (ms since 1970), then the document's file name
  Snapshot = 'S', // the whole text as the store holds it (CR line breaks)
  Insert = 'I',   // i64 position, then the inserted (stored) characters
  Delete = 'D',   // i64 position, i64 count
  Mark = 'M',     // i64 last edit (ms since 1970), i64 anchor, i64 caret, i64 top line
};

// Bytes around a payload: type (1), length (4) and CRC (4).
inline constexpr size_t RecordOverhead = 9;
// No payload is larger: a document above it is not journaled.
inline constexpr uint64_t MaxPayload = 0xFFFFFF00u;

uint32_t Crc32(const void *data, size_t len, uint32_t crc = 0);

// Appends one framed record to out.
void AppendRecord(std::string &out, TRecordType type, std::string_view payload);

// Little-endian integers inside payloads.
void PutU64(std::string &out, uint64_t v);
uint64_t GetU64(const char *p);
inline void PutI64(std::string &out, int64_t v) { PutU64(out, static_cast<uint64_t>(v)); }
inline int64_t GetI64(const char *p) { return static_cast<int64_t>(GetU64(p)); }
uint32_t GetU32(const char *p);

} // namespace kxjournal
