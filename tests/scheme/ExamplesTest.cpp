// The sample programs in examples/ are highlighted as a reader expects: no
// word falls through to plain text, every name the BASIC part uses is one the
// program declares (so a misspelt keyword shows up as an undeclared name), and
// everything between ASM and ENDASM is coloured as assembler.
#include "SchemeTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <set>

using namespace kxtest;

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

TEST(Examples, EveryProgramIsHighlightedAsItsReaderExpects) {
  TSyntaxMemoParser p;
  p.CompileFile(SchemePath("tarnic.scheme"));
  std::vector<std::string> files;
  for (const auto &e : std::filesystem::directory_iterator(std::string(KX_SOURCE_DIR) + "/examples"))
    if (e.path().extension() == ".bas")
      files.push_back(e.path().string());
  std::sort(files.begin(), files.end());
  ASSERT_GE(files.size(), 5u);
  bool sawAsm = false;
  for (const std::string &file : files) {
    const TokenList tokens = Tokens(p, ReadFile(file));
    // Names the program declares: NAME VAR/CON, SYMBOL NAME, labels, DEFINE NAME.
    std::set<std::string> declared;
    const std::regex word("[A-Za-z_][A-Za-z0-9_]*");
    for (size_t i = 0; i < tokens.size(); ++i) {
      const auto &[v, text] = tokens[i];
      std::smatch m;
      if (v == 14 && std::regex_search(text, m, word))
        declared.insert(Lower(m.str()));
      if (v == 6) {
        size_t j = i + 1;
        while (j < tokens.size() && tokens[j].first == 13)
          ++j;
        if (j < tokens.size() && tokens[j].first == 8 &&
            (Lower(tokens[j].second) == "var" || Lower(tokens[j].second) == "con"))
          declared.insert(Lower(text));
        size_t k = i;
        while (k > 0 && tokens[k - 1].first == 13)
          --k;
        if (k > 0 && (Lower(tokens[k - 1].second) == "define" ||
                      Lower(tokens[k - 1].second) == "symbol"))
          declared.insert(Lower(text));
      }
    }
    bool inAsm = false;
    for (const auto &[v, text] : tokens) {
      if (v == 16) {
        inAsm = sawAsm = true;
      } else if (v == 40) {
        inAsm = false;
      } else if (inAsm) {
        EXPECT_TRUE(v >= 30 && v <= 42) << file << ": '" << text << "' is not assembler";
      } else if (v == 6) {
        EXPECT_TRUE(declared.count(Lower(text))) << file << ": '" << text << "' is undeclared";
      } else if (v == 0) {
        EXPECT_TRUE(text == "\r" || text == "\n") << file << ": '" << text << "' is plain";
      }
    }
    EXPECT_FALSE(inAsm) << file << ": ASM without ENDASM";
  }
  EXPECT_TRUE(sawAsm) << "one example shows an ASM .. ENDASM block";
}

} // namespace
