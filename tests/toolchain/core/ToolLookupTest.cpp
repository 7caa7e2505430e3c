// Finding tools on a case-sensitive file system: names ignoring case, the
// native stand-in without extension, the kind of each file, never the
// running program; result files beside the source ignoring case.
#include "ToolLookup.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const std::string WindowsProgram = std::string("MZ\x90\0\x03\0\0\0", 8);

TEST(ToolLookup, NamesMatchIgnoringCaseThenTheProgramWithoutExtension) {
  TTempFolder t;
  const std::string d = t.Dir();
  EXPECT_EQ(FindTool(d + "KORVEX.EXE"), "");
  const std::string native = t.Put("korvex", "#!/bin/sh\n", true);
  EXPECT_EQ(FindTool(d + "KORVEX.EXE"), native);
  EXPECT_EQ(FindTool(d + "korvex.exe"), native);
  EXPECT_EQ(FindTool(d + "Korvex.Exe"), native);
  // The lower-case spelling wins among several.
  t.Put("KORVEX", "#!/bin/sh\n", true);
  EXPECT_EQ(FindTool(d + "KORVEX.EXE"), native);
  fs::remove(native);
  EXPECT_EQ(FindTool(d + "KORVEX.EXE"), d + "KORVEX");
  // A file of the full name comes before the one without extension.
  const std::string exe = t.Put("Korvex.exe", WindowsProgram);
  EXPECT_EQ(FindTool(d + "KORVEX.EXE"), exe);
  const std::string exact = t.Put("KORVEX.EXE", WindowsProgram);
  EXPECT_EQ(FindTool(d + "KORVEX.EXE"), exact);

  // Only names ending in ".EXE" fall back to the program without extension.
  t.Put("korvex.hlp.txt", "");
  t.Put("help", "", true);
  EXPECT_EQ(FindTool(d + "HELP.HLP"), "");
  EXPECT_EQ(FindTool(d + "help.exe"), d + "help");
  // Folders never count; nor an empty name or path.
  fs::create_directories(d + "term");
  EXPECT_EQ(FindTool(d + "TERM.EXE"), "");
  EXPECT_EQ(FindTool(d), "");
  EXPECT_EQ(FindTool(""), "");
  EXPECT_EQ(FindTool(d + "nofolder/KORVEX.EXE"), "");
}

TEST(ToolLookup, TheRunningProgramIsNeverATool) {
  TTempFolder t;
  // The test program itself, under the names a tool would have.
  fs::create_symlink("/proc/self/exe", t.Dir() + "korvex");
  fs::create_hard_link(fs::read_symlink("/proc/self/exe"), t.Dir() + "MPASMWIN.EXE");
  EXPECT_EQ(FindTool(t.Dir() + "KORVEX.EXE"), "");
  EXPECT_EQ(FindTool(t.Dir() + "korvex"), "");
  EXPECT_EQ(FindTool(t.Dir() + "MPASMWIN.EXE"), "");
  EXPECT_EQ(LookUpProgram(t.Dir() + "MPASMWIN.EXE").Kind, TProgramKind::Missing);
  // A copy is another program.
  fs::copy_file(fs::read_symlink("/proc/self/exe"), t.Dir() + "mpasmwin");
  EXPECT_EQ(FindTool(t.Dir() + "MPASMWIN.EXE"), t.Dir() + "mpasmwin");
}

