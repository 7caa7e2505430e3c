// The programmer or loader the settings choose: every TYPE value (and what
// is not one), the program, arguments and waiting of each kind, empty paths,
// the infrared loader missing or present under another spelling, and paths
// read afresh on every choice, as the window's second look after its path
// dialog needs.
#include "ToolChoice.h"

#include "ProcessPaths.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Texts(const TCommandArgs &args) {
  std::vector<std::string> out;
  for (const TCommandArg &a : args)
    out.push_back(a.Text);
  return out;
}

// How a program run through wine would see a path.
std::string WindowsForm(const std::string &path) {
  return "Z:" + path;
}

class ToolChoiceTest : public ::testing::Test {
protected:
  void SetUp() override {
    InitProcessPaths(t.Dir());
    fs::create_directories(IncFolder);
    Settings("");
  }
  void Settings(const std::string &ini) { t.Put("KX_INC/KORVEX.INI", ini); }
  void Epic(const std::string &ini) { t.Put("KX_INC/PBP.INI", ini); }
  TToolChoice Choose(TToolKind kind, const std::string &device = "16F628A") {
    return ChooseTool(kind, hex, device);
  }

  TTempFolder t;
  const std::string hex = "/work/my blink/BLINK.HEX";
};

TEST_F(ToolChoiceTest, EveryTypeValueAndWhatIsNotOne) {
  struct TCase {
    const char *Value;
    TToolKind Programmer, Bootloader;
  };
  const TCase cases[] = {
      {"EPIC", TToolKind::EpicProgrammer, TToolKind::StandardLoader},
      {"OTHER", TToolKind::UserProgrammer, TToolKind::UserLoader},
      {"STANDARD", TToolKind::EpicProgrammer, TToolKind::StandardLoader},
      {"MELOADER", TToolKind::EpicProgrammer, TToolKind::MeLoader},
      {"KORVEX_IR", TToolKind::EpicProgrammer, TToolKind::InfraredLoader},
      // The menus write upper case; anything else is the default choice.
      {"other", TToolKind::EpicProgrammer, TToolKind::StandardLoader},
      {"meloader", TToolKind::EpicProgrammer, TToolKind::StandardLoader},
      {"Korvex_IR", TToolKind::EpicProgrammer, TToolKind::StandardLoader},
      {"OTHERS", TToolKind::EpicProgrammer, TToolKind::StandardLoader},
      {"", TToolKind::EpicProgrammer, TToolKind::StandardLoader},
  };
  for (const TCase &c : cases) {
    EXPECT_EQ(ProgrammerKindOf(c.Value), c.Programmer) << c.Value;
    EXPECT_EQ(BootloaderKindOf(c.Value), c.Bootloader) << c.Value;
    Settings(std::string("[PROGRAMMER]\r\nTYPE=") + c.Value +
             "\r\n[BOOTLOADER]\r\nTYPE=" + c.Value + "\r\n");
    EXPECT_EQ(ChosenProgrammer(), c.Programmer) << c.Value;
    EXPECT_EQ(ChosenBootloader(), c.Bootloader) << c.Value;
  }
  // No sections at all, and no settings file.
  Settings("[EDITOR]\r\nASM_TOP=3\r\n");
  EXPECT_EQ(ChosenProgrammer(), TToolKind::EpicProgrammer);
  EXPECT_EQ(ChosenBootloader(), TToolKind::StandardLoader);
  fs::remove(SettingsFilePath());
  EXPECT_EQ(ChosenProgrammer(), TToolKind::EpicProgrammer);
  EXPECT_EQ(ChosenBootloader(), TToolKind::StandardLoader);

  // What the choice items write reads back as the same kind.
  for (TToolKind k : {TToolKind::EpicProgrammer, TToolKind::UserProgrammer})
    EXPECT_EQ(ProgrammerKindOf(ToolTypeName(k)), k) << ToolTypeName(k);
  for (TToolKind k : {TToolKind::StandardLoader, TToolKind::InfraredLoader, TToolKind::MeLoader,
                      TToolKind::UserLoader})
    EXPECT_EQ(BootloaderKindOf(ToolTypeName(k)), k) << ToolTypeName(k);
}

TEST_F(ToolChoiceTest, EachKindsProgramArgumentsAndWaiting) {
  Settings("[EXT_PROG]\r\nEXT_PATH=/opt/pk2/pk2cmd\r\nCMD_LINE=-P%PIC -F%FULL\r\n"
           "[MELOADER]\r\nPATHNAME=/opt/me/meloader\r\n"
           "[EXT_BOOTLOADER]\r\nEXT_PATH=/opt/tiny/tinybld\r\nCMD_LINE=%FILENAME 19200\r\n");
  Epic("[EPIC]\r\nPATHNAME=/opt/epic/epicwin\r\n");

  TToolChoice c = Choose(TToolKind::EpicProgrammer);
  EXPECT_EQ(c.Kind, TToolKind::EpicProgrammer);
  EXPECT_EQ(c.Program, "/opt/epic/epicwin");
  EXPECT_EQ(c.Arguments(WindowsForm), EpicArguments(hex, "16F628A"));
  EXPECT_FALSE(c.Waited);
  EXPECT_EQ(c.Missing, TToolMissing::Nothing);

  // A template sees the HEX path in the form the program sees it.
  c = Choose(TToolKind::UserProgrammer);
  EXPECT_EQ(c.Program, "/opt/pk2/pk2cmd");
  EXPECT_EQ(Texts(c.Arguments(WindowsForm)),
            (std::vector<std::string>{"Z:" + hex, "-P16F628A", "-FZ:" + hex}));
  EXPECT_EQ(Texts(c.Arguments({})), (std::vector<std::string>{hex, "-P16F628A", "-F" + hex}));
  EXPECT_FALSE(c.Waited);
  EXPECT_EQ(c.Missing, TToolMissing::Nothing);

  c = Choose(TToolKind::MeLoader);
  EXPECT_EQ(c.Program, "/opt/me/meloader");
  EXPECT_EQ(c.Arguments(WindowsForm), LoaderArguments(hex));
  EXPECT_FALSE(c.Waited);

  // Without a known device %PIC stands for the start-up one.
  c = Choose(TToolKind::UserLoader, "");
  EXPECT_EQ(c.Program, "/opt/tiny/tinybld");
  EXPECT_EQ(Texts(c.Arguments({})), (std::vector<std::string>{hex, "BLINK.HEX", "19200"}));
  EXPECT_FALSE(c.Waited);

  // The standard loader is never missing here: the launcher says so when it
  // is not there.
  c = Choose(TToolKind::StandardLoader);
  EXPECT_EQ(c.Program, IncFolder + "BOOTLOAD.EXE");
  EXPECT_EQ(c.Arguments(WindowsForm), LoaderArguments(hex));
  EXPECT_TRUE(c.Waited);
  EXPECT_EQ(c.Missing, TToolMissing::Nothing);
}

