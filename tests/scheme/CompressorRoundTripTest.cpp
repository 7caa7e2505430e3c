// Compress then decompress is the identity, for both methods and through
// Advise, across the block boundaries; Advise's sampling; stream positions.
#include "Compressor.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

namespace {

std::string RandomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (auto &c : s)
    c = static_cast<char>(rng());
  return s;
}

// Text lines, runs, near and far repeats, and random stretches mixed.
std::string Structured(size_t n, unsigned seed) {
  static const char *words[] = {"FOR", "NEXT",  "GOSUB",  "PORTB", "TRISA", "HIGH",
                                "LOW", "PAUSE", "'",      "=",     "I",     "TO",
                                "10",  "0x3F",  "DEVICE", "16F84"};
  std::mt19937 rng(seed);
  std::string s;
  s.reserve(n + 5000);
  while (s.size() < n) {
    switch (rng() % 5) {
    case 0: // a line of text
      for (unsigned k = rng() % 8 + 1; k > 0; --k) {
        s += words[rng() % 16];
        s += ' ';
      }
      s += "\r\n";
      break;
    case 1: // a run
      s.append(rng() % 5000 + 1, static_cast<char>(rng()));
      break;
    case 2:   // a repeat from up to 4095 back, sometimes overlapping
    case 3: { // or from far back
      if (s.size() < 4)
        break;
      const size_t back =
          std::min<size_t>(s.size(), rng() % 2 ? rng() % 4095 + 1 : rng() % 100000 + 1);
      const size_t from = s.size() - back;
      const size_t len = rng() % 300 + 1;
      for (size_t k = 0; k < len; ++k)
        s.push_back(s[from + k]);
      break;
    }
    default:
      s += RandomBytes(rng() % 200 + 1, rng());
    }
  }
  s.resize(n);
  return s;
}

const size_t kSizes[] = {0, 1, 32767, 32768, 32769, 65536, 98303, 98304, 3 * 1024 * 1024 + 17};

} // namespace

TEST(CompressorRoundTrip, BothMethodsAndAdviseRestoreRandomAndStructuredInputs) {
  for (size_t n : kSizes)
    for (int kind = 0; kind < 2; ++kind) {
      const std::string in =
          kind ? Structured(n, static_cast<unsigned>(n)) : RandomBytes(n, static_cast<unsigned>(n));
      for (uint8_t method : {TCompressor::cmBlock, TCompressor::cmLZH, TCompressor::cmAdvise}) {
        const std::string packed = TCompressor::Pack(in, method);
        EXPECT_TRUE(TCompressor::Unpack(packed) == in)
            << "size " << n << (kind ? " structured" : " random") << " method " << int(method);
      }
    }
}

TEST(CompressorRoundTrip, StructuredInputActuallyShrinks) {
  const std::string in = Structured(1 << 20, 5);
  EXPECT_LT(TCompressor::Pack(in, TCompressor::cmBlock).size(), in.size() / 2);
  EXPECT_LT(TCompressor::Pack(in, TCompressor::cmLZH).size(), in.size() / 2);
}

TEST(CompressorRoundTrip, EveryBlockLengthBoundaryNearFullBlocks) {
  // Sizes at which the last block is 0, 1 or 2 bytes, or nearly full.
  std::mt19937 rng(11);
  for (size_t n : {32766u, 65535u, 65537u, 65538u, 98305u, 131071u}) {
    std::string in = Structured(n, static_cast<unsigned>(rng()));
    EXPECT_TRUE(TCompressor::Unpack(TCompressor::Pack(in, TCompressor::cmBlock)) == in) << n;
  }
}

TEST(CompressorAdvise, SmallInputsChooseLzhAndLargeOnesAreSampled) {
  auto advise = [](const std::string &bytes, int threshold, uint8_t &method) {
    TReadOnlyMemoryStream in(bytes.data(), static_cast<int64_t>(bytes.size()));
    TCompressor c;
    c.StreamMode = true;
    c.InputStream = &in;
    c.Method = method;
    c.AdviseThreshold = threshold;
    const bool r = c.Advise();
    method = c.Method;
    EXPECT_EQ(in.Position(), 0);
    return r;
  };
  uint8_t m = TCompressor::cmBlock;
  EXPECT_FALSE(advise(std::string(98303, 'a'), 40, m));
  EXPECT_EQ(m, TCompressor::cmLZH);

  m = TCompressor::cmBlock;
  EXPECT_TRUE(advise(std::string(98304, 'a'), 40, m));
  EXPECT_EQ(m, TCompressor::cmBlock);
  EXPECT_FALSE(advise(RandomBytes(98304, 1), 40, m));
  EXPECT_FALSE(advise(std::string(98304, 'a'), 0, m));

  // Only the two samples count: compressible bytes outside them do not help.
  std::string mixed = RandomBytes(300000, 2);
  std::fill(mixed.begin(), mixed.begin() + 98304, 'z');
  EXPECT_FALSE(advise(mixed, 40, m));
  std::fill(mixed.begin() + 98304, mixed.begin() + 131072, 'z');  // sample at 300000/3 -> 98304
  std::fill(mixed.begin() + 196608, mixed.begin() + 229376, 'z'); // sample at 200000 -> 196608
  EXPECT_TRUE(advise(mixed, 40, m));
}