TEST(ToolLookup, KindOfEachFile) {
  TTempFolder t;
  EXPECT_EQ(ProgramKindOf(t.Put("a.exe", WindowsProgram)), TProgramKind::Windows);
  EXPECT_EQ(ProgramKindOf(t.Put("b.exe", WindowsProgram, true)), TProgramKind::Windows);
  EXPECT_EQ(ProgramKindOf(t.Put("c", "#!/bin/sh\n", true)), TProgramKind::Native);
  EXPECT_EQ(ProgramKindOf(t.Put("tool.sh", "#!/bin/sh\n", true)), TProgramKind::Native);
  EXPECT_EQ(ProgramKindOf(t.Put("d", "#!/bin/sh\n")), TProgramKind::NotExecutable);
  EXPECT_EQ(ProgramKindOf(t.Put("E.EXE", "not a program")), TProgramKind::NotExecutable);
  EXPECT_EQ(ProgramKindOf(t.Put("F.BAT", "echo")), TProgramKind::NotExecutable);
  EXPECT_EQ(ProgramKindOf(t.Put("KORVEX.HLP", "help")), TProgramKind::Document);
  EXPECT_EQ(ProgramKindOf(t.Put("M", "M")), TProgramKind::NotExecutable);
  EXPECT_EQ(ProgramKindOf(t.Put("empty.txt", "")), TProgramKind::Document);
  EXPECT_EQ(ProgramKindOf(t.Dir() + "none"), TProgramKind::Missing);
  EXPECT_EQ(ProgramKindOf(t.Dir()), TProgramKind::Missing);
  EXPECT_EQ(ProgramKindOf(""), TProgramKind::Missing);

  const TProgramLookup l = LookUpProgram(t.Dir() + "C.EXE");
  EXPECT_EQ(l.Path, t.Dir() + "c");
  EXPECT_EQ(l.Kind, TProgramKind::Native);
}

TEST(ToolLookup, SearchPathFindsExecutablesOnly) {
  TTempFolder t;
  t.Put("one/wine", "", false);
  const std::string two = t.Put("two/wine", "#!/bin/sh\n", true);
  EXPECT_EQ(FindInSearchPath("wine", t.Dir() + "one:" + t.Dir() + "two"), two);
  EXPECT_EQ(FindInSearchPath("wine", t.Dir() + "one"), "");
  EXPECT_EQ(FindInSearchPath("wine", ""), "");
}

TEST(ResultFiles, ChangedExtensionFoundIgnoringCase) {
  EXPECT_EQ(ChangeFileExt("/w/blink.bas", ".PBE"), "/w/blink.PBE");
  EXPECT_EQ(ChangeFileExt("/w/blink", ".PBE"), "/w/blink.PBE");
  EXPECT_EQ(ChangeFileExt("/w.d/blink", ".PBE"), "/w.d/blink.PBE");
  EXPECT_EQ(ChangeFileExt("/w/a.b.bas", ".HEX"), "/w/a.b.HEX");
  EXPECT_EQ(ChangeFileExt("/w/.bas", ".HEX"), "/w/.HEX");

  TTempFolder t;
  const std::string doc = t.Dir() + "blink.bas";
  EXPECT_EQ(ResultFileName(doc, ".PBE"), t.Dir() + "blink.PBE");
  const auto at = [](const std::string &path, int seconds) {
    fs::last_write_time(path, fs::file_time_type(std::chrono::seconds(1700000000 + seconds)));
    return path;
  };
  const std::string upper = at(t.Put("BLINK.PBE", "ERROR"), 10);
  EXPECT_EQ(ResultFileName(doc, ".PBE"), upper);
  // The newest spelling is the current result.
  const std::string lower = at(t.Put("blink.pbe", "ERROR"), 20);
  EXPECT_EQ(ResultFileName(doc, ".PBE"), lower);
  at(upper, 30);
  EXPECT_EQ(ResultFileName(doc, ".PBE"), upper);
  // Equal times: the exact name, else the smallest.
  at(lower, 30);
  EXPECT_EQ(ResultFileName(doc, ".PBE"), upper) << "\"BLINK\" < \"blink\"";
  const std::string exact = at(t.Put("blink.PBE", "ERROR"), 30);
  EXPECT_EQ(ResultFileName(doc, ".PBE"), exact);
  at(lower, 40);
  EXPECT_EQ(ResultFileName(doc, ".PBE"), lower);
  // A folder of that name is no result file.
  fs::create_directories(t.Dir() + "blink.hex");
  EXPECT_EQ(ResultFileName(doc, ".HEX"), t.Dir() + "blink.HEX");
}

} // namespace
