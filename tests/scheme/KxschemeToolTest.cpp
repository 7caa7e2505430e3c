// The kxscheme tool as a user runs it: exit codes, the compiler's message,
// and a token listing identical to the reviewed reference.
#include "SchemeTestUtil.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sys/wait.h>

using namespace kxtest;

namespace {

struct ToolRun {
  int Status = -1;
  std::string Out;
};

ToolRun Kxscheme(const std::string &args) {
  const std::string tool = std::string(KX_BINARY_DIR) + "/kxscheme";
  ToolRun r;
  FILE *p = popen((tool + " " + args + " 2>&1").c_str(), "r");
  if (!p)
    return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0)
    r.Out.append(buf, n);
  const int st = pclose(p);
  r.Status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

TEST(KxschemeTool, CompileTokensAndErrors) {
  ASSERT_TRUE(std::filesystem::exists(std::string(KX_BINARY_DIR) + "/kxscheme"));
  const ToolRun ok = Kxscheme("compile " + SchemePath("tarnic.scheme"));
  EXPECT_EQ(ok.Status, 0) << ok.Out;
  const std::string bad = kxtest::FreshDir("kxscheme") + "/bad.scheme";
  std::ofstream(bad) << "%%language\n  name = 5\n";
  const ToolRun err = Kxscheme("compile " + bad);
  EXPECT_EQ(err.Status, 1);
  EXPECT_EQ(err.Out.substr(0, err.Out.find('\n')),
            "** ERROR near line 2, Column 10: String value expected");
  const std::string sample = std::string(KX_TESTDATA_DIR) + "/scheme/inline_asm.bas";
  const ToolRun tokens = Kxscheme("tokens " + SchemePath("tarnic.scheme") + " " + sample);
  EXPECT_EQ(tokens.Status, 0);
  EXPECT_EQ(tokens.Out, ReadFile(sample + ".tokens"));
  // A CR LF file is listed as the editor holds it: one CR per line break.
  const std::string crlf = std::string(KX_TESTDATA_DIR) + "/scheme/crlf.bas";
  ASSERT_NE(ReadFile(crlf).find("\r\n"), std::string::npos);
  const ToolRun crlfTokens = Kxscheme("tokens " + SchemePath("tarnic.scheme") + " " + crlf);
  EXPECT_EQ(crlfTokens.Out, ReadFile(crlf + ".tokens"));
  EXPECT_EQ(crlfTokens.Out.find("\\n"), std::string::npos) << crlfTokens.Out;
  EXPECT_EQ(Kxscheme("tokens only-two-args").Status, 2);
  EXPECT_EQ(Kxscheme("nosuchcommand").Status, 2);
}

} // namespace
