// The block coder against a plain reference written here step by step from
// the block layout: the same bytes for every input (random, structured, runs
// around the 16 and 4095 limits, incompressible, every size near a full
// block), and the same verdict from both decoders on valid and damaged blocks.
// The optimised coder takes shortcuts (wide compares, unchecked groups) whose
// only permitted effect is speed.
#include "Compressor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using namespace kxcompress;

namespace {

using Bytes = std::vector<uint8_t>;

// --- Reference coder: one step of the layout at a time ----------------------

// codedLength, when given, gets the coded form's length before the choice
// between coded and stored.
Bytes RefCompress(const Bytes &in, size_t *codedLength = nullptr) {
  const size_t n = in.size();
  std::vector<uint16_t> table(4096, 0xFFFF);
  Bytes out = {0x40, 0, 0};
  size_t ctrlAt = 1;
  unsigned ctrl = 0;
  int items = 0;
  size_t p = 0;
  while (p < n && out.size() <= n) {
    if (items == 16) {
      out[ctrlAt] = static_cast<uint8_t>(ctrl >> 8);
      out[ctrlAt + 1] = static_cast<uint8_t>(ctrl);
      ctrlAt = out.size();
      out.push_back(0);
      out.push_back(0);
      ctrl = 0;
      items = 0;
    }
    items++;
    size_t j = 1;
    while (j < 4095 && p + j < n && in[p + j] == in[p])
      j++;
    if (j >= 16) {
      out.push_back(0);
      out.push_back(static_cast<uint8_t>((j - 16) >> 8));
      out.push_back(static_cast<uint8_t>(j - 16));
      out.push_back(in[p]);
      p += j;
      ctrl = (ctrl << 1) | 1;
      continue;
    }
    bool copied = false;
    if (n - p >= 3) {
      const unsigned h =
          ((((((static_cast<unsigned>(in[p]) << 4) ^ in[p + 1]) << 4) ^ in[p + 2]) * 40543u) >> 4) &
          0xFFF;
      const unsigned cand = table[h];
      table[h] = static_cast<uint16_t>(p);
      if (cand != 0xFFFF && p - cand <= 4095) {
        size_t len = 0;
        while (len < 18 && p + len < n && in[cand + len] == in[p + len])
          len++;
        if (len >= 3) {
          const size_t dist = p - cand;
          out.push_back(static_cast<uint8_t>(dist >> 4));
          out.push_back(static_cast<uint8_t>(((dist & 0xF) << 4) | (len - 3)));
          p += len;
          copied = true;
        }
      }
    }
    if (copied) {
      ctrl = (ctrl << 1) | 1;
    } else {
      out.push_back(in[p]);
      p++;
      ctrl <<= 1;
    }
  }
  ctrl <<= 16 - items;
  out[ctrlAt] = static_cast<uint8_t>(ctrl >> 8);
  out[ctrlAt + 1] = static_cast<uint8_t>(ctrl);
  if (codedLength)
    *codedLength = out.size();
  if (out.size() > n) {
    out.assign(1, 0x80);
    out.insert(out.end(), in.begin(), in.end());
  }
  return out;
}

// Decoded bytes, or nullopt-like false when the block is refused.
bool RefDecompress(const Bytes &block, Bytes &out) {
  out.clear();
  const size_t len = block.size();
  if (len < 2)
    return true;
  if (block[0] == 0x80) {
    if (len - 1 > kBlockSize)
      return false;
    out.assign(block.begin() + 1, block.end());
    return true;
  }
  if (block[0] != 0x40)
    return false;
  size_t ip = 1;
  unsigned ctrl = 0;
  int bits = 0;
  while (ip < len) {
    if (bits == 0) {
      if (len - ip < 2)
        return false;
      ctrl = (block[ip] << 8) | block[ip + 1];
      ip += 2;
      bits = 16;
      continue;
    }
    const bool flag = ctrl & 0x8000;
    ctrl <<= 1;
    bits--;
    if (!flag) {
      if (out.size() >= kBlockSize)
        return false;
      out.push_back(block[ip++]);
      continue;
    }
    if (len - ip < 2)
      return false;
    const size_t dist = (block[ip] << 4) | (block[ip + 1] >> 4);
    if (dist == 0) {
      if (len - ip < 4)
        return false;
      const size_t count = (((block[ip + 1] & 0xF) << 8) | block[ip + 2]) + 16;
      if (count > kBlockSize - out.size())
        return false;
      out.insert(out.end(), count, block[ip + 3]);
      ip += 4;
      continue;
    }
    const size_t length = (block[ip + 1] & 0xF) + 3;
    if (dist > out.size() || length > kBlockSize - out.size())
      return false;
    for (size_t k = 0; k < length; k++)
      out.push_back(out[out.size() - dist]);
    ip += 2;
  }
  return true;
}

// --- The optimised coder, with exactly sized buffers so that a read or write
// past what the interface allows shows under the sanitizers ------------------

Bytes Compress(const Bytes &in) {
  std::vector<uint8_t> src(in); // an allocation of exactly the input's size
  std::vector<uint8_t> out(kBlockBufferSize);
  std::vector<uint16_t> hash(kHashSize);
  const size_t n = BlockCompress(src.data(), src.size(), out.data(), hash.data());
  return Bytes(out.begin(), out.begin() + static_cast<long>(n));
}

bool Decompress(const Bytes &block, Bytes &out) {
  std::vector<uint8_t> src(block);
  std::vector<uint8_t> buf(kBlockBufferSize);
  const long n = BlockDecompress(src.data(), src.size(), buf.data());
  if (n < 0)
    return false;
  out.assign(buf.begin(), buf.begin() + n);
  return true;
}

// The reference's bytes, and a round trip through both decoders.
void ExpectSameCoding(const Bytes &in, const std::string &what) {
  const Bytes ref = RefCompress(in);
  ASSERT_EQ(Compress(in), ref) << what << " (" << in.size() << " bytes)";
  Bytes a, b;
  ASSERT_TRUE(Decompress(ref, a)) << what;
  ASSERT_TRUE(RefDecompress(ref, b)) << what;
  ASSERT_EQ(a, in) << what;
  ASSERT_EQ(b, in) << what;
}

Bytes Random(std::mt19937 &rng, size_t n, unsigned alphabet) {
  Bytes b(n);
  for (auto &c : b)
    c = static_cast<uint8_t>(alphabet >= 256 ? rng() : 'a' + rng() % alphabet);
  return b;
}

// Text-like input: words from a small vocabulary, numbers and line breaks,
// with bursts of noise, so that literals, short and long copies all occur.
Bytes Structured(std::mt19937 &rng, size_t n) {
  static const char *const words[] = {"DIM ",   "AS ",   "BYTE", "WORD", "IF ",    "THEN\n",
                                      "GOSUB ", "PORTB", " = ",  "FOR ", "NEXT\n", "' note\n"};
  Bytes b;
  while (b.size() < n) {
    const unsigned k = rng() % 20;
    if (k < 12) {
      for (const char *w = words[k]; *w; ++w)
        b.push_back(static_cast<uint8_t>(*w));
    } else if (k < 16) {
      b.push_back(static_cast<uint8_t>('0' + rng() % 10));
    } else if (k < 18 && b.size() > 40) {
      const size_t dist = 1 + rng() % std::min<size_t>(b.size(), rng() % 2 ? 8 : 5000);
      const size_t len = 1 + rng() % 30;
      for (size_t i = 0; i < len; ++i)
        b.push_back(b[b.size() - dist]);
    } else {
      b.push_back(static_cast<uint8_t>(rng()));
    }
  }
  b.resize(n);
  return b;
}

} // namespace