TEST_F(ToolChoiceTest, EmptyPathsAreMissingAndEveryChoiceReadsThemAfresh) {
  const TToolKind withPaths[] = {TToolKind::EpicProgrammer, TToolKind::UserProgrammer,
                                 TToolKind::MeLoader, TToolKind::UserLoader};
  for (TToolKind k : withPaths) {
    const TToolChoice c = Choose(k);
    EXPECT_EQ(c.Missing, TToolMissing::Path) << ToolTypeName(k);
    EXPECT_EQ(c.Program, "");
  }
  // Set but empty, as a cancelled dialog leaves it.
  Settings(
      "[EXT_PROG]\r\nEXT_PATH=\r\n[MELOADER]\r\nPATHNAME=\r\n[EXT_BOOTLOADER]\r\nEXT_PATH=\r\n");
  Epic("[EPIC]\r\nPATHNAME=\r\n");
  for (TToolKind k : withPaths)
    EXPECT_EQ(Choose(k).Missing, TToolMissing::Path) << ToolTypeName(k);
  // The EPIC path lives in its own file, not in the settings file.
  Settings("[EPIC]\r\nPATHNAME=/opt/epic/epicwin\r\n[EXT_PROG]\r\nEXT_PATH=/a/prog\r\n"
           "[MELOADER]\r\nPATHNAME=/a/me\r\n[EXT_BOOTLOADER]\r\nEXT_PATH=/a/loader\r\n");
  EXPECT_EQ(Choose(TToolKind::EpicProgrammer).Missing, TToolMissing::Path);
  EXPECT_EQ(Choose(TToolKind::UserProgrammer).Program, "/a/prog");
  EXPECT_EQ(Choose(TToolKind::MeLoader).Program, "/a/me");
  EXPECT_EQ(Choose(TToolKind::UserLoader).Program, "/a/loader");
  Epic("[EPIC]\r\nPATHNAME=/opt/epic/epicwin\r\n");
  EXPECT_EQ(Choose(TToolKind::EpicProgrammer).Program, "/opt/epic/epicwin");
  EXPECT_EQ(Choose(TToolKind::EpicProgrammer).Missing, TToolMissing::Nothing);
  // The template too is read at the choice, not remembered.
  Settings("[EXT_PROG]\r\nEXT_PATH=/a/prog\r\nCMD_LINE=one\r\n");
  EXPECT_EQ(Texts(Choose(TToolKind::UserProgrammer).Arguments({})),
            (std::vector<std::string>{hex, "one"}));
  Settings("[EXT_PROG]\r\nEXT_PATH=/a/prog\r\nCMD_LINE=two three\r\n");
  EXPECT_EQ(Texts(Choose(TToolKind::UserProgrammer).Arguments({})),
            (std::vector<std::string>{hex, "two", "three"}));
}

TEST_F(ToolChoiceTest, TheInfraredLoaderIsFoundAsTheLauncherFindsIt) {
  TToolChoice c = Choose(TToolKind::InfraredLoader);
  EXPECT_EQ(c.Missing, TToolMissing::InfraredLoader);
  EXPECT_EQ(c.Program, IncFolder + "KORVIR_BOOT.EXE");
  // A folder of that name is not the loader.
  fs::create_directories(IncFolder + "KORVIR_BOOT.EXE");
  EXPECT_EQ(Choose(TToolKind::InfraredLoader).Missing, TToolMissing::InfraredLoader);
  fs::remove(IncFolder + "KORVIR_BOOT.EXE");
  // Another letter case, or the native program without extension.
  for (const char *name : {"korvir_boot.exe", "korvir_boot", "KORVIR_BOOT"}) {
    const std::string path = t.Put(std::string("KX_INC/") + name, "#!/bin/sh\n", true);
    c = Choose(TToolKind::InfraredLoader);
    EXPECT_EQ(c.Missing, TToolMissing::Nothing) << name;
    EXPECT_EQ(c.Program, IncFolder + "KORVIR_BOOT.EXE") << name;
    EXPECT_EQ(c.Arguments({}), LoaderArguments(hex));
    EXPECT_TRUE(c.Waited);
    fs::remove(path);
  }
  EXPECT_EQ(Choose(TToolKind::InfraredLoader).Missing, TToolMissing::InfraredLoader);
}

} // namespace
