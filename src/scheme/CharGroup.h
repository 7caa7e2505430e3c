// Character groups: a 256-bit set of byte values plus ranges above 255. Every
// table refers to a group by its 16-bit index in the parser's group manager,
// which interns them so that equal groups share one index.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TSM_CharRange {
  uint16_t Low = 0;
  uint16_t High = 0;
  bool operator==(const TSM_CharRange &) const = default;
};

class TSM_CharGroup {
public:
  uint64_t Bits[4] = {0, 0, 0, 0}; // byte-value membership, bit n of byte n / 8
  std::vector<TSM_CharRange> Ranges;
  uint8_t Flag = 0; // the stored form's group flag byte; kept as read

  bool Contains(unsigned c) const {
    if (c < 256)
      return (Bits[c >> 6] >> (c & 63)) & 1;
    for (const TSM_CharRange &r : Ranges)
      if (c >= r.Low && c <= r.High)
        return true;
    return false;
  }
  bool Empty() const { return (Bits[0] | Bits[1] | Bits[2] | Bits[3]) == 0 && Ranges.empty(); }
  void Add(unsigned c) {
    if (c < 256)
      Bits[c >> 6] |= uint64_t(1) << (c & 63);
    else
      AddRange(c, c);
  }
  void AddRange(unsigned lo, unsigned hi);
  // Complement within 0..255; ranges above 255 are kept as they are.
  void Invert() {
    for (uint64_t &w : Bits)
      w = ~w;
  }
  bool operator==(const TSM_CharGroup &) const = default;

  void BitsToBytes(uint8_t out[32]) const;
  void BitsFromBytes(const uint8_t in[32]);
  // A readable form for dumps and messages, e.g. [0-9A-F_].
  std::string Describe() const;
};

class TSM_CharGroupManager {
public:
  TSM_CharGroupManager() { Clear(); }
  // Index 0 is always the empty group.
  void Clear();
  uint16_t Intern(const TSM_CharGroup &g);
  const TSM_CharGroup &Get(uint16_t index) const {
    return Groups[index < Groups.size() ? index : 0];
  }
  size_t Count() const { return Groups.size(); }

  std::vector<TSM_CharGroup> Groups;
};

// Reads a character-set string: a sequence of specifiers, each
// giving one group.
//   x         the character x
//   [...]     a class: characters, ranges a-z, named classes [:alpha:],
//             [:digit:], [:alnum:], [:upper:], [:lower:], [:xdigit:],
//             [:space:], [:punct:], [:ident:] (letters, digits, _), [:eol:]
//             (CR and LF); ^ first negates; ] first (but not as [^]) and
//             - first or last are literal. [^] is every character.
// Returns false (the text stays unchanged) on a reversed range, an
// unterminated class or an unknown class name.
bool ParseCharSpec(const std::string &spec, std::vector<TSM_CharGroup> &groups);
