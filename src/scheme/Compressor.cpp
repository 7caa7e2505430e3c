// TCompressor: header handling, stream and file plumbing, the block coder and
// the LZHUF coder.
#include "Compressor.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <typeinfo>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace kxcompress;

namespace {

constexpr int64_t kSmallInputLimit = 3 * static_cast<int64_t>(kBlockSize) - 1; // 98303

[[noreturn]] void Fail(const std::string &message) {
  throw ECompressorException(message);
}

// The names used in failure texts, which differ between stream and file mode.
struct Names {
  bool file = false;
  std::string in, out;

  std::string ReadError(const char *suffix = "") const {
    return (file ? "Compressor : Error reading from input file : " + in
                 : std::string("Compressor : Error reading from input stream !")) +
           suffix;
  }
  std::string WriteError() const {
    return file ? "Compressor : Error writing to output file : " + out
                : std::string("Compressor : Error writing to output stream !");
  }
  std::string BadHeader() const {
    return file ? in + " : Compressor decompression : this file has no valid header !"
                : std::string("Compressor decompression : input stream contains no valid header !");
  }
};

const char kSizeMismatchBlock[] =
    "Compressor (decompression Compressor/BK) : Original and compressed sizes do not match !";
const char kSizeMismatchLzh[] =
    "Compressor (LZH decompression) : Original and compressed sizes do not match !";
const char kNoBuffers[] = "Compressor (de)compression : Failed to get memory for I/O buffers !";

// Reads up to n bytes, looping over short reads; -1 when the stream failed.
int64_t ReadFully(TStream &s, void *p, int64_t n) {
  try {
    int64_t done = 0;
    while (done < n) {
      const int64_t got = s.Read(static_cast<char *>(p) + done, n - done);
      if (got <= 0)
        break;
      done += got;
    }
    return done;
  } catch (const std::exception &) {
    return -1;
  }
}

bool WriteFully(TStream &s, const void *p, int64_t n) {
  try {
    int64_t done = 0;
    while (done < n) {
      const int64_t put = s.Write(static_cast<const char *>(p) + done, n - done);
      if (put <= 0)
        return false;
      done += put;
    }
    return true;
  } catch (const std::exception &) {
    return false;
  }
}

std::vector<uint8_t> IoBuffer() {
  try {
    return std::vector<uint8_t>(kBlockBufferSize);
  } catch (const std::bad_alloc &) {
    Fail(kNoBuffers);
  }
}

// Buffered output through one 32 KB buffer; counts what it wrote.
class Sink {
public:
  Sink(TStream &s, const Names &names) : s_(s), names_(names), buf_(IoBuffer()) {}