TEST(CompressorBlockDifferential, RunsAroundTheirLimitsAnywhereInTheBlock) {
  std::mt19937 rng(5);
  for (const size_t run :
       {1u,  2u,    3u,    14u,   15u,   16u,   17u,   18u,   19u,   31u,    32u,
        33u, 4094u, 4095u, 4096u, 4097u, 4110u, 4111u, 8190u, 8191u, 12000u, 32768u}) {
    for (const size_t before : {0u, 1u, 7u, 100u, 32768u - 4096u, 32768u - 200u}) {
      for (const size_t after : {0u, 1u, 2u, 17u, 18u, 19u, 300u}) {
        if (before + run + after > kBlockSize)
          continue;
        Bytes in = Random(rng, before, 3);
        in.insert(in.end(), run, static_cast<uint8_t>(rng() % 2 ? 'a' : 0));
        const Bytes tail = Random(rng, after, 3);
        in.insert(in.end(), tail.begin(), tail.end());
        ExpectSameCoding(in, "run " + std::to_string(run) + " after " + std::to_string(before));
      }
    }
  }
  // A run reaching exactly to the block's end, from every nearby start.
  for (size_t start = kBlockSize - 4200; start <= kBlockSize - 1; start += 37) {
    Bytes in = Structured(rng, start);
    in.resize(kBlockSize, 'q');
    ExpectSameCoding(in, "run to the end from " + std::to_string(start));
  }
}

