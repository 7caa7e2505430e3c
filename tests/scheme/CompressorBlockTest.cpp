// The block method byte for byte: header, block framing, item layout, runs,
// stored fallback, and refusal of malformed blocks and streams.
#include "Compressor.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace kxcompress;

namespace {

std::string Bytes(std::initializer_list<int> v) {
  std::string s;
  for (int b : v)
    s.push_back(static_cast<char>(b));
  return s;
}

std::string CodeBlock(const std::string &in) {
  std::vector<uint8_t> out(kBlockBufferSize);
  std::vector<uint16_t> hash(kHashSize);
  const size_t n = BlockCompress(reinterpret_cast<const uint8_t *>(in.data()), in.size(),
                                 out.data(), hash.data());
  return std::string(reinterpret_cast<const char *>(out.data()), n);
}

// Decoded bytes, or "<bad>" when the block is refused.
std::string DecodeBlock(const std::string &block) {
  std::vector<uint8_t> out(kBlockBufferSize);
  const long n =
      BlockDecompress(reinterpret_cast<const uint8_t *>(block.data()), block.size(), out.data());
  return n < 0 ? "<bad>"
               : std::string(reinterpret_cast<const char *>(out.data()), static_cast<size_t>(n));
}

// The lengths of the blocks that follow the 8-byte header.
std::vector<size_t> BlockLengths(const std::string &packed) {
  std::vector<size_t> lens;
  size_t at = 8;
  while (at + 2 <= packed.size()) {
    const size_t len =
        static_cast<uint8_t>(packed[at]) | (static_cast<uint8_t>(packed[at + 1]) << 8);
    lens.push_back(len);
    at += 2 + len;
  }
  EXPECT_EQ(at, packed.size());
  return lens;
}

std::string RandomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (auto &c : s)
    c = static_cast<char>(rng());
  return s;
}

void ExpectUnpackFails(const std::string &packed, const char *message) {
  try {
    TCompressor::Unpack(packed);
    ADD_FAILURE() << "accepted";
  } catch (const ECompressorException &e) {
    EXPECT_STREQ(e.what(), message);
  }
}

const char kBlockMismatch[] =
    "Compressor (decompression Compressor/BK) : Original and compressed sizes do not match !";

} // namespace

TEST(CompressorBlockFormat, EmptyInputIsHeaderAndOneStoredEmptyBlock) {
  EXPECT_EQ(TCompressor::Pack("", TCompressor::cmBlock),
            Bytes({0x57, 0x52, 0x5A, 0x4C, 0, 0, 0, 0, 0x01, 0x00, 0x80}));
  EXPECT_EQ(TCompressor::Unpack(Bytes({0x57, 0x52, 0x5A, 0x4C, 0, 0, 0, 0, 0x01, 0x00, 0x80})), "");
}

TEST(CompressorBlockFormat, RunsOfSixteenOrMoreBecomeRunItems) {
  // 20 equal bytes: one 4-byte run item, its control bit left-aligned.
  EXPECT_EQ(CodeBlock(std::string(20, 'A')), Bytes({0x40, 0x80, 0x00, 0x00, 0x00, 0x04, 'A'}));
  // 15 equal bytes: a literal and a distance-1 copy of 14, no run item.
  EXPECT_EQ(CodeBlock(std::string(15, 'A')), Bytes({0x40, 0x40, 0x00, 'A', 0x00, 0x1B}));
  // 5000 equal bytes: a run stops at 4095, the rest is a second run.
  EXPECT_EQ(CodeBlock(std::string(5000, 'z')),
            Bytes({0x40, 0xC0, 0x00, 0x00, 0x0F, 0xEF, 'z', 0x00, 0x03, 0x79, 'z'}));
  for (size_t n : {15u, 16u, 20u, 4095u, 4096u, 5000u, 32768u})
    EXPECT_EQ(DecodeBlock(CodeBlock(std::string(n, 'q'))), std::string(n, 'q')) << n;
}

TEST(CompressorBlockFormat, SeventeenthItemStartsASecondControlWord) {
  const std::string in = "abcdefghijklmnopabcdefghijklmnop";
  std::string expected = Bytes({0x40, 0x00, 0x00});
  expected += "abcdefghijklmnop";
  expected += Bytes({0x80, 0x00, 0x01, 0x0D}); // copy: distance 16, length 16
  EXPECT_EQ(CodeBlock(in), expected);
  EXPECT_EQ(DecodeBlock(expected), in);
}

TEST(CompressorBlockFormat, IncompressibleBlocksAreStored) {
  for (size_t n : {0u, 1u, 2u, 3u, 100u, 32768u}) {
    const std::string in = RandomBytes(n, static_cast<unsigned>(n));
    const std::string block = CodeBlock(in);
    ASSERT_EQ(block.size(), n + 1) << n;
    EXPECT_EQ(static_cast<uint8_t>(block[0]), 0x80);
    EXPECT_EQ(block.substr(1), in);
    EXPECT_EQ(DecodeBlock(block), n == 0 ? "" : in);
  }
}