  void Byte(uint8_t b) {
    if (fill_ == kBlockSize)
      Flush();
    buf_[fill_++] = b;
  }
  void Bytes(const uint8_t *p, size_t n) {
    if (fill_ == 0 && n >= kBlockSize) { // whole blocks skip the buffer
      if (!WriteFully(s_, p, static_cast<int64_t>(n)))
        Fail(names_.WriteError());
      total_ += static_cast<int64_t>(n);
      return;
    }
    while (n > 0) {
      if (fill_ == kBlockSize)
        Flush();
      const size_t k = std::min(n, kBlockSize - fill_);
      std::memcpy(buf_.data() + fill_, p, k);
      fill_ += k;
      p += k;
      n -= k;
    }
  }
  void Flush() {
    if (fill_ > 0 && !WriteFully(s_, buf_.data(), static_cast<int64_t>(fill_)))
      Fail(names_.WriteError());
    total_ += static_cast<int64_t>(fill_);
    fill_ = 0;
  }
  int64_t Total() const { return total_ + static_cast<int64_t>(fill_); }

private:
  TStream &s_;
  const Names &names_;
  std::vector<uint8_t> buf_;
  size_t fill_ = 0;
  int64_t total_ = 0;
};

void PutLE32(Sink &out, uint32_t v) {
  const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                        static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
  out.Bytes(b, 4);
}

uint32_t GetLE32(const uint8_t *b) {
  return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

// The next n bytes of a stream that keeps its data in memory (one of the two
// memory streams itself, not a subclass that might read differently), or
// nullptr when the stream is of another kind or holds fewer bytes. A caller
// that uses them seeks past them, which is all a read would have done.
const uint8_t *MemoryAt(TStream &s, int64_t n) {
  const char *base;
  int64_t size;
  if (typeid(s) == typeid(TMemoryStream)) {
    auto &m = static_cast<TMemoryStream &>(s);
    base = m.Memory();
    size = m.Size();
  } else if (typeid(s) == typeid(TReadOnlyMemoryStream)) {
    auto &m = static_cast<TReadOnlyMemoryStream &>(s);
    base = m.Memory();
    size = m.Size();
  } else {
    return nullptr;
  }
  const int64_t pos = s.Position();
  if (pos < 0 || pos > size || size - pos < n)
    return nullptr;
  return reinterpret_cast<const uint8_t *>(base) + pos;
}

// A memory stream that grows at its end (its position at its size), into
// whose bytes a decoder may write directly; nullptr otherwise.
TMemoryStream *GrowingMemory(TStream &s) {
  if (typeid(s) != typeid(TMemoryStream))
    return nullptr;
  auto &m = static_cast<TMemoryStream &>(s);
  return m.Position() == m.Size() ? &m : nullptr;
}

// Buffered input of exactly `size` bytes; running short is a read error.
class Source {
public:
  Source(TStream &s, int64_t size, std::string readError)
      : s_(s), left_(size), readError_(std::move(readError)), buf_(IoBuffer()) {}

  // Next byte, or -1 once `size` bytes have been delivered.
  int Get() {
    if (pos_ == end_ && !Refill())
      return -1;
    return buf_[pos_++];
  }
  // The next block of up to kBlockSize bytes: straight from the stream's
  // memory where it has some, else read into p. Returns where the bytes are
  // and sets n to their count.
  const uint8_t *Block(uint8_t *p, size_t &n) {
    n = static_cast<size_t>(std::min<int64_t>(left_, kBlockSize));
    if (const uint8_t *m = MemoryAt(s_, static_cast<int64_t>(n))) {
      s_.Seek(static_cast<int64_t>(n), TSeekOrigin::soCurrent);
      left_ -= static_cast<int64_t>(n);
      return m;
    }
    Block(p);
    return p;
  }
  // Up to kBlockSize bytes into the caller's buffer; returns the count.
  size_t Block(uint8_t *p) {
    const auto n = static_cast<size_t>(std::min<int64_t>(left_, kBlockSize));
    if (ReadFully(s_, p, static_cast<int64_t>(n)) != static_cast<int64_t>(n))
      Fail(readError_);
    left_ -= static_cast<int64_t>(n);
    return n;
  }

private:
  bool Refill() {
    if (left_ == 0)
      return false;
    const auto n = static_cast<size_t>(Block(buf_.data()));
    pos_ = 0;
    end_ = n;
    return true;
  }

  TStream &s_;
  int64_t left_;
  std::string readError_;
  std::vector<uint8_t> buf_;
  size_t pos_ = 0, end_ = 0;
};

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
// would, overlapping copies repeating the last dist bytes. Writes up to 32
// bytes: the caller's buffer takes the overrun. Whole words go where the
// distance allows them; a short distance goes byte by byte, which beats
// widening the pattern first because the bytes it reads were just written.
inline void CopyMatch(uint8_t *d, size_t dist, size_t length) {
  if (dist >= 16) {
    std::memcpy(d, d - dist, 16);
    std::memcpy(d + 16, d + 16 - dist, 16);
  } else if (dist >= 8) {
    std::memcpy(d, d - dist, 8);
    std::memcpy(d + 8, d + 8 - dist, 8);
    std::memcpy(d + 16, d + 16 - dist, 8);
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

std::unique_ptr<uint16_t[]> HashTable() {
  std::unique_ptr<uint16_t[]> h(new (std::nothrow) uint16_t[kHashSize]);
  if (!h)
    throw ECompressorBKCompressor("CompressorBK : no memory for HASH table");
  return h;
}

// --- LZH method (LZHUF) -----------------------------------------------------

constexpr int N = 4096;                     // ring buffer
constexpr int F = 60;                       // longest match
constexpr int THRESHOLD = 2;                // a match must be longer than this
constexpr int NIL = N;                      // empty tree link
constexpr int N_CHAR = 256 - THRESHOLD + F; // literals and match lengths: 314
constexpr int T = N_CHAR * 2 - 1;           // tree nodes: 627
constexpr int R = T - 1;                    // root
constexpr unsigned MAX_FREQ = 0x8000;       // rebuild the tree at this root frequency

// The fixed prefix code of the upper 6 position bits: how many codes of each
// length from 3 to 8 bits, assigned in canonical order.
struct PositionCode {
  uint8_t len[64], code[64];     // encoder: length and left-aligned code per value
  uint8_t dcode[256], dlen[256]; // decoder: value and length per leading byte
  PositionCode() {
    static const int countPerLength[9] = {0, 0, 0, 1, 3, 8, 12, 24, 16};
    int value = 0;
    unsigned next = 0; // next code, left-aligned in 8 bits
    for (int l = 3; l <= 8; ++l)
      for (int k = 0; k < countPerLength[l]; ++k, ++value) {
        len[value] = static_cast<uint8_t>(l);
        code[value] = static_cast<uint8_t>(next);
        for (unsigned b = next; b < next + (1u << (8 - l)); ++b) {
          dcode[b] = static_cast<uint8_t>(value);
          dlen[b] = static_cast<uint8_t>(l);
        }
        next += 1u << (8 - l);
      }
  }
};
const PositionCode kPositionCode;

// The adaptive Huffman tree shared by both directions.
struct LzhHuff {
  unsigned freq[T + 1];
  int prnt[T + N_CHAR]; // parents of nodes, then leaf positions (index symbol + T)
  int son[T];

  void Start() {
    for (int i = 0; i < N_CHAR; i++) {
      freq[i] = 1;
      son[i] = i + T;
      prnt[i + T] = i;
    }
    for (int i = 0, j = N_CHAR; j <= R; i += 2, j++) {
      freq[j] = freq[i] + freq[i + 1];
      son[j] = i;
      prnt[i] = prnt[i + 1] = j;
    }
    freq[T] = 0xFFFF; // sentinel above every real frequency
    prnt[R] = 0;
  }

  // Halves the frequencies and rebuilds the tree.
  void Reconst() {
    int j = 0;
    for (int i = 0; i < T; i++)
      if (son[i] >= T) {
        freq[j] = (freq[i] + 1) / 2;
        son[j] = son[i];
        j++;
      }
    for (int i = 0, jj = N_CHAR; jj < T; i += 2, jj++) {
      const unsigned f = freq[jj] = freq[i] + freq[i + 1];
      int k = jj - 1;
      while (f < freq[k])
        k--;
      k++;
      std::memmove(&freq[k + 1], &freq[k], (jj - k) * sizeof freq[0]);
      freq[k] = f;
      std::memmove(&son[k + 1], &son[k], (jj - k) * sizeof son[0]);
      son[k] = i;
    }
    for (int i = 0; i < T; i++) {
      const int k = son[i];
      if (k >= T)
        prnt[k] = i;
      else
        prnt[k] = prnt[k + 1] = i;
    }
  }

  void Update(int c) {
    if (freq[R] == MAX_FREQ)
      Reconst();
    c = prnt[c + T];
    do {
      const unsigned k = ++freq[c];
      int l = c + 1;
      if (k > freq[l]) { // order disturbed: swap with the last node of lower frequency
        while (k > freq[++l]) {
        }
        l--;
        freq[c] = freq[l];
        freq[l] = k;
        const int i = son[c];
        prnt[i] = l;
        if (i < T)
          prnt[i + 1] = l;
        const int jj = son[l];
        son[l] = i;
        prnt[jj] = c;
        if (jj < T)
          prnt[jj + 1] = c;
        son[c] = jj;
        c = l;
      }
    } while ((c = prnt[c]) != 0);
  }
};

struct LzhEncoder {
  LzhHuff huff;
  uint8_t text[N + F - 1];
  int lson[N + 1], rson[N + 257], dad[N + 1];
  int matchPosition = 0, matchLength = 0;
  unsigned putbuf = 0, putlen = 0;

  void InitTree() {
    for (int i = N + 1; i <= N + 256; i++)
      rson[i] = NIL;
    for (int i = 0; i < N; i++)
      dad[i] = NIL;
  }

  // Inserts string r into its tree and finds the longest match; between equal
  // lengths the nearest wins, and a full-length match ends the search.
  void InsertNode(int r) {
    int cmp = 1;
    const uint8_t *key = &text[r];
    int p = N + 1 + key[0];
    rson[r] = lson[r] = NIL;
    matchLength = 0;
    int i;
    for (;;) {
      if (cmp >= 0) {
        if (rson[p] != NIL) {
          p = rson[p];
        } else {
          rson[p] = r;
          dad[r] = p;
          return;
        }
      } else {
        if (lson[p] != NIL) {
          p = lson[p];
        } else {
          lson[p] = r;
          dad[r] = p;
          return;
        }
      }
      for (i = 1; i < F; i++)
        if ((cmp = key[i] - text[p + i]) != 0)
          break;
      if (i > THRESHOLD) {
        if (i > matchLength) {
          matchPosition = ((r - p) & (N - 1)) - 1;
          if ((matchLength = i) >= F)
            break;
        }
        if (i == matchLength) {
          const int c = ((r - p) & (N - 1)) - 1;
          if (c < matchPosition)
            matchPosition = c;
        }
      }
    }
    // r replaces p, which has the same key
    dad[r] = dad[p];
    lson[r] = lson[p];
    rson[r] = rson[p];
    dad[lson[p]] = r;
    dad[rson[p]] = r;
    if (rson[dad[p]] == p)
      rson[dad[p]] = r;
    else
      lson[dad[p]] = r;
    dad[p] = NIL;
  }

  void DeleteNode(int p) {
    if (dad[p] == NIL)
      return;
    int q;
    if (rson[p] == NIL) {
      q = lson[p];
    } else if (lson[p] == NIL) {
      q = rson[p];
    } else {
      q = lson[p];
      if (rson[q] != NIL) {
        do {
          q = rson[q];
        } while (rson[q] != NIL);
        rson[dad[q]] = lson[q];
        dad[lson[q]] = dad[q];
        lson[q] = lson[p];
        dad[lson[p]] = q;
      }
      rson[q] = rson[p];
      dad[rson[p]] = q;
    }
    dad[q] = dad[p];
    if (rson[dad[p]] == p)
      rson[dad[p]] = q;
    else
      lson[dad[p]] = q;
    dad[p] = NIL;
  }

  // Appends the top l bits of the 16-bit value c, most significant first.
  void PutCode(Sink &out, unsigned l, unsigned c) {
    putbuf = (putbuf | (c >> putlen)) & 0xFFFF;
    if ((putlen += l) >= 8) {
      out.Byte(static_cast<uint8_t>(putbuf >> 8));
      if ((putlen -= 8) >= 8) {
        out.Byte(static_cast<uint8_t>(putbuf));
        putlen -= 8;
        putbuf = (c << (l - putlen)) & 0xFFFF;
      } else {
        putbuf = (putbuf << 8) & 0xFFFF;
      }
    }
  }

  void EncodeChar(Sink &out, int c) {
    unsigned code = 0, len = 0;
    int k = huff.prnt[c + T];
    do { // leaf to root; an odd node is the second of its pair
      code >>= 1;
      if (k & 1)
        code += 0x8000;
      len++;
    } while ((k = huff.prnt[k]) != R);
    PutCode(out, len, code);
    huff.Update(c);
  }

  void EncodePosition(Sink &out, unsigned c) {
    const unsigned i = c >> 6;
    PutCode(out, kPositionCode.len[i], static_cast<unsigned>(kPositionCode.code[i]) << 8);
    PutCode(out, 6, (c & 0x3F) << 10);
  }

  void Encode(Source &in, Sink &out) {
    huff.Start();
    InitTree();
    int s = 0, r = N - F;
    std::memset(text, 0x20, r);
    int len = 0, c;
    for (; len < F && (c = in.Get()) >= 0; len++)
      text[r + len] = static_cast<uint8_t>(c);
    if (len == 0)
      return;
    for (int i = 1; i <= F; i++)
      InsertNode(r - i);
    InsertNode(r);
    do {
      if (matchLength > len)
        matchLength = len;
      if (matchLength <= THRESHOLD) {
        matchLength = 1;
        EncodeChar(out, text[r]);
      } else {
        EncodeChar(out, 255 - THRESHOLD + matchLength);
        EncodePosition(out, static_cast<unsigned>(matchPosition));
      }
      const int lastMatchLength = matchLength;
      int i = 0;
      for (; i < lastMatchLength && (c = in.Get()) >= 0; i++) {
        DeleteNode(s);
        text[s] = static_cast<uint8_t>(c);
        if (s < F - 1)
          text[s + N] = static_cast<uint8_t>(c); // mirror so compares can run past the end
        s = (s + 1) & (N - 1);
        r = (r + 1) & (N - 1);
        InsertNode(r);
      }
      while (i++ < lastMatchLength) {
        DeleteNode(s);
        s = (s + 1) & (N - 1);
        r = (r + 1) & (N - 1);
        if (--len)
          InsertNode(r);
      }
    } while (len > 0);
    if (putlen)
      out.Byte(static_cast<uint8_t>(putbuf >> 8));
  }
};

// MSB-first bit input. Bits past the end of the input read as 0, but using
// one of them means the stream was cut short.
class BitInput {
public:
  BitInput(TStream &s) : s_(s), buf_(IoBuffer()) {}

  unsigned Bit() {
    if (n_ < 1)
      Refill();
    const unsigned b = static_cast<unsigned>(acc_ >> 63);
    acc_ <<= 1;
    n_--;
    return b;
  }
  unsigned Byte() {
    if (n_ < 8)
      Refill();
    const unsigned b = static_cast<unsigned>(acc_ >> 56);
    acc_ <<= 8;
    n_ -= 8;
    return b;
  }
  // True when more bits were used than the input held.
  bool Overrun() const { return n_ < padBits_; }
  // Moves the stream back to just after the last byte a bit was used from.
  void Rewind() {
    const int64_t unusedWholeBytes = (n_ - padBits_) / 8 + static_cast<int64_t>(end_ - pos_);
    if (unusedWholeBytes > 0) {
      try {
        s_.Seek(-unusedWholeBytes, TSeekOrigin::soCurrent);
      } catch (const std::exception &) {
        // positioning after the data is a courtesy to stream users
      }
    }
  }

private:
  void Refill() {
    while (n_ <= 56) {
      if (pos_ == end_ && !eof_) {
        const int64_t got = ReadFully(s_, buf_.data(), static_cast<int64_t>(kBlockSize));
        if (got <= 0) {
          eof_ = true;
        } else {
          pos_ = 0;
          end_ = static_cast<size_t>(got);
        }
      }
      uint64_t byte = 0;
      if (pos_ < end_)
        byte = buf_[pos_++];
      else
        padBits_ += 8;
      acc_ |= byte << (56 - n_);
      n_ += 8;
    }
  }

  TStream &s_;
  std::vector<uint8_t> buf_;
  size_t pos_ = 0, end_ = 0;
  bool eof_ = false;
  uint64_t acc_ = 0; // valid bits left-aligned
  int n_ = 0;
  int padBits_ = 0; // zero bits appended after the end, at the low end of acc_
};

struct LzhDecoder {
  LzhHuff huff;
  uint8_t text[N];

  int DecodeChar(BitInput &in) {
    unsigned c = static_cast<unsigned>(huff.son[R]);
    while (c < static_cast<unsigned>(T)) {
      c += in.Bit();
      c = static_cast<unsigned>(huff.son[c]);
    }
    c -= T;
    huff.Update(static_cast<int>(c));
    return static_cast<int>(c);
  }

  unsigned DecodePosition(BitInput &in) {
    unsigned i = in.Byte();
    const unsigned c = static_cast<unsigned>(kPositionCode.dcode[i]) << 6;
    unsigned j = kPositionCode.dlen[i] - 2u;
    while (j--)
      i = (i << 1) + in.Bit();
    return c | (i & 0x3F);
  }

  // Produces exactly size bytes or fails.
  void Decode(BitInput &in, Sink &out, int64_t size) {
    huff.Start();
    std::memset(text, 0x20, N - F);
    int r = N - F;
    int64_t count = 0;
    while (count < size) {
      const int c = DecodeChar(in);
      if (c < 256) {
        out.Byte(static_cast<uint8_t>(c));
        text[r++] = static_cast<uint8_t>(c);
        r &= N - 1;
        count++;
      } else {
        const int i = static_cast<int>((r - DecodePosition(in) - 1) & (N - 1));
        const int j = c - 255 + THRESHOLD;
        for (int k = 0; k < j && count < size; k++) {
          const uint8_t b = text[(i + k) & (N - 1)];
          out.Byte(b);
          text[r++] = b;
          r &= N - 1;
          count++;
        }
      }
      if (in.Overrun())
        Fail(kSizeMismatchLzh);
    }
  }
};

// Zero-initialised, as the published program's static tables are: parts of
// them are read before written (the ring beyond the spaces, by a damaged
// stream's copies and by the match search past a short input's end), and what
// an earlier run left there must not decide a later run's output.
template <class X> std::unique_ptr<X> LzhTables() {
  std::unique_ptr<X> x(new (std::nothrow) X());
  if (!x)
    throw ElzhException("LZH : Cannot get memory for dictionary tables");
  return x;
}

// --- File mode plumbing -----------------------------------------------------

// The output of file mode goes to a temporary file beside the target and
// replaces it only when the whole run succeeded.
class OutputFile {
public:
  explicit OutputFile(const std::string &path) : path_(path) {
    const auto slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    tmp_ = dir + "/." + base + ".XXXXXX";
    const int fd = path.empty() ? -1 : ::mkstemp(tmp_.data());
    if (fd < 0)
      Fail("Compressor (de)compression : Failed to open output file : " + path);
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
      ::fchmod(fd, st.st_mode & 07777);
    } else {
      const mode_t mask = ::umask(0);
      ::umask(mask);
      ::fchmod(fd, 0666 & ~mask);
    }
    ::close(fd);
    try {
      stream_ = std::make_unique<TFileStream>(tmp_, TFileMode::fmCreate);
    } catch (const std::exception &) {
      ::unlink(tmp_.c_str());
      Fail("Compressor (de)compression : Failed to open output file : " + path);
    }
  }
  ~OutputFile() {
    if (stream_) { // not committed: drop what was written
      stream_.reset();
      ::unlink(tmp_.c_str());
    }
  }
  OutputFile(const OutputFile &) = delete;
  OutputFile &operator=(const OutputFile &) = delete;

  TStream &Stream() { return *stream_; }
  void Commit(const Names &names) {
    try {
      stream_->Close();
    } catch (const std::exception &) {
      Fail(names.WriteError());
    }
    if (::rename(tmp_.c_str(), path_.c_str()) != 0)
      Fail(names.WriteError());
    stream_.reset();
  }

private:
  std::string path_, tmp_;
  std::unique_ptr<TFileStream> stream_;
};

std::unique_ptr<TFileStream> OpenInputFile(const std::string &path, const std::string &failure) {
  try {
    return std::make_unique<TFileStream>(path, TFileMode::fmOpenRead);
  } catch (const std::exception &) {
    Fail(failure);
  }
}

// Position of a stream, or -1 when it cannot be told.
int64_t PositionOf(TStream &s) {
  try {
    return s.Position();
  } catch (const std::exception &) {
    return -1;
  }
}

int64_t SizeOf(TStream &s) {
  try {
    return s.Size();
  } catch (const std::exception &) {
    return -1;
  }
}

// Input and output of one run, in either mode.
struct Endpoints {
  Names names;
  TStream *in = nullptr;
  TStream *out = nullptr;
  std::unique_ptr<TFileStream> inFile;
  std::unique_ptr<OutputFile> outFile;

  explicit Endpoints(const TCompressor &c) {
    names.file = !c.StreamMode;
    names.in = c.InputFileName;
    names.out = c.OutputFileName;
    if (c.StreamMode) {
      in = c.InputStream;
      out = c.OutputStream;
      if (!in || PositionOf(*in) < 0)
        Fail("Compressor (de)compression : Failed to initialize input stream !");
      if (!out || PositionOf(*out) < 0)
        Fail("Compressor (de)compression : Failed to initialize output stream !");
    } else {
      inFile = OpenInputFile(c.InputFileName,
                             "Compressor (de)compression : Failed to open input file : " +
                                 c.InputFileName);
      in = inFile.get();
      outFile = std::make_unique<OutputFile>(c.OutputFileName);
      out = &outFile->Stream();
    }
  }
  void Finish() {
    if (outFile)
      outFile->Commit(names);
  }
};

// Restores a stream's position when a scope ends, however it ends.
class PositionGuard {
public:
  PositionGuard(TStream &s, int64_t pos) : s_(s), pos_(pos) {}
  ~PositionGuard() {
    try {
      s_.SetPosition(pos_);
    } catch (const std::exception &) {
    }
  }
  PositionGuard(const PositionGuard &) = delete;
  PositionGuard &operator=(const PositionGuard &) = delete;

private:
  TStream &s_;
  int64_t pos_;
};

} // namespace

namespace kxcompress {

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
        const size_t j = RunLength(in + p, static_cast<uint8_t>(w0), same,
                                   std::min<size_t>(n - p, 4095));
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
  // runs aside) go without per-item checks. Copies, literal stretches and
  // short runs write up to 32 bytes at a time; the last of them starts at
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
    if (kBlockBufferSize - op >= 32) {
      CopyMatch(out + op, dist, length);
    } else { // the last bytes of the buffer
      uint8_t *d = out + op;
      const uint8_t *s = d - dist;
      for (size_t k = 0; k < length; k++)
        d[k] = s[k];
    }
    op += length;
    ip += 2;
  }
  return static_cast<long>(op);
}

} // namespace kxcompress

