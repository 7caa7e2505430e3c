// The block method: an LZRW1-style coder over independent 32 KB blocks.
#include "Compressor.h"

#include <bit>
#include <cstring>
#include <memory>
#include <new>

namespace kxcompress {

namespace {

// --- Block method -----------------------------------------------------------

// How many leading bytes of a and b are equal, at most limit (limit <= 18).
inline size_t MatchLength(const uint8_t *a, const uint8_t *b, size_t limit) {
  size_t len = 0;
  while (len + 8 <= limit) {
    uint64_t x, y;
    std::memcpy(&x, a + len, 8);
    std::memcpy(&y, b + len, 8);
    if (x != y)
      return len + (static_cast<size_t>(__builtin_ctzll(x ^ y)) >> 3);
    len += 8;
  }
  while (len < limit && a[len] == b[len])
    len++;
  return len;
}

inline uint64_t Load64(const uint8_t *p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// Length of the run of `b` starting at p (whose first 16 bytes are known to be
// b, `same` being b in every byte), at most limit.
inline size_t RunLength(const uint8_t *p, uint8_t b, uint64_t same, size_t limit) {
  size_t j = 16;
  while (j + 8 <= limit) {
    const uint64_t x = Load64(p + j) ^ same;
    if (x != 0)
      return j + (std::endian::native == std::endian::little
                      ? static_cast<size_t>(__builtin_ctzll(x)) >> 3
                      : static_cast<size_t>(__builtin_clzll(x)) >> 3);
    j += 8;
  }
  while (j < limit && p[j] == b)
    j++;
  return j;
}

// Copies length (3..18) bytes from dist bytes back as a byte-by-byte copy
// would, overlapping copies repeating the last dist bytes. Writes 18 bytes
// whatever the length: the caller's buffer takes the overrun. Whole words go
// where the distance allows them; a short distance goes byte by byte, which
// beats widening the pattern first because the bytes it reads were just
// written. The last two bytes go as a pair rather than in a second wide
// store: the next items mostly read what this one wrote, and a read that
// spans the junk of a wide store it only partly overlaps waits for that
// store to reach the cache instead of taking its bytes from it.
inline void CopyMatch(uint8_t *d, size_t dist, size_t length) {
  if (dist >= 16) {
    std::memcpy(d, d - dist, 16);
    std::memcpy(d + 16, d + 16 - dist, 2);
  } else if (dist >= 8) {
    std::memcpy(d, d - dist, 8);
    std::memcpy(d + 8, d + 8 - dist, 8);
    std::memcpy(d + 16, d + 16 - dist, 2);
  } else {
    const uint8_t *s = d - dist;
    for (size_t k = 0; k < length; k++)
      d[k] = s[k];
  }
}

// Writes count (16..4110) copies of b; up to 32 bytes are written whatever
// the count, which the caller's buffer takes.
inline void FillRun(uint8_t *d, uint8_t b, size_t count) {
  if (count <= 32)
    std::memset(d, b, 32); // a fixed size: two wide stores
  else
    std::memset(d, b, count);
}

inline unsigned BlockHash(const uint8_t *p) {
  return ((((((static_cast<unsigned>(p[0]) << 4) ^ p[1]) << 4) ^ p[2]) * 40543u) >> 4) & 0xFFF;
}

} // namespace

std::unique_ptr<uint16_t[]> HashTable() {
  std::unique_ptr<uint16_t[]> h(new (std::nothrow) uint16_t[kHashSize]);
  if (!h)
    throw ECompressorBKCompressor("CompressorBK : no memory for HASH table");
  return h;
}

namespace {

// The items of one coded block: the marker, then groups of a big-endian
// control word (one bit an item, from the top: 1 for a copy or run) and up to
// 16 items. Both of the coder's loops emit through it.
struct BlockWriter {
  uint8_t *out;
  size_t op = 3;      // the marker and the first control word come first
  size_t ctrlPos = 1; // where the current control word goes
  unsigned ctrl = 0;
  int items = 0;

