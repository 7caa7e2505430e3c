// kxscheme: command-line tool for language schemes. "compile" checks a scheme
// script; "tokens" shows how a scheme splits a file, one token per line.
#include "StoredCommands.h"
#include "SyntaxMemoParser.h"
#include "TokenDump.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace {

bool Compile(TSyntaxMemoParser &p, const char *script) {
  try {
    p.CompileFile(script);
    return true;
  } catch (const EKorvexError &e) {
    std::fprintf(stderr, "%s: %s\n", script, e.what());
    if (!p.LastEntry().empty())
      std::fprintf(stderr, "  in %s\n", p.LastEntry().c_str());
    return false;
  }
}

int Tokens(const char *script, const char *file) {
  TSyntaxMemoParser p;
  if (!Compile(p, script))
    return 1;
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "kxscheme: cannot open %s\n", file);
    return 1;
  }
  std::ostringstream ss;
  ss << in.rdbuf();
  const std::string out = DumpTokens(p, ss.str());
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}

void Usage() {
  std::fprintf(stderr,
               "usage: kxscheme COMMAND ...\n"
               "  compile SCRIPT          compile a scheme script and report the first error\n"
               "  tokens SCRIPT FILE      list the tokens of FILE: position length value style text\n"
               "%s",
               StoredCommandsUsage());
}

} // namespace

int main(int argc, char **argv) {
  if (argc == 3 && std::strcmp(argv[1], "compile") == 0) {
    TSyntaxMemoParser p;
    if (!Compile(p, argv[2]))
      return 1;
    std::printf("%s: compiled, language '%s'\n", argv[2], p.Settings.LanguageName.c_str());
    return 0;
  }
  if (argc == 4 && std::strcmp(argv[1], "tokens") == 0)
    return Tokens(argv[2], argv[3]);
  if (argc >= 2 && (std::strcmp(argv[1], "compile") == 0 || std::strcmp(argv[1], "tokens") == 0)) {
    Usage();
    return 2;
  }
  const int rc = RunStoredCommand(argc, argv);
  if (rc >= 0)
    return rc;
  Usage();
  return 2;
}
