// Command lines of the programs the system starts: the user's templates with
// their macros, and the fixed argument lists of every tool. Programs start
// without a shell, so a command line is a list of arguments; a path we insert
// is always one argument, blanks and all.
#pragma once

#include <functional>
#include <string>
#include <vector>

// One argument. A path we insert is marked so that a Windows program run
// through wine gets it in its Windows form.
struct TCommandArg {
  std::string Text;
  bool IsPath = false;

  static TCommandArg Path(std::string text) { return {std::move(text), true}; }
  static TCommandArg Word(std::string text) { return {std::move(text), false}; }
  bool operator==(const TCommandArg &) const = default;
};
using TCommandArgs = std::vector<TCommandArg>;

// How the started program sees a path: unchanged for a native program, the
// Windows form for one run through wine.
using TPathForm = std::function<std::string(const std::string &path)>;

// The device a template's %PIC stands for: the device, or "16F84" when none
// is known (a compile that failed leaves the device empty).
std::string TemplateDevice(const std::string &deviceName);

// Replaces, ignoring case and in this order, every "%FILENAME" by the file
// name part of hexFileName, every "%FULL" by hexFileName and every "%PIC" by
// TemplateDevice(deviceName). Text inserted by an earlier step is seen by the
// later ones; nothing is quoted.
std::string ExpandMacros(const std::string &text, const std::string &hexFileName,
                         const std::string &deviceName);

// The parameter string of a user-defined programmer or loader as one text:
// hexFileName, one blank, the expanded template. What the user's tool
// receives, written out (the launcher passes CommandTemplateArguments).
std::string ExpandCommandTemplate(const std::string &commandTemplate,
                                  const std::string &hexFileName, const std::string &deviceName);

// Splits a command line into words the way QProcess::splitCommand does:
// blanks (ASCII white space) separate words, double quotes group blanks into
// a word and are removed, and three quotes in a row stand for one literal
// quote. An empty pair of quotes gives no word.
std::vector<std::string> SplitCommandWords(const std::string &commandLine);

// The argument list of a user-defined tool: the HEX path first, as one
// argument, then each word of the template with its macros replaced inside
// the word. `form` turns the HEX path into the form the program sees before
// it is inserted (into the first argument and into the words).
TCommandArgs CommandTemplateArguments(const std::string &commandTemplate,
                                      const std::string &hexFileName, const std::string &deviceName,
                                      const TPathForm &form = {});

// Arguments that embed a path inside a word (a user's command template) are
// built once the launcher knows how the program sees paths.
using TArgumentBuilder = std::function<TCommandArgs(const TPathForm &form)>;
// Arguments that are the same whatever the form (their whole-path arguments
// are marked and converted by the launcher).
TArgumentBuilder FixedArguments(TCommandArgs args);
// CommandTemplateArguments of the template once the form is known.
TArgumentBuilder TemplateArgumentBuilder(std::string commandTemplate, std::string hexFileName,
                                         std::string deviceName);

// ---- the programs the system starts ---------------------------------------
// File names as the settings and the compiler's users know them; the tool
// look-up finds them in their folder ignoring case, or a native program of
// the same base name without extension.
inline constexpr const char *CompilerProgram = "KORVEX.EXE";            // in ExeFolder
inline constexpr const char *AssemblerProgram = "MPASMWIN.EXE";         // in IncFolder
inline constexpr const char *StandardLoaderProgram = "BOOTLOAD.EXE";    // in IncFolder
inline constexpr const char *InfraredLoaderProgram = "KORVIR_BOOT.EXE"; // in IncFolder
inline constexpr const char *TerminalProgram = "TERM.EXE";              // in IncFolder
inline constexpr const char *HelpDocument = "KORVEX.HLP";               // in IncFolder
inline constexpr const char *ToolFolderName = "EXTERNAL PROGRAMS";      // in IncFolder
// The assembler Linux users have, used when the Windows one is absent.
inline constexpr const char *GpasmProgram = "gpasm";

// Compile: the document's path, then "-m" "-q".
TCommandArgs CompilerArguments(const std::string &documentPath);
// Re-Assemble: the listing's path, then "/e+ /l+ /x- /w2 /c- /m- /q" as
// separate switches; Re-Assemble as... puts "/aINHX8M" before them.
TCommandArgs AssemblerArguments(const std::string &asmPath, bool inhx8m);
// The same assembly through gpasm: INHX8M HEX, a listing, an error file and
// case-insensitive symbols, beside the source as the Windows assembler writes
// them.
TCommandArgs GpasmArguments(const std::string &asmPath);
// The EPIC programmer: the HEX path, then "-dPIC" followed by the device
// (possibly empty) as one argument.
TCommandArgs EpicArguments(const std::string &hexFileName, const std::string &deviceName);
// The fixed loaders: the HEX path alone.
TCommandArgs LoaderArguments(const std::string &hexFileName);

// The arguments written out as the parameter string they stand for (blank
// separated, nothing quoted): for messages and logs.
std::string ParameterString(const TCommandArgs &args);
