// Which programmer or loader the settings choose, the program started for it,
// the arguments it gets, whether the window waits for it and what is missing
// before it can start. The window's Program and Download commands and the
// command-line runs take this one decision and differ only in how they react
// to what is missing (a path dialog and a message box, or a line on the
// standard error and an exit status).
#pragma once

#include "CommandLines.h"

#include <string>

enum class TToolKind {
  EpicProgrammer, // [PROGRAMMER] TYPE=EPIC: the EPIC software, its path in PBP.INI
  UserProgrammer, // TYPE=OTHER: [EXT_PROG] EXT_PATH with its CMD_LINE template
  StandardLoader, // [BOOTLOADER] TYPE=STANDARD: BOOTLOAD.EXE in IncFolder
  InfraredLoader, // TYPE=KORVEX_IR: KORVIR_BOOT.EXE in IncFolder
  MeLoader,       // TYPE=MELOADER: [MELOADER] PATHNAME
  UserLoader,     // TYPE=OTHER: [EXT_BOOTLOADER] EXT_PATH with its CMD_LINE template
};

enum class TToolMissing {
  Nothing,
  Path,           // the program's path setting is empty
  InfraredLoader, // the infrared loader is not in IncFolder
};

struct TToolChoice {
  TToolKind Kind = TToolKind::StandardLoader;
  // The program as the launcher takes it (looked up ignoring case there);
  // empty when its path setting is.
  std::string Program;
  TArgumentBuilder Arguments;
  // The fixed loaders are waited for by the window; the programmers,
  // MELOADER and the user's loader run on beside it.
  bool Waited = false;
  TToolMissing Missing = TToolMissing::Nothing;
};

// The TYPE values the settings file holds and the choice menus write.
const char *ToolTypeName(TToolKind kind);
// A [PROGRAMMER] TYPE value: "OTHER" is the user's programmer, any other
// value (none, lower case, unknown) EPIC. Likewise a [BOOTLOADER] TYPE value:
// "MELOADER", "KORVEX_IR" and "OTHER" as written, anything else the standard
// loader.
TToolKind ProgrammerKindOf(const std::string &type);
TToolKind BootloaderKindOf(const std::string &type);
// The kinds the settings file chooses now.
TToolKind ChosenProgrammer();
TToolKind ChosenBootloader();

// The tool of `kind` for the HEX file `hexFileName`, its paths and templates
// read from the settings files now; `deviceName` is what EPIC's "-dPIC" and a
// template's %PIC stand for.
TToolChoice ChooseTool(TToolKind kind, const std::string &hexFileName,
                       const std::string &deviceName);
