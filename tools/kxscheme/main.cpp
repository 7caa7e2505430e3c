// kxscheme: command-line tool for language schemes. "compile" checks a scheme
// script; "tokens" shows how a scheme splits a file as the editor holds it,
// one token per line.
#include "StoredCommands.h"
#include "SyntaxMemoParser.h"
#include "TextStore.h"
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
  } catch (const ESyntaxMemoParserError &e) {
    std::fprintf(stderr, "%s\n", e.what());
    // Where: the script or the included file, and the entry being read.
    std::string where =
        e.Source.rfind("-file-: ", 0) == 0 ? e.Source.substr(8) : std::string(script);
    if (!p.LastEntry().empty())
      where += ", " + p.LastEntry();
    std::fprintf(stderr, "  (%s)\n", where.c_str());
    return false;
  } catch (const EKorvexError &e) {
    std::fprintf(stderr, "%s\n", e.what());
    return false;
  }
}

int Tokens(const char *script, const char *file) {
  TSyntaxMemoParser p;
  const int stored = LoadStoredScheme(p, script); // a stored form serves as well as a script
  if (stored < 0 || (stored == 0 && !Compile(p, script)))
    return 1;
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "kxscheme: cannot open %s\n", file);
    return 1;
  }
  std::ostringstream ss;
  ss << in.rdbuf();
  // The editor colours its own text, not the file's bytes: CR LF and LF are
  // one CR there and control characters ".", so the listing is of that text.
  const std::string raw = ss.str();
  DumpTokens(p, NormaliseText(raw.data(), raw.size()),
             [](const std::string &piece) { std::fwrite(piece.data(), 1, piece.size(), stdout); });
  return std::fflush(stdout) == 0 ? 0 : 1;
}

void Usage() {
  std::fprintf(
      stderr,
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
