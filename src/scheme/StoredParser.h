// The stored form of a compiled scheme (the parser's `Parser` property): a
// format version, the table stream's length, and the table stream compressed
// with the block method. Loading it gives the same tables as compiling the
// script, so the program never needs a script at run time.
#pragma once

#include "Streams.h"
#include "SyntaxMemoParser.h"

#include <cstdint>
#include <functional>
#include <string>

constexpr uint16_t kStoredParserVersion = 51;
// The oldest version we read: it lacks the gutter font part of the settings.
constexpr uint16_t kOldestStoredParserVersion = 50;

// (parser, version read, version expected)
using TParserVersionErrorEvent = std::function<void(TSyntaxMemoParser &, int, int)>;

// How a load reports a stream of another version.
struct TStoredParserLoad {
  // The component is being loaded from its form: a version error raises.
  bool Loading = false;
  TParserVersionErrorEvent OnParserVersionError;
  // An information message box with an OK button.
  std::function<void(const std::string &)> ShowInformation;
};

class TStoredParser {
public:
  // Writes the stored form of p's tables at the stream's position. Failures
  // raise ESyntaxMemoParserError "<name>: <reason>".
  static void Write(const TSyntaxMemoParser &p, TStream &out);
  static std::string Store(const TSyntaxMemoParser &p);

  // Frees p's tables and loads them from a stored form. Returns false when the
  // stream is of another version and the error was reported through the event
  // or the message box (the tables are then empty). Failures raise
  // ESyntaxMemoParserError "<name>: <reason>"; the tables are then empty too.
  static bool Read(TSyntaxMemoParser &p, TStream &in, const TStoredParserLoad &how = {});
  static bool Load(TSyntaxMemoParser &p, const std::string &stored,
                   const TStoredParserLoad &how = {});

  // The uncompressed table stream, as the given format version lays it out.
  static void WriteTables(const TSyntaxMemoParser &p, TStream &out,
                          int version = kStoredParserVersion);
  // Reads a table stream into p (whose tables must be clear) and finishes the
  // load. Raises on malformed data with the reason only.
  static void ReadTables(TSyntaxMemoParser &p, TStream &in, int version);

  // Message 4129 for a stream of another version.
  static std::string VersionMessage(const std::string &name, int readVersion);
  // True when bytes start like a stored form (version, length, block-method header).
  static bool LooksStored(const std::string &bytes);
  // A readable summary of p's tables, one item per line.
  static std::string Describe(const TSyntaxMemoParser &p);
};

// Loads a parser from a file holding either a stored form or a scheme script.
void LoadParserFile(TSyntaxMemoParser &p, const std::string &path);
