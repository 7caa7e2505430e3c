// The parser repository and the registry copy of a parser's settings.
#include "ParserRepository.h"

#include "EditorFeatures.h"

namespace {

bool SameIgnoringCase(const std::string &a, const std::string &b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (TSyntaxKeywords::Lower(static_cast<unsigned char>(a[i])) !=
        TSyntaxKeywords::Lower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

const char kRegistryPrefix[] = "Vendel6:";

void RequireRegistry(const TSyntaxMemoParser &p) {
  if (!p.UseRegistry || p.RegistryKey.empty())
    throw ESyntaxMemoParserError("Registry interface disabled in: " + p.Name);
}

[[noreturn]] void InvalidEntry() {
  throw ESyntaxMemoParserError("Invalid data in registry entry");
}

// Runs f with the parser's registry copy switched on under the program's key.
template <class F> void WithProgramKey(TSyntaxMemoParser &p, F f) {
  const bool use = p.UseRegistry;
  const std::string key = p.RegistryKey;
  p.UseRegistry = true;
  p.RegistryKey = TParserRepository::kRegistryKey;
  try {
    f(p);
  } catch (...) {
    p.UseRegistry = use;
    p.RegistryKey = key;
    throw;
  }
  p.UseRegistry = false;
}

} // namespace

TParserRepository::TParserRepository(const std::vector<TEmbeddedScheme> &stored) {
  for (const TEmbeddedScheme &s : stored)
    Add(s.Name, std::string(reinterpret_cast<const char *>(s.Data), s.Size));
}

TSyntaxMemoParser &TParserRepository::Add(const std::string &name, const std::string &stored) {
  auto p = std::make_unique<TSyntaxMemoParser>();
  p->Name = name;
  TStoredParserLoad how;
  how.Loading = true; // the repository's parsers load as components of its form
  TStoredParser::Load(*p, stored, how);
  Parsers_.push_back(std::move(p));
  return *Parsers_.back();
}

TSyntaxMemoParser *TParserRepository::Find(const std::string &languageName) const {
  for (const auto &p : Parsers_)
    if (SameIgnoringCase(p->Settings.LanguageName, languageName))
      return p.get();
  return nullptr;
}

TSyntaxMemoParser *TParserRepository::Component(const std::string &name) const {
  for (const auto &p : Parsers_)
    if (p->Name == name)
      return p.get();
  return nullptr;
}

void TParserRepository::SaveToRegistry(TRegistry &registry) {
  for (const auto &p : Parsers_)
    WithProgramKey(*p, [&](TSyntaxMemoParser &q) { WriteParserToRegistry(q, registry); });
}

void TParserRepository::LoadFromRegistry(TRegistry &registry) {
  for (const auto &p : Parsers_)
    WithProgramKey(*p, [&](TSyntaxMemoParser &q) { ReadParserFromRegistry(q, registry); });
}

void WriteParserToRegistry(TSyntaxMemoParser &p, TRegistry &registry) {
  RequireRegistry(p);
  const std::string &language = p.Settings.LanguageName;
  registry.WriteString(p.RegistryKey, "Highlighting - " + language, StyleString(p.Settings));
  TMemoryStream keys;
  kxio::WriteSStr(keys, kRegistryPrefix);
  p.Settings.KeyMap.WriteTo(keys);
  registry.WriteBinary(p.RegistryKey, "Key Assignments - " + language, keys.Bytes());
}

void ReadParserFromRegistry(TSyntaxMemoParser &p, TRegistry &registry) {
  RequireRegistry(p);
  const std::string &language = p.Settings.LanguageName;
  std::optional<std::string> styles, keys;
  try {
    styles = registry.ReadString(p.RegistryKey, "Highlighting - " + language);
    keys = registry.ReadBinary(p.RegistryKey, "Key Assignments - " + language);
  } catch (const ERegistryError &) {
    InvalidEntry();
  }
  // Check the key assignments before the styles change, so that bad data changes nothing.
  TSM_KeyMapData newKeys = p.Settings.KeyMap;
  if (keys) {
    TMemoryStream in(*keys);
    try {
      if (kxio::ReadSStr(in) != kRegistryPrefix)
        InvalidEntry();
      newKeys.ReadFrom(in);
    } catch (const EReadError &) {
      InvalidEntry();
    }
    if (in.Position() != in.Size())
      InvalidEntry();
  }
  if (styles)
    ApplyStyleString(*styles, p.Settings);
  p.Settings.KeyMap = std::move(newKeys);
}
