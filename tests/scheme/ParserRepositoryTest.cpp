// The repository of built-in schemes, the registry copy of the user's styles
// and key assignments, and the style string.
#include "ParserRepository.h"
#include "EmbeddedSchemes.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace {

const std::string kSchemes = std::string(KX_SOURCE_DIR) + "/resources/schemes/";

std::string Message(const std::function<void()> &f) {
  try {
    f();
  } catch (const EKorvexError &e) {
    return e.what();
  }
  return "<no error>";
}

} // namespace

TEST(ParserRepository, BuiltInSchemesLoadByLanguageName) {
  TParserRepository repo(EmbeddedStoredSchemes());
  TSyntaxMemoParser *basic = repo.Find("TARNIC");
  TSyntaxMemoParser *listing = repo.Find("PICASM");
  ASSERT_NE(basic, nullptr);
  ASSERT_NE(listing, nullptr);
  EXPECT_EQ(repo.Find("tarnic"), basic);
  EXPECT_EQ(repo.Find("Pascal"), nullptr);
  EXPECT_EQ(repo.Component("TARNIC"), basic);
  EXPECT_EQ(basic->Name, "TARNIC");
  EXPECT_FALSE(basic->UseRegistry);

  // The built-in bytes are exactly what the scripts compile to today.
  for (TSyntaxMemoParser *p : {basic, listing}) {
    TSyntaxMemoParser compiled;
    compiled.CompileFile(kSchemes + (p == basic ? "tarnic.scheme" : "picasm.scheme"));
    compiled.Name = p->Name;
    EXPECT_EQ(TStoredParser::Store(*p), TStoredParser::Store(compiled)) << p->Name;
  }
}

TEST(ParserRepository, ADamagedBuiltInSchemeRaisesWithItsName) {
  TParserRepository repo;
  EXPECT_EQ(Message([&] { repo.Add("TARNIC", std::string("\x31\x00", 2)); }),
            TStoredParser::VersionMessage("TARNIC", 49));
  EXPECT_EQ(Message([&] { repo.Add("TARNIC", std::string("\x33\x00\0\0\0\0WRZL", 10)); }),
            "TARNIC: Compressor : Error reading from input stream !");
}

TEST(StyleString, RoundTripsEveryStyleRecord) {
  std::mt19937 rng(6);
  for (int round = 0; round < 50; ++round) {
    TSM_Settings a;
    for (int n = 0; n < 256; ++n) {
      if (rng() % 3)
        continue;
      TSM_StyleRecord &r = a.Styles[n];
      r.FontStyle = static_cast<uint8_t>(round == 0 ? rng() % 16 : rng());
      r.Foreground = static_cast<int32_t>(rng());
      r.Background = round == 1 ? INT32_MIN : static_cast<int32_t>(rng());
      r.ForegroundDefault = rng() % 2;
      r.BackgroundDefault = rng() % 2;
      r.Hotspot = rng() % 2;
      r.InUse = 1;
    }
    const std::string text = StyleString(a);
    ASSERT_EQ(text.rfind("Vendel6:", 0), 0u);
    TSM_Settings b;
    ApplyStyleString(text, b);
    EXPECT_EQ(b.Styles, a.Styles) << text;
  }
  TSM_Settings s;
  s.Styles[1] = {
      fsBoldBit | fsItalicBit, 255, static_cast<int32_t>(0x8000000F), true, false, false, 1};
  s.Styles[0] = {0, 0, 0x00FFFFFF, false, true, true, 1};
  EXPECT_EQ(StyleString(s), "Vendel6:#0=0,16777215,YH;#1=255,-2147483633,BIX");
  EXPECT_EQ(StyleString(TSM_Settings{}), "Vendel6:");
}

TEST(StyleString, MalformedTextIsRefusedAndChangesNothing) {
  TSM_Settings s;
  s.Styles[1] = {fsBoldBit, 1, 2, false, false, false, 1};
  const auto before = s.Styles;
  for (const char *bad :
       {"", "Vendel5:#1=0,0,", "Vendel6:#1=0,0", "Vendel6:#256=0,0,", "Vendel6:#1=0,0,Q",
        "Vendel6:#1=0,0,;", "Vendel6:1=0,0,", "Vendel6:#1=2147483648,0,", "Vendel6:#1=-,0,",
        "Vendel6:#2=5,5,B;#1=x,0,", "Vendel6:#1=0,0,F300", "Vendel6:#1=0,0,B#2=0,0,"}) {
    EXPECT_EQ(Message([&] { ApplyStyleString(bad, s); }), "Invalid data in style string") << bad;
    EXPECT_EQ(s.Styles, before) << bad;
  }
}