TEST(CompressorBlockDifferential, EverySizeNearAFullBlockAndEverySmallSize) {
  std::mt19937 rng(11);
  const Bytes text = Structured(rng, kBlockSize);
  const Bytes noise = Random(rng, kBlockSize, 256);
  for (size_t n = 0; n <= 300; ++n) {
    ExpectSameCoding(Bytes(text.begin(), text.begin() + static_cast<long>(n)), "text prefix");
    ExpectSameCoding(Bytes(noise.begin(), noise.begin() + static_cast<long>(n)), "noise prefix");
  }
  for (size_t n = kBlockSize - 100; n <= kBlockSize; ++n) {
    ExpectSameCoding(Bytes(text.end() - static_cast<long>(n), text.end()), "text suffix");
    ExpectSameCoding(Bytes(noise.begin(), noise.begin() + static_cast<long>(n)), "noise prefix");
  }
}

TEST(CompressorBlockDifferential, RandomAndStructuredBlocksOfAllKinds) {
  std::mt19937 rng(23);
  for (int round = 0; round < 400; ++round) {
    const size_t n = round % 3 == 0 ? kBlockSize : rng() % (kBlockSize + 1);
    Bytes in;
    switch (round % 6) {
    case 0:
      in = Structured(rng, n);
      break;
    case 1:
      in = Random(rng, n, 256);
      break; // incompressible: stored
    case 2:
      in = Random(rng, n, 2 + rng() % 6);
      break;
    case 3: { // copies of every short distance, and a distance of exactly 4095
      in = Random(rng, std::min<size_t>(n, 4096), 256);
      while (in.size() < n) {
        const size_t dist = rng() % 3 ? 1 + rng() % 9 : 4095;
        if (dist > in.size())
          continue;
        const size_t len = 1 + rng() % 24;
        for (size_t i = 0; i < len && in.size() < n; ++i)
          in.push_back(in[in.size() - dist]);
        in.push_back(static_cast<uint8_t>(rng()));
      }
      in.resize(n);
      break;
    }
    case 4: { // noise with a varying share of repeats: output lengths around n
      const unsigned share = rng() % 40;
      in = Random(rng, n, 256);
      for (size_t i = 64; i + 20 < n; i += 1 + rng() % 40)
        if (rng() % 100 < share)
          std::copy_n(in.begin() + static_cast<long>(i - 1 - rng() % 60), 3 + rng() % 8,
                      in.begin() + static_cast<long>(i));
      break;
    }
    default: { // runs of random lengths between text
      in = Structured(rng, n);
      for (size_t i = 0; i + 1 < n; i += 1 + rng() % 3000) {
        const size_t len = std::min<size_t>(n - i, rng() % 5000);
        std::fill_n(in.begin() + static_cast<long>(i), len, static_cast<uint8_t>(rng() % 3));
      }
      break;
    }
    }
    ExpectSameCoding(in, "round " + std::to_string(round));
  }
}

TEST(CompressorBlockDifferential, StoredFallbackAtTheExactBoundary) {
  // Inputs whose coded form is just under, at, and just over their size: a
  // mix of noise and 3-byte repeats tuned by the share of repeats.
  std::mt19937 rng(31);
  int stored = 0, coded = 0; // inputs coded within 8 bytes of their size
  for (int round = 0; round < 600; ++round) {
    const size_t n = round % 2 ? kBlockSize : 200 + rng() % 2000;
    Bytes in = Random(rng, n, 256);
    const unsigned every = 5 + round % 9, len = 3 + round % 2;
    for (size_t i = 20; i + len < n; i += every + rng() % 3)
      std::copy_n(in.begin() + static_cast<long>(i - 10), len, in.begin() + static_cast<long>(i));
    ExpectSameCoding(in, "boundary round " + std::to_string(round));
    size_t length = 0;
    RefCompress(in, &length);
    if (length + 8 >= n && length <= n + 8)
      (length > n ? stored : coded)++;
  }
  // Both sides of the boundary were met closely.
  EXPECT_GT(stored, 5);
  EXPECT_GT(coded, 5);
}