TEST(CompressorAdvise, MethodTwoPicksPerInputAndKeepsChoosing) {
  TCompressor c;
  c.StreamMode = true;
  c.Method = TCompressor::cmAdvise;
  auto pack = [&](const std::string &bytes) {
    TReadOnlyMemoryStream in(bytes.data(), static_cast<int64_t>(bytes.size()));
    TMemoryStream out;
    c.InputStream = &in;
    c.OutputStream = &out;
    c.Compress();
    return out.Bytes().substr(0, 4);
  };
  EXPECT_EQ(pack("short"), "!HZL");
  EXPECT_EQ(c.Method, TCompressor::cmAdvise);
  EXPECT_EQ(pack(std::string(200000, ' ')), "WRZL");
  EXPECT_EQ(pack(RandomBytes(200000, 4)), "!HZL");
}

TEST(CompressorStreams, WorkFromCurrentPositionsAndLeaveTheInputAfterTheData) {
  for (uint8_t method : {TCompressor::cmBlock, TCompressor::cmLZH}) {
    const std::string a = Structured(50000, 1), b = "second payload";
    // Input starts at 3; output is appended after existing bytes, not truncated.
    const std::string source = "xyz" + a;
    TReadOnlyMemoryStream in(source.data(), static_cast<int64_t>(source.size()));
    in.SetPosition(3);
    TMemoryStream out(std::string("PREFIX"));
    out.Seek(0, TSeekOrigin::soEnd);
    TCompressor c;
    c.StreamMode = true;
    c.Method = method;
    c.InputStream = &in;
    c.OutputStream = &out;
    const int64_t written = c.Compress();
    EXPECT_EQ(written, static_cast<int64_t>(out.Bytes().size()) - 6);
    EXPECT_EQ(out.Bytes().substr(0, 6), "PREFIX");

    // Two packed streams back to back decode one after the other.
    const std::string both = out.Bytes().substr(6) + TCompressor::Pack(b, method);
    TReadOnlyMemoryStream packed(both.data(), static_cast<int64_t>(both.size()));
    TMemoryStream first, second;
    c.InputStream = &packed;
    c.OutputStream = &first;
    EXPECT_EQ(c.Decompress(), static_cast<int64_t>(a.size()));
    EXPECT_EQ(packed.Position(), written) << int(method);
    c.OutputStream = &second;
    c.Decompress();
    EXPECT_TRUE(first.Bytes() == a);
    EXPECT_EQ(second.Bytes(), b);
  }
}

TEST(CompressorStreams, MissingStreamsAreReported) {
  TCompressor c;
  c.StreamMode = true;
  TMemoryStream m;
  try {
    c.OutputStream = &m;
    c.Compress();
    ADD_FAILURE();
  } catch (const ECompressorException &e) {
    EXPECT_STREQ(e.what(), "Compressor (de)compression : Failed to initialize input stream !");
  }
  try {
    c.InputStream = &m;
    c.OutputStream = nullptr;
    c.Decompress();
    ADD_FAILURE();
  } catch (const ECompressorException &e) {
    EXPECT_STREQ(e.what(), "Compressor (de)compression : Failed to initialize output stream !");
  }
  c.InputStream = nullptr;
  try {
    c.Advise();
    ADD_FAILURE();
  } catch (const ECompressorException &e) {
    EXPECT_STREQ(e.what(), "Compressor edvise : can not initialize the input stream!");
  }
}

namespace {
// A stream that fails after a number of bytes, for read and write errors.
class BrokenStream : public TMemoryStream {
public:
  BrokenStream(std::string bytes, int64_t limit) : TMemoryStream(std::move(bytes)), limit_(limit) {}
  int64_t Read(void *b, int64_t n) override {
    if (Position() + n > limit_)
      n = std::max<int64_t>(0, limit_ - Position());
    return TMemoryStream::Read(b, n);
  }
  int64_t Write(const void *b, int64_t n) override {
    if (Position() + n > limit_)
      throw EWriteError("Stream write error");
    return TMemoryStream::Write(b, n);
  }

private:
  int64_t limit_;
};

std::string Message(const std::function<void()> &f) {
  try {
    f();
  } catch (const ECompressorException &e) {
    return e.what();
  }
  return "<no error>";
}
} // namespace

TEST(CompressorStreams, ShortReadsAndWritesGiveTheMethodsTexts) {
  const std::string data = Structured(100000, 9);
  for (uint8_t method : {TCompressor::cmBlock, TCompressor::cmLZH}) {
    BrokenStream in(data, 40000); // claims 100000 bytes, delivers 40000
    TMemoryStream out;
    TCompressor c;
    c.StreamMode = true;
    c.Method = method;
    c.InputStream = &in;
    c.OutputStream = &out;
    EXPECT_EQ(Message([&] { c.Compress(); }),
              method == TCompressor::cmBlock
                  ? "Compressor : Error reading from input stream ! (Compressor/BK)"
                  : "Compressor : Error reading from input stream ! (LZH)");
    TMemoryStream in2(data);
    BrokenStream full("", 1000);
    c.InputStream = &in2;
    c.OutputStream = &full;
    EXPECT_EQ(Message([&] { c.Compress(); }), "Compressor : Error writing to output stream !");

    const std::string packed = TCompressor::Pack(data, method);
    TMemoryStream in3(packed);
    BrokenStream full2("", 5000);
    c.InputStream = &in3;
    c.OutputStream = &full2;
    EXPECT_EQ(Message([&] { c.Decompress(); }), "Compressor : Error writing to output stream !");
  }
}