TEST(RegistryCopy, WritesAndReadsStylesAndKeyAssignmentsUnderTheKey) {
  TParserRepository repo(EmbeddedStoredSchemes());
  TSyntaxMemoParser &p = *repo.Find("TARNIC");
  TMemoryRegistry reg;
  EXPECT_EQ(Message([&] { WriteParserToRegistry(p, reg); }),
            "Registry interface disabled in: TARNIC");
  p.UseRegistry = true;
  EXPECT_EQ(Message([&] { ReadParserFromRegistry(p, reg); }),
            "Registry interface disabled in: TARNIC");
  p.RegistryKey = "Software\\Test";
  p.Settings.Styles[2].Foreground = 0x123456;
  p.Settings.KeyMap.Commands = {{41, "Undo"}};
  p.Settings.KeyMap.Bindings = {{scCtrl | 'Z', 0, 41}};
  WriteParserToRegistry(p, reg);
  const auto &styles = reg.Values.at({"Software\\Test", "Highlighting - TARNIC"});
  EXPECT_FALSE(styles.Binary);
  EXPECT_EQ(styles.Data, StyleString(p.Settings));
  const auto &keys = reg.Values.at({"Software\\Test", "Key Assignments - TARNIC"});
  EXPECT_TRUE(keys.Binary);
  EXPECT_EQ(keys.Data.substr(0, 9), std::string("\x08Vendel6:"));

  const auto written = p.Settings.Styles;
  const auto writtenKeys = p.Settings.KeyMap;
  p.Settings.Styles[2].Foreground = 0;
  p.Settings.KeyMap = {};
  ReadParserFromRegistry(p, reg);
  EXPECT_EQ(p.Settings.Styles, written);
  EXPECT_EQ(p.Settings.KeyMap, writtenKeys);

  // Nothing stored under another key: the settings stay as they are.
  p.RegistryKey = "Software\\Empty";
  ReadParserFromRegistry(p, reg);
  EXPECT_EQ(p.Settings.KeyMap, writtenKeys);
}

TEST(RegistryCopy, BadValuesAreRefusedAndChangeNothing) {
  TParserRepository repo(EmbeddedStoredSchemes());
  TSyntaxMemoParser &p = *repo.Find("PICASM");
  p.UseRegistry = true;
  p.RegistryKey = "K";
  TMemoryRegistry reg;
  WriteParserToRegistry(p, reg);
  const auto styles = p.Settings.Styles;
  const std::string keys = reg.Values.at({"K", "Key Assignments - PICASM"}).Data;

  reg.WriteString("K", "Highlighting - PICASM", "Vendel6:#1=oops");
  EXPECT_EQ(Message([&] { ReadParserFromRegistry(p, reg); }), "Invalid data in style string");
  reg.WriteString("K", "Highlighting - PICASM", "Vendel6:#1=5,5,B");
  for (const std::string &bad : {keys.substr(0, keys.size() - 1), keys + "x",
                                 std::string("\x08Vendel5:") + keys.substr(9), std::string()}) {
    reg.WriteBinary("K", "Key Assignments - PICASM", bad);
    EXPECT_EQ(Message([&] { ReadParserFromRegistry(p, reg); }), "Invalid data in registry entry");
    EXPECT_EQ(p.Settings.Styles, styles); // the good style string was not applied either
  }
  reg.WriteString("K", "Key Assignments - PICASM", "a string where binary belongs");
  EXPECT_EQ(Message([&] { ReadParserFromRegistry(p, reg); }), "Invalid data in registry entry");
}

TEST(RegistryCopy, RepositoryBulkSaveAndLoadUseTheProgramKey) {
  TParserRepository repo(EmbeddedStoredSchemes());
  TMemoryRegistry reg;
  repo.Find("TARNIC")->Settings.Styles[7].Foreground = 0x00ABCDEF;
  repo.SaveToRegistry(reg);
  for (const auto &p : repo.Parsers()) {
    EXPECT_FALSE(p->UseRegistry);
    EXPECT_EQ(p->RegistryKey, "Software\\KORVEX_COMP");
    EXPECT_TRUE(
        reg.Values.count({"Software\\KORVEX_COMP", "Highlighting - " + p->Settings.LanguageName}));
    EXPECT_TRUE(reg.Values.count(
        {"Software\\KORVEX_COMP", "Key Assignments - " + p->Settings.LanguageName}));
  }
  EXPECT_EQ(reg.Values.size(), 4u);

  TParserRepository fresh(EmbeddedStoredSchemes());
  EXPECT_NE(fresh.Find("TARNIC")->Settings.Styles[7].Foreground, 0x00ABCDEF);
  fresh.LoadFromRegistry(reg);
  EXPECT_EQ(fresh.Find("TARNIC")->Settings.Styles[7].Foreground, 0x00ABCDEF);
  EXPECT_FALSE(fresh.Find("TARNIC")->UseRegistry);
}
