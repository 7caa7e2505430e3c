// The schemes' display settings travel through the registry copy: stored when
// the main window closes, loaded again when it is shown.
#include "FileCommandsTestFixture.h"

#include "ParserRepository.h"
#include "QtRegistry.h"
#include "SyntaxMemoParser.h"

#include <cstdlib>

using namespace kxdocs;

namespace {
class DisplaySettingsTest : public DocsTest {
protected:
  void SetUp() override {
    const char *old = std::getenv("XDG_CONFIG_HOME");
    oldConfig = old ? old : "";
    hadConfig = old != nullptr;
    config = fs::temp_directory_path() / ("kx_cfg_" + std::to_string(::getpid()));
    fs::remove_all(config);
    fs::create_directories(config);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    DocsTest::SetUp();
  }
  void TearDown() override {
    DocsTest::TearDown();
    if (hadConfig)
      ::setenv("XDG_CONFIG_HOME", oldConfig.c_str(), 1);
    else
      ::unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(config);
  }
  fs::path config;
  std::string oldConfig;
  bool hadConfig = false;
};
} // namespace

TEST_F(DisplaySettingsTest, CloseStoresAndShowLoadsTheUsersColours) {
  TSyntaxMemoParser *tarnic = ProgramRepository().Find("TARNIC");
  ASSERT_NE(tarnic, nullptr);
  TSM_StyleRecord &style = tarnic->Settings.Styles[1];
  const TSM_StyleRecord original = style;
  style.Foreground = 0x00123456;
  form->close();
  QApplication::processEvents();
  const std::string file = TQtRegistry::DefaultFileName();
  ASSERT_TRUE(FileExists(file)) << file;
  EXPECT_NE(ReadWholeFile(file).find("Vendel6:"), std::string::npos);

  // Forget the colour, then start again: the first show brings it back.
  style.Foreground = original.Foreground;
  Start(std::string());
  EXPECT_EQ(tarnic->Settings.Styles[1].Foreground, 0x00123456);
  style = original;
}

TEST_F(DisplaySettingsTest, ABrokenRegistryEntryIsReportedAndStartUpGoesOn) {
  {
    TQtRegistry registry;
    registry.WriteString(TParserRepository::kRegistryKey, "Highlighting - TARNIC", "garbage");
  }
  Start(std::string());
  EXPECT_EQ(Tabs(), 1);
  bool reported = false;
  for (const auto &r : rec->Records)
    reported = reported || r.Text.find("Invalid data in") != std::string::npos;
  EXPECT_TRUE(reported);
}
