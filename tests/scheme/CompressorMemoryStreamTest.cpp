// The block method over memory streams, where blocks are coded straight from
// and decoded straight into the streams' bytes: the results, positions,
// returned counts, failure texts and the output left behind by a failure must
// be those of the same streams seen only through Read and Write.
#include "Compressor.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

// A memory stream the compressor can only use through Read and Write: the
// buffered reference for the direct paths.
class OpaqueStream : public TMemoryStream {
public:
  using TMemoryStream::TMemoryStream;
  int64_t Read(void *b, int64_t n) override { return TMemoryStream::Read(b, n); }
  int64_t Write(const void *b, int64_t n) override { return TMemoryStream::Write(b, n); }
};

std::string Sample(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s;
  while (s.size() < n) {
    switch (rng() % 4) {
    case 0:
      s += "IF PORTB.0 = 1 THEN GOSUB blink\n";
      break;
    case 1:
      s.append(rng() % 40, static_cast<char>('0' + rng() % 3));
      break;
    case 2:
      s += static_cast<char>(rng());
      break;
    default:
      s += "  FOR i = 0 TO " + std::to_string(rng() % 1000) + "\n";
      break;
    }
  }
  s.resize(n);
  return s;
}

struct Outcome {
  std::string error; // empty on success
  int64_t returned = -1;
  std::string output;
  int64_t outPos = -1, inPos = -1;
  bool operator==(const Outcome &) const = default;
};

// Runs one call with the given streams, both already positioned.
template <class In, class Out> Outcome Run(bool compress, In &in, Out &out) {
  TCompressor c;
  c.StreamMode = true;
  c.Method = TCompressor::cmBlock;
  c.InputStream = &in;
  c.OutputStream = &out;
  Outcome o;
  try {
    o.returned = compress ? c.Compress() : c.Decompress();
  } catch (const ECompressorException &e) {
    o.error = e.what();
  }
  o.output = out.Bytes();
  o.outPos = out.Position();
  o.inPos = in.Position();
  return o;
}

// The same call through direct-capable and opaque streams: equal outcomes.
Outcome ExpectSameAsOpaque(bool compress, const std::string &input, int64_t inAt,
                           const std::string &existing, int64_t outAt) {
  TMemoryStream in(input), out(existing);
  OpaqueStream oin(input), oout(existing);
  in.SetPosition(inAt);
  oin.SetPosition(inAt);
  out.SetPosition(outAt);
  oout.SetPosition(outAt);
  const Outcome direct = Run(compress, in, out);
  const Outcome opaque = Run(compress, oin, oout);
  EXPECT_TRUE(direct == opaque) << (compress ? "compress" : "decompress") << " error '"
                                << direct.error << "' vs '" << opaque.error << "', sizes "
                                << direct.output.size() << " vs " << opaque.output.size();
  // The read-only view over memory takes the direct path for its input too.
  TReadOnlyMemoryStream view(input.data(), static_cast<int64_t>(input.size()));
  view.SetPosition(inAt);
  TMemoryStream out2(existing);
  out2.SetPosition(outAt);
  EXPECT_TRUE(Run(compress, view, out2) == opaque);
  return direct;
}

} // namespace

TEST(CompressorMemoryStreams, DirectPathsMatchReadAndWriteForAnyPositions) {
  for (const size_t n : {0u, 1u, 100u, 32767u, 32768u, 32769u, 100000u, 200000u}) {
    const std::string data = Sample(n, static_cast<unsigned>(n));
    const std::string packed = TCompressor::Pack(data, TCompressor::cmBlock);
    // Plain: from the start, into an empty stream.
    Outcome o = ExpectSameAsOpaque(true, data, 0, "", 0);
    EXPECT_EQ(o.output, packed);
    o = ExpectSameAsOpaque(false, packed, 0, "", 0);
    EXPECT_EQ(o.output, data);
    EXPECT_EQ(o.returned, static_cast<int64_t>(n));
    // Input from the middle; output appended after existing bytes.
    ExpectSameAsOpaque(true, "head" + data, 4, "PREFIX", 6);
    o = ExpectSameAsOpaque(false, "head" + packed + "tail", 4, "PREFIX", 6);
    EXPECT_EQ(o.output, "PREFIX" + data);
    EXPECT_EQ(o.inPos, static_cast<int64_t>(4 + packed.size()));
    // Output in the middle of longer existing bytes: overwritten, not truncated.
    const std::string longer(n + 70000, '#');
    o = ExpectSameAsOpaque(false, packed, 0, longer, 10);
    EXPECT_EQ(o.output.size(), longer.size());
    EXPECT_EQ(o.output.substr(10, n), data);
    EXPECT_EQ(o.outPos, static_cast<int64_t>(10 + n));
    // Output positioned past its end: the gap is filled as a write fills it.
    ExpectSameAsOpaque(false, packed, 0, "ab", 5);
  }
}

TEST(CompressorMemoryStreams, DamagedStreamsFailAlikeAndLeaveTheSameOutput) {
  const std::string data = Sample(150000, 3);
  const std::string packed = TCompressor::Pack(data, TCompressor::cmBlock);
  std::mt19937 rng(8);
  for (int round = 0; round < 300; ++round) {
    std::string bad = packed;
    switch (round % 4) {
    case 0:
      bad.resize(rng() % bad.size());
      break;
    case 1:
      bad[8 + rng() % (bad.size() - 8)] ^= static_cast<char>(1 + rng() % 255);
      break;
    case 2: { // a stated size that lies either way
      const uint32_t lie = static_cast<uint32_t>(data.size()) +
                           (rng() % 2 ? 1 : -1) * static_cast<uint32_t>(rng() % 70000);
      for (int i = 0; i < 4; ++i)
        bad[4 + i] = static_cast<char>(lie >> (8 * i));
      break;
    }
    default: // a block length that overstates or understates
      bad[8] = static_cast<char>(rng());
      break;
    }
    ExpectSameAsOpaque(false, bad, 0, round % 2 ? "" : "keep", round % 2 ? 0 : 4);
  }
}
