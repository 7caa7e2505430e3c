// The LZH method: the published LZHUF coder, table for table.
#include "LzhCoder.h"

#include <cstring>
#include <memory>
#include <new>

namespace kxcompress {

namespace {

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

} // namespace

void LzhEncode(Source &in, Sink &out) {
  const auto lzh = LzhTables<LzhEncoder>();
  lzh->Encode(in, out);
}

void LzhDecode(TStream &in, Sink &out, int32_t size) {
  BitInput bits(in);
  if (size > 0) {
    const auto lzh = LzhTables<LzhDecoder>();
    lzh->Decode(bits, out, size);
    bits.Rewind();
  }
}

} // namespace kxcompress
