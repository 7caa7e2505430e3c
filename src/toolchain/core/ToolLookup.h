// Finding the programs the system starts, and how each one is started on
// Linux: tool names of the Windows original ("KORVEX.EXE") are looked up in
// their folder ignoring case, a native program of the same base name without
// extension ("korvex") stands in when the folder has no such file, a file
// that begins with "MZ" is a Windows program for wine, and the running
// program itself is never taken for a tool.
#pragma once

#include <string>

enum class TProgramKind {
  Missing,       // no such file (or only the running program)
  Native,        // an executable file: started directly
  Windows,       // begins with "MZ": started through wine
  Document,      // any other file: opened with the desktop's default program
  NotExecutable, // a program's name (".EXE", ".COM", ".BAT" or no extension) without execute rights
};

struct TProgramLookup {
  std::string Path; // the file found (empty when Missing)
  TProgramKind Kind = TProgramKind::Missing;
};

// The file `path` names: exactly, else a file of that name in its folder
// ignoring case, else (for a name ending in ".EXE", ignoring case) a program
// of the same base name without extension in the folder, the lower-case
// spelling first. Only regular files count, and never the running program.
// Empty when nothing is found.
std::string FindTool(const std::string &path);

// How a file is started (Missing when it is not a regular file).
TProgramKind ProgramKindOf(const std::string &file);

// FindTool, then ProgramKindOf.
TProgramLookup LookUpProgram(const std::string &path);

// The path of `name` found in the folders of a PATH-style list ("a:b:c"), or
// empty: how wine, winepath, gpasm and xdg-open are found.
std::string FindInSearchPath(const std::string &name, const std::string &searchPath);

// The file name of `path` with its last extension replaced by `extension`
// (which starts with "."), or `extension` appended when it has none.
std::string ChangeFileExt(const std::string &path, const std::string &extension);

// The file `ChangeFileExt(path, extension)` as it exists beside `path`,
// its name matched ignoring case (a Windows compiler under wine may write
// "BLINK.PBE" for "blink.bas"). Of several spellings the one modified last
// counts (on equal times the exact name, then the smallest). The changed
// name itself when none exists.
std::string ResultFileName(const std::string &path, const std::string &extension);