bool TCompressor::Advise() {
  std::unique_ptr<TFileStream> file;
  TStream *in = InputStream;
  if (!StreamMode) {
    file =
        OpenInputFile(InputFileName, "Compressor advise : can open input file : " + InputFileName);
    in = file.get();
  }
  const int64_t start = in ? PositionOf(*in) : -1;
  if (start < 0)
    Fail("Compressor edvise : can not initialize the input stream!");
  const int64_t total = SizeOf(*in);
  if (total < start)
    Fail(StreamMode ? std::string("Compressor advise : can not get size of inputstream !")
                    : "Compressor advise : can not get the size of : " + InputFileName);
  const int64_t s = total - start;
  if (s <= kSmallInputLimit) {
    Method = cmLZH;
    return false;
  }
  std::vector<uint8_t> sample, coded;
  try {
    sample.resize(kBlockBufferSize);
    coded.resize(kBlockBufferSize);
  } catch (const std::bad_alloc &) {
    Fail("Compressor advise : Error getting I/O buffers");
  }
  const auto hash = HashTable();
  PositionGuard restore(*in, start);
  const int64_t block = static_cast<int64_t>(kBlockSize);
  int64_t codedTotal = 0;
  for (const int64_t at : {s / 3, 2 * s / 3}) {
    const int64_t offset = at / block * block;
    bool ok = true;
    try {
      in->SetPosition(start + offset);
    } catch (const std::exception &) {
      ok = false;
    }
    if (!ok || ReadFully(*in, sample.data(), block) != block)
      Fail(StreamMode ? std::string("Compressor advise : input stream read error !")
                      : "Compressor advise : read error on input file : " + InputFileName);
    codedTotal +=
        static_cast<int64_t>(BlockCompress(sample.data(), kBlockSize, coded.data(), hash.get()));
  }
  return codedTotal * 100 < static_cast<int64_t>(AdviseThreshold) * 2 * block;
}

