// Helpers shared by the scheme tests: compile a script from text, list the
// tokens of a text, catch a compile error.
#pragma once

#include "SyntaxMemoParser.h"

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace kxtest {

inline std::unique_ptr<TSyntaxMemoParser> Compile(const std::string &script,
                                                  const std::string &folder = ".") {
  auto p = std::make_unique<TSyntaxMemoParser>();
  p->CompileText(script, folder);
  return p;
}

struct CompileResult {
  std::string Message; // empty when the script compiled
  int Line = 0, Column = 0;
};

inline CompileResult TryCompile(const std::string &script, const std::string &folder = ".") {
  TSyntaxMemoParser p;
  try {
    p.CompileText(script, folder);
  } catch (const ESyntaxMemoParserError &e) {
    return {e.what(), e.Line, e.Column};
  }
  return {};
}

using TokenList = std::vector<std::pair<int, std::string>>; // value, text

inline TokenList Tokens(TSyntaxMemoParser &p, const std::string &text, int context = 0) {
  TBufferEdStream src(text.data(), text.size());
  p.Reset(context);
  TokenList out;
  while (!src.AtEnd()) {
    const int64_t pos = src.Position();
    int len = 0;
    const int v = p.GetToken(nullptr, src, len);
    out.emplace_back(v, text.substr(static_cast<size_t>(pos), static_cast<size_t>(len)));
  }
  return out;
}

inline std::string ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline std::string SchemePath(const std::string &name) {
  return std::string(KX_SOURCE_DIR) + "/resources/schemes/" + name;
}

} // namespace kxtest