  explicit BlockWriter(uint8_t *o) : out(o) { out[0] = 0x40; }
  // Stores the full control word and reserves the next one.
  void NextGroup() {
    out[ctrlPos] = static_cast<uint8_t>(ctrl >> 8);
    out[ctrlPos + 1] = static_cast<uint8_t>(ctrl);
    ctrlPos = op;
    op += 2;
    ctrl = 0;
    items = 0;
  }
  void Literal(uint8_t b) {
    out[op++] = b;
    ctrl <<= 1;
    items++;
  }
  // Count 16..4095: a zero distance, count - 16, the byte.
  void Run(size_t count, uint8_t b) {
    const size_t k = count - 16;
    out[op] = 0;
    out[op + 1] = static_cast<uint8_t>(k >> 8);
    out[op + 2] = static_cast<uint8_t>(k);
    out[op + 3] = b;
    op += 4;
    ctrl = (ctrl << 1) | 1;
    items++;
  }
  // Distance 1..4095 in 12 bits, length 3..18 in 4.
  void Copy(size_t dist, size_t len) {
    out[op] = static_cast<uint8_t>(dist >> 4);
    out[op + 1] = static_cast<uint8_t>(((dist & 0xF) << 4) | (len - 3));
    op += 2;
    ctrl = (ctrl << 1) | 1;
    items++;
  }
  // The last control word, left-aligned.
  void Finish() {
    ctrl <<= 16 - items;
    out[ctrlPos] = static_cast<uint8_t>(ctrl >> 8);
    out[ctrlPos + 1] = static_cast<uint8_t>(ctrl);
  }
};

} // namespace

size_t BlockCompress(const uint8_t *in, size_t n, uint8_t *out, uint16_t *hash) {
  std::memset(hash, 0xFF, kHashSize * sizeof hash[0]); // every entry 0xFFFF: empty
  BlockWriter w{out};
  size_t p = 0;
  // Fast path, while every item has 18 input bytes ahead of it and a whole
  // group of 16 items (a control word and at most 4 bytes each) cannot take
  // the output past n. It makes exactly the choices of the checked loop
  // below, which finishes the block: the run test reads 16 bytes at once,
  // hashes are computed ahead, and matches compare 8 + 8 + 2 bytes.
  if (std::endian::native == std::endian::little && n >= 128) {
    const size_t pEnd = n - 18;
    const size_t opEnd = n - (2 + 16 * 4);
    // Every position's hash up front, in a loop the compiler vectorises: the
    // hash then costs one load in the item loop, whose speed is set by the
    // chain from a copy's position through its hash, table entry and match
    // length to the next position. Only the low 16 bits of the product count.
    alignas(16) uint16_t hv[kBlockSize];
    for (size_t q = 0; q <= pEnd; q++) {
      const uint16_t x = static_cast<uint16_t>((in[q] << 8) ^ (in[q + 1] << 4) ^ in[q + 2]);
      hv[q] = static_cast<uint16_t>(static_cast<uint16_t>(x * 40543u) >> 4);
    }
    while (p <= pEnd) {
      if (w.items == 16) {
        if (w.op > opEnd)
          break;
        w.NextGroup();
      }
      const uint64_t w0 = Load64(in + p), w1 = Load64(in + p + 8);
      const uint64_t same = (w0 & 0xFF) * 0x0101010101010101ull;
      if (((w0 ^ same) | (w1 ^ same)) == 0) { // at least 16 equal bytes: a run
        const size_t j =
            RunLength(in + p, static_cast<uint8_t>(w0), same, std::min<size_t>(n - p, 4095));
        w.Run(j, static_cast<uint8_t>(w0));
        p += j;
        continue;
      }
      const unsigned h = hv[p];
      const size_t cand = hash[h];
      hash[h] = static_cast<uint16_t>(p);
      const size_t dist = p - cand; // an empty entry (0xFFFF) is never within reach
      uint64_t x0;
      if (dist <= 4095 && ((x0 = Load64(in + cand) ^ w0) & 0xFFFFFF) == 0) { // 3 bytes or more
        size_t len;
        if (x0 != 0) {
          len = static_cast<size_t>(__builtin_ctzll(x0)) >> 3;
        } else {
          const uint64_t x1 = Load64(in + cand + 8) ^ w1;
          if (x1 != 0)
            len = 8 + (static_cast<size_t>(__builtin_ctzll(x1)) >> 3);
          else
            len = in[cand + 16] != in[p + 16] ? 16 : in[cand + 17] != in[p + 17] ? 17 : 18;
        }
        w.Copy(dist, len);
        p += len;
        continue;
      }
      w.Literal(static_cast<uint8_t>(w0));
      p++;
    }
  }
  while (p < n && w.op <= n) {
    if (w.items == 16)
      w.NextGroup();
    const uint8_t b = in[p];
    if (p + 1 < n && in[p + 1] == b) {
      const size_t lim = std::min<size_t>(n - p, 4095);
      size_t j = 2;
      while (j < lim && in[p + j] == b)
        j++;
      if (j >= 16) {
        w.Run(j, b);
        p += j;
        continue;
      }
    }
    if (n - p >= 3) {
      const unsigned h = BlockHash(in + p);
      const size_t cand = hash[h];
      hash[h] = static_cast<uint16_t>(p);
      if (cand != 0xFFFF && p - cand <= 4095) {
        const size_t maxLen = std::min<size_t>(18, n - p);
        const size_t len = MatchLength(in + cand, in + p, maxLen);
        if (len >= 3) {
          w.Copy(p - cand, len);
          p += len;
          continue;
        }
      }
    }
    w.Literal(b);
    p++;
  }
  w.Finish();
  if (w.op > n) {
    out[0] = 0x80;
    if (n > 0) // an empty block may come without any buffer at all
      std::memcpy(out + 1, in, n);
    return n + 1;
  }
  return w.op;
}

long BlockDecompress(const uint8_t *in, size_t len, uint8_t *out) {
  if (len < 2)
    return 0;
  if (in[0] == 0x80) {
    if (len - 1 > kBlockSize)
      return -1;
    std::memcpy(out, in + 1, len - 1);
    return static_cast<long>(len - 1);
  }
  if (in[0] != 0x40)
    return -1;
  // Output room that lets a whole group of 16 items (at most 18 bytes each,
  // runs aside) go without per-item checks. Copies write 18 bytes, literal
  // stretches 16 and short runs 32 at a time; the last of them starts at
  // least 18 bytes (a run: 16) before the block's end, so the buffer's 16
  // bytes of slack take the overrun.
  constexpr size_t kGroupRoom = 16 * 18;
  size_t ip = 1, op = 0;
  unsigned ctrl = 0;
  int bits = 0;
  while (ip < len) {
    if (bits == 0) {
      if (len - ip < 2)
        return -1;
      ctrl = (static_cast<unsigned>(in[ip]) << 8) | in[ip + 1];
      ip += 2;
      bits = 16;
      // With the input for a whole group (16 items of at most 4 bytes, plus
      // the 16 bytes a literal stretch reads) the group runs unchecked.
      if (len - ip < 64 + 16 || kBlockSize - op < kGroupRoom)
        continue;
      // The control bits on top, with a marker bit below the last one: the
      // leading zeros count the literals before the next copy or run, and the
      // word is used up when only the marker is left.
      uint32_t c = (ctrl << 16) | 0x8000u;
      for (;;) {
        if (!(c & 0x80000000u)) {
          const auto lit = static_cast<unsigned>(__builtin_clz(c));
          std::memcpy(out + op, in + ip, 16);
          op += lit;
          ip += lit;
          c <<= lit;
        }
        if (c == 0x80000000u) {
          bits = 0;
          break;
        }
        c <<= 1;
        const unsigned b0 = in[ip], b1 = in[ip + 1];
        const size_t dist = (b0 << 4) | (b1 >> 4);
        if (dist == 0) { // run item
          const size_t count = (((b1 & 0xF) << 8) | in[ip + 2]) + 16;
          if (count > kBlockSize - op)
            return -1;
          FillRun(out + op, in[ip + 3], count);
          op += count;
          ip += 4;
          if (kBlockSize - op < kGroupRoom) { // finish the group item by item
            bits = 31 - __builtin_ctz(c);
            ctrl = c >> 16;
            break;
          }
          continue;
        }
        if (dist > op)
          return -1;
        const size_t length = (b1 & 0xF) + 3;
        CopyMatch(out + op, dist, length);
        op += length;
        ip += 2;
      }
      continue;
    }
    bits--;
    if (!(ctrl & 0x8000)) {
      ctrl <<= 1;
      if (op >= kBlockSize)
        return -1;
      out[op++] = in[ip++];
      continue;
    }
    ctrl <<= 1;
    if (len - ip < 2)
      return -1;
    const unsigned b0 = in[ip], b1 = in[ip + 1];
    const size_t dist = (b0 << 4) | (b1 >> 4);
    if (dist == 0) { // run item
      if (len - ip < 4)
        return -1;
      const size_t count = (((b1 & 0xF) << 8) | in[ip + 2]) + 16;
      if (count > kBlockSize - op)
        return -1;
      std::memset(out + op, in[ip + 3], count);
      op += count;
      ip += 4;
      continue;
    }
    const size_t length = (b1 & 0xF) + 3;
    if (dist > op || length > kBlockSize - op)
      return -1;
    // A copy ends within the block and writes at most 15 bytes past its end,
    // which the buffer's slack takes.
    CopyMatch(out + op, dist, length);
    op += length;
    ip += 2;
  }
  return static_cast<long>(op);
}

} // namespace kxcompress
