// Record framing and the CRC-32 (the reflected 0xEDB88320 polynomial of zip
// and PNG), computed eight bytes at a time: recovery checks a 50 MB snapshot.
#include "JournalRecords.h"

#include <array>
#include <cstring>

namespace kxjournal {

namespace {

using TTables = std::array<std::array<uint32_t, 256>, 8>;

TTables MakeTables() {
  TTables t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k)
      c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][i] = c;
  }
  for (uint32_t i = 0; i < 256; ++i)
    for (size_t s = 1; s < 8; ++s)
      t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF];
  return t;
}

const TTables &Tables() {
  static const TTables t = MakeTables();
  return t;
}

} // namespace

uint32_t Crc32(const void *data, size_t len, uint32_t crc) {
  const TTables &t = Tables();
  const auto *p = static_cast<const unsigned char *>(data);
  crc = ~crc;
  while (len >= 8) {
    const uint32_t lo = crc ^ (uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                               uint32_t(p[3]) << 24);
    crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
          t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
    p += 8;
    len -= 8;
  }
  while (len--)
    crc = t[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void PutU64(std::string &out, uint64_t v) {
  for (int i = 0; i < 8; ++i)
    out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

uint64_t GetU64(const char *p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i)
    v = (v << 8) | static_cast<unsigned char>(p[i]);
  return v;
}

uint32_t GetU32(const char *p) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i)
    v = (v << 8) | static_cast<unsigned char>(p[i]);
  return v;
}

void AppendRecord(std::string &out, TRecordType type, std::string_view payload) {
  const size_t start = out.size();
  out.push_back(static_cast<char>(type));
  const auto len = static_cast<uint32_t>(payload.size());
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<char>((len >> (8 * i)) & 0xFF));
  out.append(payload);
  const uint32_t crc = Crc32(out.data() + start, out.size() - start);
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<char>((crc >> (8 * i)) & 0xFF));
}

} // namespace kxjournal
