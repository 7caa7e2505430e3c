// Command lines: the user's templates (every documented edge, the fixed
// order of the macros), word splitting, and the argument lists of the tools.
#include "CommandLines.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Texts(const TCommandArgs &args) {
  std::vector<std::string> out;
  for (const TCommandArg &a : args)
    out.push_back(a.Text);
  return out;
}

TEST(CommandTemplate, ParameterStringOfTheTemplates) {
  const std::string hex = "C:\\WORK\\BLINK.HEX";
  struct TCase {
    const char *Template, *Device, *Expected;
  };
  const TCase cases[] = {
      {"-p%PIC %full", "16F877", "C:\\WORK\\BLINK.HEX -p16F877 C:\\WORK\\BLINK.HEX"},
      {"no macros here", "16F877", "C:\\WORK\\BLINK.HEX no macros here"},
      {"", "16F877", "C:\\WORK\\BLINK.HEX "},
      {"%pic %Pic %PIC %pIC", "16F628", "C:\\WORK\\BLINK.HEX 16F628 16F628 16F628 16F628"},
      {"%FILENAME", "16F876", "C:\\WORK\\BLINK.HEX BLINK.HEX"},
      {"/f=%filename/%FuLl", "x", "C:\\WORK\\BLINK.HEX /f=BLINK.HEX/C:\\WORK\\BLINK.HEX"},
      // Without a device %PIC stands for the start-up device.
      {"-p%PIC", "", "C:\\WORK\\BLINK.HEX -p16F84"},
      // Macros run together, and a "%" that starts none stays.
      {"%PIC%PIC%FULL%", "A", "C:\\WORK\\BLINK.HEX AAC:\\WORK\\BLINK.HEX%"},
      {"100% %PI %FUL", "A", "C:\\WORK\\BLINK.HEX 100% %PI %FUL"},
      {"\"quoted %PIC\"", "A", "C:\\WORK\\BLINK.HEX \"quoted A\""},
  };
  for (const TCase &c : cases)
    EXPECT_EQ(ExpandCommandTemplate(c.Template, hex, c.Device), c.Expected) << c.Template;
}

TEST(CommandTemplate, TextInsertedByAnEarlierMacroIsSeenByTheLaterOnes) {
  // A file named after a macro: %FILENAME inserts "%PIC.HEX", which %PIC then
  // replaces; %FULL inserts the path, whose "%pic" is replaced as well.
  EXPECT_EQ(ExpandMacros("%FILENAME", "/w/%PIC.HEX", "16F84A"), "16F84A.HEX");
  EXPECT_EQ(ExpandMacros("%FULL", "/w/%pic/B.HEX", "16F84A"), "/w/16F84A/B.HEX");
  // A name holding "%FULL" becomes the path in the next step.
  EXPECT_EQ(ExpandMacros("%FILENAME", "/w/%FULL", "X"), "/w/%FULL");
  // A replacement never re-scans its own inserted text.
  EXPECT_EQ(ExpandMacros("%PIC", "/h.HEX", "%PIC"), "%PIC");
  EXPECT_EQ(TemplateDevice(""), "16F84");
  EXPECT_EQ(TemplateDevice("16F877"), "16F877");
}

TEST(CommandTemplate, SplitsLikeQProcessSplitCommand) {
  struct TCase {
    const char *Line;
    std::vector<std::string> Words;
  };
  const TCase cases[] = {
      {"", {}},
      {"   ", {}},
      {"a", {"a"}},
      {"  a   b\tc\r\nd  ", {"a", "b", "c", "d"}},
      {"\"a b\" c", {"a b", "c"}},
      {"x\"a b\"y", {"xa by"}},
      {"\"\"", {}},
      {"a \"\" b", {"a", "b"}},
      {"\"\"\"", {"\""}},
      {"say \"\"\"hi\"\"\"", {"say", "\"hi\""}},
      {"\"a \"\"\"b\" c", {"a \"b", "c"}},
      {"'single quotes' stay", {"'single", "quotes'", "stay"}},
      {"\"unclosed quote", {"unclosed quote"}},
      {"trailing\"", {"trailing"}},
  };
  for (const TCase &c : cases)
    EXPECT_EQ(SplitCommandWords(c.Line), c.Words) << c.Line;
}

TEST(CommandTemplate, ArgumentListKeepsThePathOneArgumentAndExpandsInsideWords) {
  const std::string hex = "/home/ann/my projects/blink led.HEX";
  EXPECT_EQ(Texts(CommandTemplateArguments("-p%PIC -f \"%FULL\" %FILENAME", hex, "16F877")),
            (std::vector<std::string>{hex, "-p16F877", "-f", hex, "blink led.HEX"}));
  // Blanks the macros insert never split a word.
  EXPECT_EQ(Texts(CommandTemplateArguments("--file=%FULL", hex, "")),
            (std::vector<std::string>{hex, "--file=" + hex}));
  EXPECT_EQ(Texts(CommandTemplateArguments("", hex, "")), std::vector<std::string>{hex});
  // With a path form, the converted path is what is inserted everywhere.
  const TPathForm windows = [](const std::string &p) { return "Z:" + p; };
  EXPECT_EQ(Texts(CommandTemplateArguments("%FULL %FILENAME", "/a/B.HEX", "", windows)),
            (std::vector<std::string>{"Z:/a/B.HEX", "Z:/a/B.HEX", "B.HEX"}));
  EXPECT_EQ(Texts(CommandTemplateArguments(
                "%FILENAME", "/a/B.HEX", "",
                [](const std::string &) { return std::string("Z:\\A\\C.HEX"); })),
            (std::vector<std::string>{"Z:\\A\\C.HEX", "C.HEX"}));
}

TEST(ToolArguments, FixedArgumentListsOfEveryTool) {
  const std::string doc = "/w/my blink.bas";
  EXPECT_EQ(CompilerArguments(doc), (TCommandArgs{TCommandArg::Path(doc), TCommandArg::Word("-m"),
                                                  TCommandArg::Word("-q")}));
  EXPECT_EQ(ParameterString(AssemblerArguments("/w/a.ASM", false)),
            "/w/a.ASM /e+ /l+ /x- /w2 /c- /m- /q");
  EXPECT_EQ(ParameterString(AssemblerArguments("/w/a.ASM", true)),
            "/w/a.ASM /aINHX8M /e+ /l+ /x- /w2 /c- /m- /q");
  EXPECT_TRUE(AssemblerArguments("/w/a b.ASM", true)[0].IsPath);
  EXPECT_EQ(AssemblerArguments("/w/a b.ASM", true).size(), 9u);
  const TCommandArgs gpasm = GpasmArguments("/w/a b.ASM");
  EXPECT_EQ(gpasm.back(), TCommandArg::Path("/w/a b.ASM"));
  EXPECT_EQ(ParameterString(gpasm), "-a inhx8m -k -w 2 -i -e OFF -q /w/a b.ASM");
  // The device follows "-dPIC" in the same argument, also when empty.
  EXPECT_EQ(Texts(EpicArguments("/w/A.HEX", "16F628")),
            (std::vector<std::string>{"/w/A.HEX", "-dPIC16F628"}));
  EXPECT_EQ(Texts(EpicArguments("/w/A.HEX", "")), (std::vector<std::string>{"/w/A.HEX", "-dPIC"}));
  EXPECT_EQ(LoaderArguments("/w/A.HEX"), TCommandArgs{TCommandArg::Path("/w/A.HEX")});
}

} // namespace