TEST(CompressorBlockFormat, OverlappingCopiesRepeatAPattern) {
  // Hand-made: "ab" then a copy of distance 2, length 7.
  EXPECT_EQ(DecodeBlock(Bytes({0x40, 0x20, 0x00, 'a', 'b', 0x00, 0x24})), "ababababa");
  // Distances of 8 and more copy in words; check against a byte-wise reading.
  EXPECT_EQ(DecodeBlock(Bytes({0x40, 0x00, 0x02, '1', '2', '3', '4', '5', '6', '7', '8', '9', '0',
                               '1', '2', '3', '4', 0x00, 0xAF})),
            "12345678901234"
            "567890123456789012");
}

TEST(CompressorBlockFormat, MultiplesOf32768EndWithAnEmptyBlock) {
  EXPECT_EQ(BlockLengths(TCompressor::Pack(std::string(32768, 'x'), TCompressor::cmBlock)).size(),
            2u);
  const auto lens = BlockLengths(TCompressor::Pack(RandomBytes(65536, 7), TCompressor::cmBlock));
  ASSERT_EQ(lens.size(), 3u);
  EXPECT_EQ(lens[0], 32769u);
  EXPECT_EQ(lens[1], 32769u);
  EXPECT_EQ(lens[2], 1u);
  EXPECT_EQ(BlockLengths(TCompressor::Pack(std::string(32769, 'x'), TCompressor::cmBlock)).size(),
            2u);
  EXPECT_EQ(BlockLengths(TCompressor::Pack(std::string(32767, 'x'), TCompressor::cmBlock)).size(),
            1u);
}

TEST(CompressorBlockFormat, HeaderCarriesMagicAndSignedSize) {
  const std::string packed = TCompressor::Pack(std::string(70000, ' '), TCompressor::cmBlock);
  EXPECT_EQ(packed.substr(0, 8), Bytes({'W', 'R', 'Z', 'L', 0x70, 0x11, 0x01, 0x00}));
  const std::string lzh = TCompressor::Pack("x", TCompressor::cmLZH);
  EXPECT_EQ(lzh.substr(0, 8), Bytes({'!', 'H', 'Z', 'L', 1, 0, 0, 0}));
}

TEST(CompressorBlockMalformed, BadBlocksAreRefusedNotDecoded) {
  EXPECT_EQ(DecodeBlock(Bytes({0x41, 0x00, 0x00, 'a'})), "<bad>");        // unknown marker
  EXPECT_EQ(DecodeBlock(Bytes({0x40, 0x80, 0x00, 0x00, 0x10})), "<bad>"); // copy before start
  EXPECT_EQ(DecodeBlock(Bytes({0x40, 0x40, 0x00, 'a', 0x00, 0x20})),
            "<bad>");                                                    // distance 2 after 1 byte
  EXPECT_EQ(DecodeBlock(Bytes({0x40, 0x40, 0x00, 'a', 0x00})), "<bad>"); // copy cut short
  EXPECT_EQ(DecodeBlock(Bytes({0x40, 0x80, 0x00, 0x00, 0x00, 0x04})), "<bad>"); // run cut short
  EXPECT_EQ(DecodeBlock(Bytes({0x40, 0x00})), "<bad>"); // control word cut short
  EXPECT_EQ(DecodeBlock(Bytes({0x40})), "");            // below 2 bytes: nothing
  // Nine runs of 4095 would write past 32768 bytes.
  std::string runs = Bytes({0x40, 0xFF, 0x80});
  for (int i = 0; i < 9; ++i)
    runs += Bytes({0x00, 0x0F, 0xEF, 'r'});
  EXPECT_EQ(DecodeBlock(runs), "<bad>");
  // A stored block longer than 32768 bytes.
  EXPECT_EQ(DecodeBlock(std::string(1, '\x80') + std::string(32769, 'a')), "<bad>");
}

TEST(CompressorBlockMalformed, StreamsThatLieOrStopShortGiveTheSpecifiedErrors) {
  const std::string good =
      TCompressor::Pack(std::string(40000, 'k') + RandomBytes(30000, 3), TCompressor::cmBlock);
  ASSERT_EQ(TCompressor::Unpack(good).size(), 70000u);

  ExpectUnpackFails("", "Compressor decompression : input stream contains no valid header !");
  ExpectUnpackFails("WRZ", "Compressor decompression : input stream contains no valid header !");
  ExpectUnpackFails("XRZL" + good.substr(4),
                    "Compressor decompression : input stream contains no valid header !");
  ExpectUnpackFails("WRZL\x01", "Compressor : Error reading from input stream !");
  // Every cut after the header is a size mismatch.
  for (size_t keep : {8u, 9u, 10u, 100u, 32779u, 32780u})
    ExpectUnpackFails(good.substr(0, keep), kBlockMismatch);
  ExpectUnpackFails(good.substr(0, good.size() - 1), kBlockMismatch);
  // Original size too large, too small and negative.
  auto withSize = [&](uint32_t size) {
    std::string s = good;
    for (int i = 0; i < 4; ++i)
      s[4 + i] = static_cast<char>(size >> (8 * i));
    return s;
  };
  ExpectUnpackFails(withSize(70001), kBlockMismatch);
  ExpectUnpackFails(withSize(69999), kBlockMismatch);
  ExpectUnpackFails(withSize(0), kBlockMismatch);
  ExpectUnpackFails(withSize(0x80000000u), kBlockMismatch);
  // A block length beyond any block's size.
  std::string longBlock = good;
  longBlock[8] = '\xFF';
  longBlock[9] = '\xFF';
  ExpectUnpackFails(longBlock, kBlockMismatch);
}

