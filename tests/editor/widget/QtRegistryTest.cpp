// The settings-file registry: values survive a new instance on the same file,
// strings and binary values keep every byte and stay apart, and a scheme's
// registry copy round-trips through it.
#include "QtRegistry.h"

#include "ParserRepository.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

TEST(QtRegistry, ValuesPersistByteForByteAndKeepTheirKind) {
  QTemporaryDir dir;
  const std::string file = dir.filePath("reg.conf").toStdString();
  std::string allBytes;
  for (int b = 0; b < 256; ++b)
    allBytes.push_back(static_cast<char>(b));
  {
    TQtRegistry reg(file);
    EXPECT_EQ(reg.FileName(), file);
    reg.WriteString("Software\\KORVEX_COMP", "Highlighting - TARNIC", "Vendel6:#0=0,16777215,");
    reg.WriteBinary("Software\\KORVEX_COMP", "Key Assignments - TARNIC", allBytes);
    reg.WriteString("Software\\Other", "Highlighting - TARNIC", "elsewhere");
    reg.WriteString("Software\\KORVEX_COMP", "odd/name\\with=chars;", "x");
  }
  TQtRegistry reg(file);
  EXPECT_EQ(reg.ReadString("Software\\KORVEX_COMP", "Highlighting - TARNIC"),
            "Vendel6:#0=0,16777215,");
  EXPECT_EQ(reg.ReadBinary("Software\\KORVEX_COMP", "Key Assignments - TARNIC"), allBytes);
  EXPECT_EQ(reg.ReadString("Software\\Other", "Highlighting - TARNIC"), "elsewhere");
  EXPECT_EQ(reg.ReadString("Software\\KORVEX_COMP", "odd/name\\with=chars;"), "x");
  EXPECT_EQ(reg.ReadString("Software\\KORVEX_COMP", "Missing"), std::nullopt);
  EXPECT_THROW(reg.ReadString("Software\\KORVEX_COMP", "Key Assignments - TARNIC"), ERegistryError);
  EXPECT_THROW(reg.ReadBinary("Software\\KORVEX_COMP", "Highlighting - TARNIC"), ERegistryError);
}

namespace {
// A repository holding the BASIC scheme, stored from its script.
std::unique_ptr<TParserRepository> BasicRepository() {
  TSyntaxMemoParser compiled;
  compiled.CompileFile(std::string(KX_SOURCE_DIR) + "/resources/schemes/tarnic.scheme");
  auto repo = std::make_unique<TParserRepository>();
  repo->Add("TARNIC", TStoredParser::Store(compiled));
  return repo;
}
} // namespace

TEST(QtRegistry, RepositorySettingsRoundTripThroughTheFile) {
  QTemporaryDir dir;
  const std::string file = dir.filePath("KORVEX_COMP.conf").toStdString();
  {
    auto repo = BasicRepository();
    TSyntaxMemoParser &basic = *repo->Find("TARNIC");
    basic.Settings.Styles[3].Foreground = 0x00102030;
    basic.Settings.Styles[3].FontStyle = fsItalicBit | fsStrikeoutBit;
    basic.Settings.KeyMap.Bindings = {{scCtrl | scShift | 'K', 'B', 17}};
    TQtRegistry reg(file);
    repo->SaveToRegistry(reg);
  }
  auto repo = BasicRepository();
  TQtRegistry reg(file);
  repo->LoadFromRegistry(reg);
  const TSM_Settings &s = repo->Find("TARNIC")->Settings;
  EXPECT_EQ(s.Styles[3].Foreground, 0x00102030);
  EXPECT_EQ(s.Styles[3].FontStyle, fsItalicBit | fsStrikeoutBit);
  ASSERT_EQ(s.KeyMap.Bindings.size(), 1u);
  EXPECT_EQ(s.KeyMap.Bindings[0].Command, 17);
}

TEST(QtRegistry, AnUnwritableFileIsReported) {
  QTemporaryDir dir;
  TQtRegistry reg(dir.path().toStdString()); // a folder, not a file
  EXPECT_THROW(reg.WriteString("Software\\KORVEX_COMP", "x", "y"), ERegistryError);
}
