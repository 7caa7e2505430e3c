// The program's two schemes in stored form: stable bytes, and the same tokens
// as the compiled scripts on the reference files.
#include "StoredParser.h"
#include "TextStore.h"
#include "TokenDump.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string kSchemes = std::string(KX_SOURCE_DIR) + "/resources/schemes/";
const std::string kRefs = std::string(KX_TESTDATA_DIR) + "/scheme/";

// The dump kxscheme's "tokens" writes: position, length, value, style, text.
std::string Dump(TSyntaxMemoParser &p, const std::string &text) {
  return DumpTokens(p, text);
}

std::string SchemeFor(const fs::path &sample) {
  return kSchemes + (sample.extension() == ".asm" ? "picasm.scheme" : "tarnic.scheme");
}

} // namespace

TEST(StoredSchemes, BothSchemesStoreReadAndStoreToTheSameBytes) {
  for (const char *name : {"tarnic.scheme", "picasm.scheme"}) {
    TSyntaxMemoParser compiled;
    compiled.CompileFile(kSchemes + name);
    const std::string stored = TStoredParser::Store(compiled);
    TSyntaxMemoParser loaded;
    ASSERT_TRUE(TStoredParser::Load(loaded, stored)) << name;
    EXPECT_EQ(TStoredParser::Store(loaded), stored) << name;
    EXPECT_EQ(loaded.Settings.LanguageName, compiled.Settings.LanguageName);
    EXPECT_EQ(TStoredParser::Describe(loaded), TStoredParser::Describe(compiled)) << name;
  }
}

TEST(StoredSchemes, LoadedSchemesTokeniseTheReferenceFilesLikeTheScripts) {
  int files = 0;
  for (const auto &e : fs::directory_iterator(kRefs)) {
    const fs::path sample = e.path();
    if (sample.extension() == ".tokens" || !fs::exists(sample.string() + ".tokens"))
      continue;
    ++files;
    // The references list the text as the editor holds it.
    const std::string raw = ReadWholeFile(sample.string());
    const std::string text = NormaliseText(raw.data(), raw.size());
    const std::string reference = ReadWholeFile(sample.string() + ".tokens");
    TSyntaxMemoParser compiled;
    compiled.CompileFile(SchemeFor(sample));
    TSyntaxMemoParser loaded;
    TStoredParser::Load(loaded, TStoredParser::Store(compiled));
    EXPECT_EQ(Dump(compiled, text), reference) << sample;
    EXPECT_EQ(Dump(loaded, text), reference) << sample;
  }
  EXPECT_GE(files, 5);
}

TEST(StoredSchemes, LoadedSchemesAgreeWithTheScriptsOnEachOthersExamples) {
  TSyntaxMemoParser basic, asmScheme;
  basic.CompileFile(kSchemes + "tarnic.scheme");
  asmScheme.CompileFile(kSchemes + "picasm.scheme");
  for (TSyntaxMemoParser *compiled : {&basic, &asmScheme}) {
    TSyntaxMemoParser loaded;
    TStoredParser::Load(loaded, TStoredParser::Store(*compiled));
    for (const std::string &text : {basic.Settings.ExampleText, asmScheme.Settings.ExampleText})
      EXPECT_EQ(Dump(loaded, text), Dump(*compiled, text));
  }
}

TEST(StoredSchemes, LoadParserFileTakesAScriptOrAStoredForm) {
  const fs::path dir = fs::temp_directory_path() / ("kxstored-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  TSyntaxMemoParser compiled;
  compiled.CompileFile(kSchemes + "picasm.scheme");
  const std::string stored = TStoredParser::Store(compiled);
  WriteFileAtomic((dir / "picasm.stored").string(), stored);
  TSyntaxMemoParser a, b;
  LoadParserFile(a, (dir / "picasm.stored").string());
  LoadParserFile(b, kSchemes + "picasm.scheme");
  EXPECT_EQ(TStoredParser::Store(a), stored);
  EXPECT_EQ(TStoredParser::Store(b), stored);
  fs::remove_all(dir);
}
