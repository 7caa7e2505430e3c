// A set of scanner states: 256 bits, bit n of byte n / 8 is state n. The
// scanner intersects and combines these on every token, so the operations
// are word-wise and inline.
#pragma once

#include <cstdint>
#include <cstring>

struct TStateSet {
  uint64_t W[4] = {0, 0, 0, 0};

  static TStateSet Of(unsigned state) {
    TStateSet s;
    s.Include(state);
    return s;
  }
  void Include(unsigned state) { W[(state >> 6) & 3] |= uint64_t(1) << (state & 63); }
  void Exclude(unsigned state) { W[(state >> 6) & 3] &= ~(uint64_t(1) << (state & 63)); }
  bool Has(unsigned state) const { return state < 256 && (W[state >> 6] >> (state & 63)) & 1; }
  bool Empty() const { return (W[0] | W[1] | W[2] | W[3]) == 0; }
  bool Intersects(const TStateSet &o) const {
    return ((W[0] & o.W[0]) | (W[1] & o.W[1]) | (W[2] & o.W[2]) | (W[3] & o.W[3])) != 0;
  }
  // Whether every state of this set is in o.
  bool Within(const TStateSet &o) const {
    return ((W[0] & ~o.W[0]) | (W[1] & ~o.W[1]) | (W[2] & ~o.W[2]) | (W[3] & ~o.W[3])) == 0;
  }
  TStateSet &operator|=(const TStateSet &o) {
    for (int i = 0; i < 4; ++i)
      W[i] |= o.W[i];
    return *this;
  }
  TStateSet &operator&=(const TStateSet &o) {
    for (int i = 0; i < 4; ++i)
      W[i] &= o.W[i];
    return *this;
  }
  // Removes every member of o.
  TStateSet &operator-=(const TStateSet &o) {
    for (int i = 0; i < 4; ++i)
      W[i] &= ~o.W[i];
    return *this;
  }
  friend TStateSet operator&(TStateSet a, const TStateSet &b) { return a &= b; }
  friend TStateSet operator|(TStateSet a, const TStateSet &b) { return a |= b; }
  // One test of all four words: the scanner compares sets on every line, and
  // a word-by-word early exit mispredicts.
  bool operator==(const TStateSet &o) const {
    return ((W[0] ^ o.W[0]) | (W[1] ^ o.W[1]) | (W[2] ^ o.W[2]) | (W[3] ^ o.W[3])) == 0;
  }

  // Lowest member, or -1 for the empty set.
  int Lowest() const {
    for (int i = 0; i < 4; ++i)
      if (W[i])
        return i * 64 + __builtin_ctzll(W[i]);
    return -1;
  }

  // The 32-byte stored form (bit n of byte n / 8), independent of host byte order.
  void ToBytes(uint8_t out[32]) const {
    for (int i = 0; i < 32; ++i)
      out[i] = static_cast<uint8_t>(W[i / 8] >> ((i % 8) * 8));
  }
  static TStateSet FromBytes(const uint8_t in[32]) {
    TStateSet s;
    for (int i = 0; i < 32; ++i)
      s.W[i / 8] |= uint64_t(in[i]) << ((i % 8) * 8);
    return s;
  }
};