TEST(CompressorBlockDifferential, DamagedBlocksGetTheSameVerdictFromBothDecoders) {
  std::mt19937 rng(47);
  for (int round = 0; round < 3000; ++round) {
    Bytes in = round % 2 ? Structured(rng, rng() % (kBlockSize + 1))
                         : Random(rng, rng() % (kBlockSize + 1), 4);
    if (round % 5 == 0 && in.size() > 100) // long runs too
      std::fill_n(in.begin() + 50, std::min<size_t>(in.size() - 50, 5000), 'r');
    Bytes block = RefCompress(in);
    if (block[0] != 0x40)
      continue;
    switch (round % 4) {
    case 0:
      block.resize(rng() % block.size());
      break; // cut anywhere
    case 1:  // a few bytes changed anywhere
      for (int k = 0; k < 3; ++k)
        block[1 + rng() % (block.size() - 1)] = static_cast<uint8_t>(rng());
      break;
    case 2: // trailing bytes: extra items after the last one
      for (int k = 0, m = static_cast<int>(rng() % 100); k < m; ++k)
        block.push_back(static_cast<uint8_t>(rng()));
      break;
    default:
      break;
    }
    Bytes a, b;
    const bool okA = Decompress(block, a), okB = RefDecompress(block, b);
    ASSERT_EQ(okA, okB) << "round " << round;
    if (okA) {
      ASSERT_EQ(a, b) << "round " << round;
    }
  }
}

TEST(CompressorBlockDifferential, ShortDistanceCopiesOfEveryLength) {
  // Overlapping copies repeat the last dist bytes, for every distance up to
  // 15 and every length, both where the decoder runs whole groups unchecked
  // and as the last item of a block, where it checks each item.
  for (size_t lead = 1; lead <= 15; ++lead) {
    for (size_t dist = 1; dist <= lead; ++dist) {
      for (size_t len = 3; len <= 18; ++len) {
        // lead literals, the copy, literals to the end of the group.
        const unsigned ctrl = 0x8000u >> lead;
        Bytes block = {0x40, static_cast<uint8_t>(ctrl >> 8), static_cast<uint8_t>(ctrl)};
        Bytes expected;
        for (size_t i = 0; i < lead; ++i) {
          block.push_back(static_cast<uint8_t>('A' + i));
          expected.push_back(static_cast<uint8_t>('A' + i));
        }
        block.push_back(static_cast<uint8_t>(dist >> 4));
        block.push_back(static_cast<uint8_t>(((dist & 0xF) << 4) | (len - 3)));
        for (size_t i = 0; i < len; ++i)
          expected.push_back(expected[expected.size() - dist]);
        const size_t copyEnd = block.size();
        for (size_t i = lead + 1; i < 16; ++i) {
          block.push_back(static_cast<uint8_t>('0' + i));
          expected.push_back(static_cast<uint8_t>('0' + i));
        }
        // Whole groups of literals after it, so that the decoder has room
        // for its unchecked path from the start.
        for (int g = 0; g < 8; ++g) {
          block.push_back(0);
          block.push_back(0);
          for (int i = 0; i < 16; ++i) {
            block.push_back(static_cast<uint8_t>('a' + i));
            expected.push_back(static_cast<uint8_t>('a' + i));
          }
        }
        Bytes a, b;
        ASSERT_TRUE(RefDecompress(block, b));
        ASSERT_EQ(b, expected);
        ASSERT_TRUE(Decompress(block, a));
        ASSERT_EQ(a, expected) << "dist " << dist << " len " << len << " lead " << lead;
        // The same copy as the last item of the block, where the decoder checks each item.
        Bytes tail(block.begin(), block.begin() + static_cast<long>(copyEnd));
        Bytes expectTail(expected.begin(), expected.begin() + static_cast<long>(lead + len));
        ASSERT_TRUE(Decompress(tail, a));
        ASSERT_EQ(a, expectTail) << "dist " << dist << " len " << len << " lead " << lead;
      }
    }
  }
}
