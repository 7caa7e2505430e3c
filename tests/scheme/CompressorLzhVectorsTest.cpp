// The LZH method against the published LZHUF reference program: our bitstream
// after the 8-byte header must equal the reference's after its 4-byte size,
// and we must decode the reference's streams.
#include "Compressor.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kVectors = fs::path(KX_TESTDATA_DIR) / "lzh";
// Every test checks that all vectors were found: an empty folder must fail.
constexpr size_t kVectorCount = 14;

struct Vector {
  std::string name;
  std::string input;
  std::string reference; // 4-byte little-endian size, then the bitstream
};

std::vector<Vector> LoadVectors() {
  std::vector<Vector> out;
  for (const auto &e : fs::directory_iterator(kVectors)) {
    const fs::path p = e.path();
    if (p.extension() != ".lzh")
      continue;
    const fs::path input = p.parent_path() / p.stem();
    out.push_back(
        {input.filename().string(), ReadWholeFile(input.string()), ReadWholeFile(p.string())});
  }
  std::sort(out.begin(), out.end(),
            [](const Vector &a, const Vector &b) { return a.name < b.name; });
  return out;
}

std::string OurForm(const std::string &reference) {
  return std::string("\x21\x48\x5A\x4C", 4) + reference;
}

} // namespace

TEST(CompressorLzhVectors, EncoderReproducesTheReferenceBitstreams) {
  const auto vectors = LoadVectors();
  ASSERT_EQ(vectors.size(), kVectorCount) << "vectors missing under " << kVectors;
  for (const auto &v : vectors) {
    const std::string ours = TCompressor::Pack(v.input, TCompressor::cmLZH);
    ASSERT_EQ(ours.size(), v.reference.size() + 4) << v.name;
    EXPECT_TRUE(ours == OurForm(v.reference)) << v.name << ": bitstreams differ";
  }
}

TEST(CompressorLzhVectors, DecoderRestoresTheReferenceInputs) {
  const auto vectors = LoadVectors();
  ASSERT_EQ(vectors.size(), kVectorCount) << "vectors missing under " << kVectors;
  for (const auto &v : vectors) {
    const std::string back = TCompressor::Unpack(OurForm(v.reference));
    EXPECT_TRUE(back == v.input) << v.name;
  }
}

TEST(CompressorLzhVectors, EveryCutReferenceStreamIsRefused) {
  // Cutting the last byte of a non-empty bitstream loses bits the decoder needs.
  const auto vectors = LoadVectors();
  ASSERT_EQ(vectors.size(), kVectorCount) << "vectors missing under " << kVectors;
  for (const auto &v : vectors) {
    if (v.input.empty())
      continue;
    const std::string full = OurForm(v.reference);
    for (size_t keep : {full.size() - 1, full.size() / 2 + 4, size_t{9}}) {
      if (keep >= full.size())
        continue;
      try {
        TCompressor::Unpack(full.substr(0, keep));
        ADD_FAILURE() << v.name << " cut to " << keep << " was accepted";
      } catch (const ECompressorException &e) {
        EXPECT_STREQ(
            e.what(),
            "Compressor (LZH decompression) : Original and compressed sizes do not match !");
      }
    }
  }
}