int64_t TCompressor::Compress() {
  uint8_t method = Method;
  if (method == cmAdvise) {
    // Advise marks small inputs as LZH in Method; a compressor set to choose
    // keeps choosing for its next input.
    method = Advise() ? cmBlock : cmLZH;
    Method = cmAdvise;
  }
  if (method != cmLZH)
    method = cmBlock;

  Endpoints io(*this);
  const int64_t start = PositionOf(*io.in);
  const int64_t total = start < 0 ? -1 : SizeOf(*io.in);
  if (total < start || total - start > INT32_MAX)
    Fail(io.names.file
             ? "Compressor compression : Failed to obtain the size of : " + InputFileName
             : std::string(
                   "Compressor compression : Failed to obtain the size of the input stream !"));
  const int64_t size = total - start;

  Sink out(*io.out, io.names);
  PutLE32(out, method == cmBlock ? kMagicBlock : kMagicLzh);
  PutLE32(out, static_cast<uint32_t>(size));
  if (method == cmBlock) {
    Source in(*io.in, size, io.names.ReadError(" (Compressor/BK)"));
    std::vector<uint8_t> raw, coded;
    try {
      raw.resize(kBlockBufferSize);
      coded.resize(kBlockBufferSize);
    } catch (const std::bad_alloc &) {
      Fail(kNoBuffers);
    }
    const auto hash = HashTable();
    size_t n;
    do {
      const uint8_t *block = in.Block(raw.data(), n);
      const size_t len = BlockCompress(block, n, coded.data(), hash.get());
      const uint8_t lenBytes[2] = {static_cast<uint8_t>(len), static_cast<uint8_t>(len >> 8)};
      out.Bytes(lenBytes, 2);
      out.Bytes(coded.data(), len);
    } while (n == kBlockSize);
  } else {
    Source in(*io.in, size, io.names.ReadError(" (LZH)"));
    const auto lzh = LzhTables<LzhEncoder>();
    lzh->Encode(in, out);
  }
  out.Flush();
  io.Finish();
  return out.Total();
}

