// File mode: round trips through files, the file-named failure texts, and that
// a failed run leaves no partial output (and an older output untouched).
#include "Compressor.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class CompressorFile : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("kxcompress-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string &name) const { return (dir_ / name).string(); }
  void Write(const std::string &name, const std::string &bytes) const {
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }
  std::string Read(const std::string &name) const { return ReadWholeFile(Path(name)); }
  size_t EntryCount() const {
    return static_cast<size_t>(
        std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
  }

  TCompressor Files(const std::string &in, const std::string &out,
                    uint8_t method = TCompressor::cmBlock) {
    TCompressor c;
    c.InputFileName = Path(in);
    c.OutputFileName = Path(out);
    c.Method = method;
    return c;
  }

  static std::string Message(TCompressor &c, bool compress) {
    try {
      compress ? c.Compress() : c.Decompress();
    } catch (const ECompressorException &e) {
      return e.what();
    }
    return "<no error>";
  }

  fs::path dir_;
};

std::string Sample(size_t n) {
  std::string s;
  for (size_t i = 0; s.size() < n; ++i)
    s += "10 FOR I = " + std::to_string(i % 97) + " TO 255 : PORTB = I : NEXT I\r\n";
  s.resize(n);
  return s;
}

} // namespace

TEST_F(CompressorFile, RoundTripsThroughFilesWithEveryMethod) {
  const std::string text = Sample(150000);
  Write("in.bas", text);
  for (uint8_t method : {TCompressor::cmBlock, TCompressor::cmLZH, TCompressor::cmAdvise}) {
    TCompressor c = Files("in.bas", "in.kxz", method);
    const int64_t written = c.Compress();
    EXPECT_EQ(written, static_cast<int64_t>(fs::file_size(Path("in.kxz"))));
    TCompressor d = Files("in.kxz", "out.bas");
    EXPECT_EQ(d.Decompress(), static_cast<int64_t>(text.size()));
    EXPECT_TRUE(Read("out.bas") == text) << int(method);
  }
  EXPECT_EQ(EntryCount(), 3u); // no temporary files left behind
}

TEST_F(CompressorFile, AnExistingOutputIsReplacedKeepingItsPermissions) {
  Write("in.bas", Sample(1000));
  Write("out.kxz", "old");
  ::chmod(Path("out.kxz").c_str(), 0640);
  TCompressor c = Files("in.bas", "out.kxz");
  c.Compress();
  struct stat st {};
  ASSERT_EQ(::stat(Path("out.kxz").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(Read("out.kxz").substr(0, 4), "WRZL");
}

TEST_F(CompressorFile, OpenFailuresNameTheFile) {
  TCompressor missing = Files("nothere.bas", "out.kxz");
  EXPECT_EQ(Message(missing, true),
            "Compressor (de)compression : Failed to open input file : " + Path("nothere.bas"));
  EXPECT_FALSE(fs::exists(Path("out.kxz")));

  Write("in.bas", "x");
  TCompressor noFolder = Files("in.bas", "no/such/folder/out.kxz");
  EXPECT_EQ(Message(noFolder, true), "Compressor (de)compression : Failed to open output file : " +
                                         Path("no/such/folder/out.kxz"));

  TCompressor advise = Files("nothere.bas", "out.kxz");
  try {
    advise.Advise();
    ADD_FAILURE();
  } catch (const ECompressorException &e) {
    EXPECT_EQ(std::string(e.what()),
              "Compressor advise : can open input file : " + Path("nothere.bas"));
  }
}

TEST_F(CompressorFile, BadHeaderNamesTheFile) {
  Write("plain.txt", "just some text");
  TCompressor c = Files("plain.txt", "out.bin");
  EXPECT_EQ(Message(c, false),
            Path("plain.txt") + " : Compressor decompression : this file has no valid header !");
  EXPECT_FALSE(fs::exists(Path("out.bin")));
}

TEST_F(CompressorFile, FailedRunsLeaveNoPartialOutputAndKeepAnOlderOne) {
  // A truncated compressed file: decoding fails half-way through.
  Write("in.bas", Sample(200000));
  TCompressor c = Files("in.bas", "in.kxz");
  c.Compress();
  const std::string packed = Read("in.kxz");
  Write("cut.kxz", packed.substr(0, packed.size() / 2));
  TCompressor d = Files("cut.kxz", "fresh.bas");
  EXPECT_EQ(
      Message(d, false),
      "Compressor (decompression Compressor/BK) : Original and compressed sizes do not match !");
  EXPECT_FALSE(fs::exists(Path("fresh.bas")));

  Write("older.bas", "keep me");
  TCompressor e = Files("cut.kxz", "older.bas");
  Message(e, false);
  EXPECT_EQ(Read("older.bas"), "keep me");

  // Compressing an input too large for the signed 32-bit size field fails
  // after the output was opened; the output is dropped.
  { std::ofstream big(Path("big.bin"), std::ios::binary); }
  fs::resize_file(Path("big.bin"), (uintmax_t{1} << 31) + 10); // sparse
  TCompressor f = Files("big.bin", "big.kxz");
  EXPECT_EQ(Message(f, true),
            "Compressor compression : Failed to obtain the size of : " + Path("big.bin"));
  EXPECT_FALSE(fs::exists(Path("big.kxz")));
  Write("older.kxz", "keep me too");
  TCompressor g = Files("big.bin", "older.kxz");
  Message(g, true);
  EXPECT_EQ(Read("older.kxz"), "keep me too");
  fs::remove(Path("big.bin"));
  EXPECT_EQ(EntryCount(), 5u); // in.bas, in.kxz, cut.kxz, older.bas, older.kxz: no temporaries
}

TEST_F(CompressorFile, AdviseReadsSamplesFromTheFile) {
  Write("runs.bin", std::string(200000, '\0'));
  TCompressor c = Files("runs.bin", "x");
  EXPECT_TRUE(c.Advise());
  Write("small.bin", std::string(1000, '\0'));
  TCompressor s = Files("small.bin", "x");
  s.Method = TCompressor::cmAdvise;
  EXPECT_FALSE(s.Advise());
  EXPECT_EQ(s.Method, TCompressor::cmLZH);
}
