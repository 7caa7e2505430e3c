// The LZH tables start from a known state on every run: the published program
// keeps them in zero-initialised storage, so the parts of the ring buffer the
// spaces do not cover are zeros, in the decoder (which a damaged stream can
// make copy from before they are written) and in the encoder (whose match
// search compares past the end of a short input). Whatever an earlier run
// left in memory must not reach a later run's output.
#include "Compressor.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

// A damaged LZH stream (found by fuzzing) whose copies read ring positions
// the decoder has not yet written.
const std::string
    kReadsUnwrittenRing("\x21\x48\x5a\x4c\xf8\x02\x00\x00\xe9\x76\xfb\xda\xce\xae\x17\xff"
                        "\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff"
                        "\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff"
                        "\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xfd\xff"
                        "\xff\xff\xff\xff\xff\xff\xff\xff\x26\x23\xf2\xff\x83\x12\xed\xed"
                        "\xed\xdc\x6b\xbb\x96\xb0\xef\x39\xd1\x81\x1c\x1a\xb0\x5f\x6b\xa3"
                        "\xe4\xad\x75\x26\xce\x5b\xae\x25\xa1\x12\xcb\x12\xd3\x12\xcc\x25"
                        "\x9c\x4b\x40\x96\x91\x2c\x44\xb2\x12\xc8\x4b\x31\x2d\x8f\x40",
                        127);

// Runs both LZH directions over varied data, leaving its traces in the
// memory the next run's tables are likely to get.
void DirtyTheTables(unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(40000, '\0');
  for (auto &c : s)
    c = static_cast<char>(rng() % 2 ? 'A' + rng() % 3 : rng());
  ASSERT_EQ(TCompressor::Unpack(TCompressor::Pack(s, TCompressor::cmLZH)), s);
}

} // namespace

TEST(CompressorLzhTables, ADamagedStreamDecodesTheSameWhateverCameBefore) {
  const std::string first = TCompressor::Unpack(kReadsUnwrittenRing);
  ASSERT_EQ(first.size(), 760u);
  for (unsigned seed : {1u, 2u, 3u}) {
    DirtyTheTables(seed);
    EXPECT_EQ(TCompressor::Unpack(kReadsUnwrittenRing), first);
  }
  // The unwritten part of the ring reads as zeros, as in the published program.
  EXPECT_NE(first.find(std::string(16, '\0')), std::string::npos);
}

TEST(CompressorLzhTables, ShortInputsEncodeTheSameWhateverCameBefore) {
  std::mt19937 rng(9);
  std::vector<std::string> inputs;
  for (size_t n : {1u, 2u, 3u, 10u, 59u, 60u, 61u, 200u})
    for (int k = 0; k < 3; ++k) {
      std::string s(n, '\0');
      for (auto &c : s)
        c = static_cast<char>(k == 0 ? ' ' + rng() % 2 : k == 1 ? rng() % 3 : rng());
      inputs.push_back(s);
    }
  std::vector<std::string> packed;
  for (const auto &s : inputs)
    packed.push_back(TCompressor::Pack(s, TCompressor::cmLZH));
  for (unsigned seed : {4u, 5u}) {
    for (size_t i = 0; i < inputs.size(); ++i) {
      DirtyTheTables(seed + static_cast<unsigned>(i));
      EXPECT_EQ(TCompressor::Pack(inputs[i], TCompressor::cmLZH), packed[i]) << i;
      EXPECT_EQ(TCompressor::Unpack(packed[i]), inputs[i]);
    }
  }
}