TEST(CompressorBlockMalformed, ManyFullBlocksCannotOutgrowTheStatedSize) {
  // Blocks of 38 bytes that each decode to 32768 bytes.
  std::string block = Bytes({0x40, 0xFF, 0x80});
  for (int i = 0; i < 7; ++i)
    block += Bytes({0x00, 0x0F, 0xEF, 'r'});
  block += Bytes({0x00, 0x0F, 0xE7, 'r', 0x00, 0x00, 0x00, 'r'});
  ASSERT_EQ(DecodeBlock(block), std::string(32768, 'r'));
  std::string blocks;
  for (int i = 0; i < 1000; ++i)
    blocks += Bytes({static_cast<int>(block.size()), 0}) + block;
  // Claiming 10 bytes: refused at the first block, not after 32 MB.
  ExpectUnpackFails(Bytes({'W', 'R', 'Z', 'L', 10, 0, 0, 0}) + blocks, kBlockMismatch);
  // Claiming 2 GB: the data ends first.
  ExpectUnpackFails(Bytes({'W', 'R', 'Z', 'L', 0xFF, 0xFF, 0xFF, 0x7F}) + blocks, kBlockMismatch);
}

TEST(CompressorBlockFormat, RandomItemSequencesDecodeAsLaidOut) {
  // Blocks built item by item from the layout, with the expected output
  // produced byte by byte alongside; the decoder must agree on every one.
  std::mt19937 rng(77);
  for (int round = 0; round < 300; ++round) {
    std::string block = Bytes({0x40, 0, 0}), expected;
    size_t ctrlPos = 1;
    unsigned ctrl = 0;
    int items = 0;
    const unsigned mix = rng() % 4;
    for (int k = 0; k < 4000; ++k) {
      if (items == 16) {
        block[ctrlPos] = static_cast<char>(ctrl >> 8);
        block[ctrlPos + 1] = static_cast<char>(ctrl);
        ctrlPos = block.size();
        block += Bytes({0, 0});
        ctrl = 0;
        items = 0;
      }
      const unsigned kind = rng() % 10;
      const size_t room = kBlockSize - expected.size();
      if (kind < 3 + mix || expected.size() < 3 || room < 18) {
        if (room == 0)
          break;
        const char c = static_cast<char>(rng() % 4 == 0 ? rng() : 'a' + rng() % 3);
        block += c;
        expected += c;
        ctrl <<= 1;
      } else if (kind < 9 || room < 4095 + 16) {
        const size_t dist = 1 + rng() % std::min<size_t>(expected.size(), rng() % 2 ? 20 : 4095);
        const size_t len = 3 + rng() % 16;
        block += static_cast<char>(dist >> 4);
        block += static_cast<char>(((dist & 0xF) << 4) | (len - 3));
        for (size_t i = 0; i < len; ++i)
          expected += expected[expected.size() - dist];
        ctrl = (ctrl << 1) | 1;
      } else {
        const size_t count = 16 + rng() % 4080;
        const char c = static_cast<char>(rng());
        block +=
            Bytes({0, static_cast<int>((count - 16) >> 8), static_cast<int>((count - 16) & 0xFF)});
        block += c;
        expected.append(count, c);
        ctrl = (ctrl << 1) | 1;
      }
      items++;
    }
    ctrl <<= 16 - items;
    block[ctrlPos] = static_cast<char>(ctrl >> 8);
    block[ctrlPos + 1] = static_cast<char>(ctrl);
    ASSERT_EQ(DecodeBlock(block), expected) << "round " << round;
  }
}

TEST(CompressorBlockMalformed, BadItemsDeepInALongBlockAreRefused) {
  // The same faults as above, placed where the decoder has room for whole groups.
  std::string lits(16, 'x');
  std::string farCopy =
      Bytes({0x40, 0, 0}) + lits + Bytes({0x80, 0x00, 0xFF, 0xF0}) + std::string(200, 'y');
  EXPECT_EQ(DecodeBlock(farCopy), "<bad>");
  std::string manyRuns = Bytes({0x40, 0xFF, 0xC0});
  for (int i = 0; i < 10; ++i)
    manyRuns += Bytes({0x00, 0x0F, 0xEF, 'r'});
  manyRuns += std::string(200, 'z');
  EXPECT_EQ(DecodeBlock(manyRuns), "<bad>");
}
