// TParserRepository: the program's language schemes, loaded at start-up from
// their stored forms and looked up by language name, with the bulk save and
// load of the user's display settings in the registry.
#pragma once

#include "Registry.h"
#include "StoredParser.h"
#include "SyntaxMemoParser.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// A stored scheme built into the program.
struct TEmbeddedScheme {
  const char *Name; // component name
  const unsigned char *Data;
  size_t Size;
};

class TParserRepository {
public:
  static constexpr const char *kRegistryKey = "Software\\KORVEX_COMP";

  TParserRepository() = default;
  // Loads every stored scheme; a damaged one raises ESyntaxMemoParserError.
  explicit TParserRepository(const std::vector<TEmbeddedScheme> &stored);

  // Loads a stored form as a parser with the given component name.
  TSyntaxMemoParser &Add(const std::string &name, const std::string &stored);

  // The parser whose language name is languageName (ignoring case), or null.
  TSyntaxMemoParser *Find(const std::string &languageName) const;
  // The parser with this component name, or null.
  TSyntaxMemoParser *Component(const std::string &name) const;
  const std::vector<std::unique_ptr<TSyntaxMemoParser>> &Parsers() const { return Parsers_; }

  // For each parser: enable the registry copy under kRegistryKey, write (or
  // read) it, and disable it again.
  void SaveToRegistry(TRegistry &registry);
  void LoadFromRegistry(TRegistry &registry);

private:
  std::vector<std::unique_ptr<TSyntaxMemoParser>> Parsers_;
};

// The registry copy of one parser's settings under its RegistryKey: the style
// string as "Highlighting - <language>" and the key assignments as the binary
// "Key Assignments - <language>". Both raise ESyntaxMemoParserError
// "Registry interface disabled in: <name>" unless UseRegistry and RegistryKey
// are set. Reading leaves settings whose values are absent as they are; values
// that do not parse raise "Invalid data in style string" / "Invalid data in
// registry entry" and change nothing.
void WriteParserToRegistry(TSyntaxMemoParser &p, TRegistry &registry);
void ReadParserFromRegistry(TSyntaxMemoParser &p, TRegistry &registry);
