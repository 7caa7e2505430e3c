// kxscheme's store, load, pack, unpack and embed, run as the real program.
#include "Compressor.h"
#include "EmbeddedSchemes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class Kxscheme : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("kxscheme-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string &name) const { return (dir_ / name).string(); }

  // Runs kxscheme with args; stdout and stderr go to files read back here.
  int Run(const std::string &args) {
    const std::string cmd = std::string(KX_BINARY_DIR) + "/kxscheme " + args + " >" +
                            Path("out.txt") + " 2>" + Path("err.txt");
    const int status = std::system(cmd.c_str());
    out_ = ReadWholeFile(Path("out.txt"));
    err_ = ReadWholeFile(Path("err.txt"));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  fs::path dir_;
  std::string out_, err_;
};

const std::string kSchemes = std::string(KX_SOURCE_DIR) + "/resources/schemes/";

} // namespace

TEST_F(Kxscheme, StoreWritesTheBuiltInBytesAndLoadSummarisesThem) {
  ASSERT_EQ(Run("store " + kSchemes + "tarnic.scheme -o " + Path("tarnic.stored")), 0) << err_;
  const std::string stored = ReadWholeFile(Path("tarnic.stored"));
  int found = 0;
  for (const TEmbeddedScheme &builtIn : EmbeddedStoredSchemes())
    if (std::string(builtIn.Name) == "TARNIC") {
      ++found;
      EXPECT_TRUE(stored ==
                  std::string(reinterpret_cast<const char *>(builtIn.Data), builtIn.Size));
    }
  EXPECT_EQ(found, 1);

  ASSERT_EQ(Run("load " + Path("tarnic.stored")), 0) << err_;
  EXPECT_NE(out_.find("language: TARNIC\n"), std::string::npos) << out_;
  EXPECT_NE(out_.find("per-state start tables: 4 {1,2,3,4}"), std::string::npos) << out_;
}

TEST_F(Kxscheme, FailuresExitNonZeroWithTheReason) {
  WriteFileAtomic(Path("bad.scheme"), "%%language\nname = \n");
  EXPECT_EQ(Run("store " + Path("bad.scheme") + " -o " + Path("bad.stored")), 1);
  EXPECT_NE(err_.find("** ERROR near line"), std::string::npos) << err_;
  EXPECT_FALSE(fs::exists(Path("bad.stored")));

  WriteFileAtomic(Path("old.stored"), std::string("\x31\x00\0\0\0\0", 6));
  EXPECT_EQ(Run("load " + Path("old.stored")), 1);
  EXPECT_NE(err_.find("Expected version was 51 read version was 49"), std::string::npos) << err_;

  WriteFileAtomic(Path("plain.txt"), "not packed");
  EXPECT_EQ(Run("unpack " + Path("plain.txt") + " " + Path("x")), 1);
  EXPECT_NE(err_.find("this file has no valid header !"), std::string::npos) << err_;
  EXPECT_FALSE(fs::exists(Path("x")));

  EXPECT_EQ(Run("pack --method zip a b"), 1);
  EXPECT_EQ(Run("unpack onlyone"), 2);
  EXPECT_NE(err_.find("unpack IN OUT"), std::string::npos);
}

TEST_F(Kxscheme, PackAndUnpackRoundTripWithEachMethod) {
  std::string text;
  for (int i = 0; text.size() < 120000; ++i)
    text +=
        "10 HIGH PORTB." + std::to_string(i % 8) + " : PAUSE " + std::to_string(i % 1000) + "\r\n";
  WriteFileAtomic(Path("in.bas"), text);
  for (const char *method : {"bk", "lzh", "auto", ""}) {
    const std::string opt = *method ? std::string("--method ") + method + " " : "";
    ASSERT_EQ(Run("pack " + opt + Path("in.bas") + " " + Path("in.kxz")), 0) << err_;
    const std::string packed = ReadWholeFile(Path("in.kxz"));
    EXPECT_EQ(packed.substr(0, 4), std::string(method == std::string("lzh") ? "!HZL" : "WRZL"))
        << method;
    ASSERT_EQ(Run("unpack " + Path("in.kxz") + " " + Path("out.bas")), 0) << err_;
    EXPECT_TRUE(ReadWholeFile(Path("out.bas")) == text) << method;
  }
}

TEST_F(Kxscheme, EmbedWritesASourceNamingEachScheme) {
  WriteFileAtomic(Path("a.bin"), std::string("\x00\xFF\x10", 3));
  ASSERT_EQ(Run("embed " + Path("e.cpp") + " FIRST=" + Path("a.bin") + " SECOND=" + Path("a.bin")),
            0)
      << err_;
  const std::string src = ReadWholeFile(Path("e.cpp"));
  EXPECT_NE(src.find("{\"FIRST\", kScheme0, kScheme0Size}"), std::string::npos) << src;
  EXPECT_NE(src.find("{\"SECOND\", kScheme1, kScheme1Size}"), std::string::npos);
  EXPECT_NE(src.find("  0, 255, 16,"), std::string::npos);
  EXPECT_NE(src.find("kScheme0Size = 3;"), std::string::npos);
}

TEST_F(Kxscheme, TokensTakesAStoredFormLikeTheScript) {
  ASSERT_EQ(Run("store " + kSchemes + "tarnic.scheme -o " + Path("tarnic.stored")), 0) << err_;
  const std::string sample = std::string(KX_TESTDATA_DIR) + "/scheme/inline_asm.bas";
  ASSERT_EQ(Run("tokens " + Path("tarnic.stored") + " " + sample), 0) << err_;
  EXPECT_TRUE(out_ == ReadWholeFile(sample + ".tokens"));
  WriteFileAtomic(Path("cut.stored"), ReadWholeFile(Path("tarnic.stored")).substr(0, 100));
  EXPECT_EQ(Run("tokens " + Path("cut.stored") + " " + sample), 1);
  EXPECT_NE(err_.find("Original and compressed sizes do not match"), std::string::npos) << err_;
}