int64_t TCompressor::Decompress() {
  Endpoints io(*this);
  uint8_t header[4];
  if (ReadFully(*io.in, header, 4) != 4)
    Fail(io.names.BadHeader());
  const uint32_t magic = GetLE32(header);
  if (magic != kMagicBlock && magic != kMagicLzh)
    Fail(io.names.BadHeader());
  if (ReadFully(*io.in, header, 4) != 4)
    Fail(io.names.ReadError());
  const auto size = static_cast<int32_t>(GetLE32(header));

  Sink out(*io.out, io.names);
  if (magic == kMagicBlock) {
    if (size < 0)
      Fail(kSizeMismatchBlock);
    std::vector<uint8_t> coded, raw;
    try {
      coded.resize(kMaxStoredBlock);
      raw.resize(kBlockBufferSize);
    } catch (const std::bad_alloc &) {
      Fail(kNoBuffers);
    }
    // Blocks are decoded from the input's memory and into the output's where
    // the streams keep their bytes there, sparing two copies of every byte.
    TMemoryStream *direct = GrowingMemory(*io.out);
    int64_t done = 0;
    long n;
    do {
      uint8_t lenBytes[2];
      if (ReadFully(*io.in, lenBytes, 2) != 2)
        Fail(kSizeMismatchBlock);
      const size_t len = lenBytes[0] | (lenBytes[1] << 8);
      if (len > kMaxStoredBlock)
        Fail(kSizeMismatchBlock);
      const uint8_t *block = MemoryAt(*io.in, static_cast<int64_t>(len));
      if (block) {
        io.in->Seek(static_cast<int64_t>(len), TSeekOrigin::soCurrent);
      } else {
        if (ReadFully(*io.in, coded.data(), static_cast<int64_t>(len)) !=
            static_cast<int64_t>(len))
          Fail(kSizeMismatchBlock);
        block = coded.data();
      }
      if (direct) {
        // Room for the block and the decoder's slack past the end; what the
        // block did not fill is cut off again, and a refused block leaves
        // nothing behind, as with a buffered write.
        std::string &bytes = direct->Bytes();
        const size_t at = bytes.size();
        try {
          bytes.resize(at + kBlockBufferSize);
        } catch (const std::exception &) { // as a failed write
          Fail(io.names.WriteError());
        }
        n = BlockDecompress(block, len, reinterpret_cast<uint8_t *>(bytes.data()) + at);
        const bool ok = n >= 0 && done + n <= size;
        bytes.resize(at + (ok ? static_cast<size_t>(n) : 0));
        direct->Seek(0, TSeekOrigin::soEnd);
        if (!ok)
          Fail(kSizeMismatchBlock);
      } else {
        n = BlockDecompress(block, len, raw.data());
        if (n < 0 || done + n > size)
          Fail(kSizeMismatchBlock);
        out.Bytes(raw.data(), static_cast<size_t>(n));
      }
      done += n;
    } while (n == static_cast<long>(kBlockSize));
    if (done != size) {
      if (direct) { // a buffered write would not have passed on the short last block
        direct->SetSize(direct->Size() - n);
        direct->Seek(0, TSeekOrigin::soEnd);
      }
      Fail(kSizeMismatchBlock);
    }
    if (direct) {
      out.Flush();
      io.Finish();
      return out.Total() + done;
    }
  } else {
    if (size < 0)
      Fail(kSizeMismatchLzh);
    BitInput bits(*io.in);
    if (size > 0) {
      const auto lzh = LzhTables<LzhDecoder>();
      lzh->Decode(bits, out, size);
      bits.Rewind();
    }
  }
  out.Flush();
  io.Finish();
  return out.Total();
}

std::string TCompressor::Pack(std::string_view bytes, uint8_t method) {
  TReadOnlyMemoryStream in(bytes.data(), static_cast<int64_t>(bytes.size()));
  TMemoryStream out;
  TCompressor c;
  c.StreamMode = true;
  c.Method = method;
  c.InputStream = &in;
  c.OutputStream = &out;
  c.Compress();
  return std::move(out.Bytes());
}

std::string TCompressor::Unpack(std::string_view packed) {
  TReadOnlyMemoryStream in(packed.data(), static_cast<int64_t>(packed.size()));
  TMemoryStream out;
  // Room for the stated size, as far as the input could justify it.
  if (packed.size() >= kHeaderSize) {
    const uint32_t stated = GetLE32(reinterpret_cast<const uint8_t *>(packed.data()) + 4);
    out.Bytes().reserve(std::min<size_t>(stated & 0x7FFFFFFF, packed.size() * 1024 + 65536) +
                        kBlockBufferSize);
  }
  TCompressor c;
  c.StreamMode = true;
  c.InputStream = &in;
  c.OutputStream = &out;
  c.Decompress();
  return std::move(out.Bytes());
}
