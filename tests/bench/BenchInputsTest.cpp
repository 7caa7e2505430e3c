// The generated benchmark inputs: the typical program has the traits it is
// meant to bring (tabs, bytes above 127, assembler blocks, lines past a
// node), every text is the same on every run, and an input is written again
// exactly when its generator's version or its size no longer matches. The
// RATIO and FIGURE lines never show a measure that failed as a number.
#include "BenchInputs.h"
#include "BenchLines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Lines(const std::string &text) {
  std::vector<std::string> out;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = text.find("\r\n", at);
    EXPECT_NE(end, std::string::npos) << "every line ends with CR LF";
    if (end == std::string::npos)
      break;
    out.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return out;
}

TEST(BenchInputs, TheTypicalProgramHasWhatUsersFilesHave) {
  const std::string text = kxbench::TypicalProgram();
  const std::vector<std::string> lines = Lines(text);
  ASSERT_EQ(lines.size(), static_cast<size_t>(kxbench::kTypicalLines));
  int tabs = 0, high = 0, longLines = 0, asmOpen = 0, asmBlocks = 0, comments = 0;
  for (const std::string &l : lines) {
    tabs += l.find('\t') != std::string::npos;
    for (unsigned char c : l)
      if (c > 127) {
        ++high;
        break;
      }
    longLines += l.size() > kxbench::kNodeLimit;
    comments += !l.empty() && l[0] == '\'';
    if (l == "ASM") {
      EXPECT_EQ(asmOpen, 0) << "ASM blocks do not nest";
      ++asmOpen;
    } else if (l == "ENDASM") {
      EXPECT_EQ(asmOpen, 1) << "ENDASM closes an open block";
      --asmOpen;
      ++asmBlocks;
    }
  }
  EXPECT_GT(tabs, 1000);
  EXPECT_GT(high, 100);
  EXPECT_GE(longLines, 3);
  EXPECT_LE(longLines, 10) << "a few long lines, not a stress file";
  EXPECT_GE(asmBlocks, 20);
  EXPECT_GT(comments, 50);
  // Every text is the same bytes on every run.
  EXPECT_EQ(kxbench::TypicalProgram(), text);
  EXPECT_EQ(kxbench::StressText(100000, true), kxbench::StressText(100000, true));
  EXPECT_EQ(kxbench::StressText(100000, false).size(), 100000u);
}

class BenchGenerate : public ::testing::Test {
protected:
  void SetUp() override {
    // The test's own temporary folder (TMPDIR, set per test).
    dir = fs::temp_directory_path() /
          ("kx_bench_inputs_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
  static std::string Small() { return "ten bytes!"; }
  static std::string Other() { return "another text"; }
};

TEST_F(BenchGenerate, WritesOnceAndAgainOnlyWhenTheVersionOrTheSizeChanged) {
  const kxbench::TInput v1{"in.bas", 1, Small};
  bool written = false;
  ASSERT_TRUE(kxbench::Generate(dir, v1, &written));
  EXPECT_TRUE(written);
  EXPECT_EQ(kxbench::ReadSmallFile(dir / "in.bas"), Small());
  EXPECT_TRUE(kxbench::UpToDate(dir / "in.bas", 1));

  ASSERT_TRUE(kxbench::Generate(dir, v1, &written));
  EXPECT_FALSE(written) << "an input of the same version and size is kept";

  // A new generator version writes the file again, even at the same size.
  const kxbench::TInput v2{"in.bas", 2, Other};
  ASSERT_TRUE(kxbench::Generate(dir, v2, &written));
  EXPECT_TRUE(written);
  EXPECT_EQ(kxbench::ReadSmallFile(dir / "in.bas"), Other());
  EXPECT_FALSE(kxbench::UpToDate(dir / "in.bas", 1));

  // A file cut short (or edited) is written again.
  {
    std::ofstream cut(dir / "in.bas", std::ios::binary | std::ios::trunc);
    cut << "cut";
  }
  ASSERT_TRUE(kxbench::Generate(dir, v2, &written));
  EXPECT_TRUE(written);
  EXPECT_EQ(kxbench::ReadSmallFile(dir / "in.bas"), Other());

  // A file without its stamp (left by a run stopped half-way, or by an older
  // generator) is written again.
  fs::remove(kxbench::StampPath(dir / "in.bas"));
  ASSERT_TRUE(kxbench::Generate(dir, v2, &written));
  EXPECT_TRUE(written);
}

TEST_F(BenchGenerate, EveryInputHasItsOwnNameAndAVersion) {
  std::vector<std::string> names;
  for (const kxbench::TInput &in : kxbench::Inputs()) {
    EXPECT_GT(in.Version, 0) << in.Name;
    for (const std::string &n : names)
      EXPECT_NE(n, in.Name);
    names.push_back(in.Name);
  }
  EXPECT_NE(std::find(names.begin(), names.end(), "typical_2000_lines.bas"), names.end());
}

TEST(BenchLines, ARatioOrFigureThatWasNotMeasuredSaysSo) {
  EXPECT_EQ(kxbench::RatioLine("load", "Peer", 2.0, 5.0), "RATIO load vs Peer: 2.50");
  // A peer hundreds of times faster keeps its digits.
  EXPECT_EQ(kxbench::RatioLine("lzh", "lz4", 1.0, 0.00488), "RATIO lzh vs lz4: 0.00488");
  for (const auto &[ours, peer] : std::vector<std::pair<double, double>>{
           {0, 1}, {1, 0}, {-1, 1}, {1, -1}, {std::nan(""), 1}, {1, HUGE_VAL}, {0, 0}}) {
    const std::string line = kxbench::RatioLine("x", "P", ours, peer);
    EXPECT_EQ(line.rfind("NO RATIO x vs P: ", 0), 0u) << line;
  }
  EXPECT_EQ(kxbench::FigureLine("save", 12.345, "ms"), "FIGURE save: 12.3 ms");
  EXPECT_EQ(kxbench::FigureLine("save", -1, "ms"), "NO FIGURE save: not measured");
  EXPECT_EQ(kxbench::FigureLine("save", std::nan(""), "ms"), "NO FIGURE save: not measured");
}

} // namespace
