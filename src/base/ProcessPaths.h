// The process-wide folders and values every part of the program takes its
// files from. Fixed once when the main window is created.
#pragma once

#include <string>

// Folder of the executable, ending with "/".
extern std::string ExeFolder;
// ExeFolder + "KX_INC/": settings file, tools, help file.
extern std::string IncFolder;
// IncFolder + "MPASMWIN.EXE".
extern std::string AssemblerPath;
// Folder of the settings file (IncFolder).
extern std::string SettingsFolder;
// IncFolder + "KORVEX.HLP".
extern std::string HelpFilePath;
// Target device, "16F84" at start; set from the compiler's result file.
extern std::string DeviceName;
// The file named on the command line, or empty.
extern std::string CommandLineFile;

// Sets the folders above from the executable's folder (with or without a
// trailing "/").
void InitProcessPaths(const std::string &exeFolder);

// The folder of the running executable with a trailing "/", links resolved.
std::string ExecutableFolder();

// Built anew on every use, as every settings access opens the file afresh.
inline std::string SettingsFilePath() {
  return IncFolder + "KORVEX.INI";
}
inline std::string HistoryFilePath() {
  return ExeFolder + "KORVEX.DAT";
}
inline std::string EpicSettingsFilePath() {
  return IncFolder + "PBP.INI";
}

// The settings file beside a given executable folder, checked before any
// window exists.
std::string SettingsFileBeside(const std::string &exeFolder);

// The path of `name` in `folder` (which ends with "/"), matched ignoring ASCII
// case as tool names from Windows are; empty when there is no such file.
std::string FindFileIgnoringCase(const std::string &folder, const std::string &name);

// Whether `folder` holds a file whose name ends with `extension` ("." and
// letters), compared ignoring case: the wildcard test "*.EXE".
bool FolderHasFileWithExtension(const std::string &folder, const std::string &extension);
