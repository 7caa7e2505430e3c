// The programmer or loader to start, and how, from the settings files.
#include "ToolChoice.h"

#include "IniFile.h"
#include "ProcessPaths.h"
#include "ToolLookup.h"

namespace {

std::string Setting(const std::string &file, const char *section, const char *key) {
  return TIniFile(file).ReadString(section, key, std::string());
}

// A program whose path the user sets, with a command template or fixed
// arguments; missing while the path is empty.
TToolChoice UserPath(TToolChoice c, std::string path) {
  c.Program = std::move(path);
  if (c.Program.empty())
    c.Missing = TToolMissing::Path;
  return c;
}

} // namespace

const char *ToolTypeName(TToolKind kind) {
  switch (kind) {
  case TToolKind::EpicProgrammer:
    return "EPIC";
  case TToolKind::StandardLoader:
    return "STANDARD";
  case TToolKind::InfraredLoader:
    return "KORVEX_IR";
  case TToolKind::MeLoader:
    return "MELOADER";
  case TToolKind::UserProgrammer:
  case TToolKind::UserLoader:
    break;
  }
  return "OTHER";
}

TToolKind ProgrammerKindOf(const std::string &type) {
  return type == "OTHER" ? TToolKind::UserProgrammer : TToolKind::EpicProgrammer;
}

TToolKind BootloaderKindOf(const std::string &type) {
  for (TToolKind k : {TToolKind::InfraredLoader, TToolKind::MeLoader, TToolKind::UserLoader})
    if (type == ToolTypeName(k))
      return k;
  return TToolKind::StandardLoader;
}

TToolKind ChosenProgrammer() {
  return ProgrammerKindOf(Setting(SettingsFilePath(), "PROGRAMMER", "TYPE"));
}

TToolKind ChosenBootloader() {
  return BootloaderKindOf(Setting(SettingsFilePath(), "BOOTLOADER", "TYPE"));
}

TToolChoice ChooseTool(TToolKind kind, const std::string &hexFileName,
                       const std::string &deviceName) {
  TToolChoice c;
  c.Kind = kind;
  const std::string ini = SettingsFilePath();
  switch (kind) {
  case TToolKind::EpicProgrammer:
    c.Arguments = FixedArguments(EpicArguments(hexFileName, deviceName));
    return UserPath(std::move(c), Setting(EpicSettingsFilePath(), "EPIC", "PATHNAME"));
  case TToolKind::UserProgrammer:
    c.Arguments =
        TemplateArgumentBuilder(Setting(ini, "EXT_PROG", "CMD_LINE"), hexFileName, deviceName);
    return UserPath(std::move(c), Setting(ini, "EXT_PROG", "EXT_PATH"));
  case TToolKind::MeLoader:
    c.Arguments = FixedArguments(LoaderArguments(hexFileName));
    return UserPath(std::move(c), Setting(ini, "MELOADER", "PATHNAME"));
  case TToolKind::UserLoader:
    c.Arguments = TemplateArgumentBuilder(Setting(ini, "EXT_BOOTLOADER", "CMD_LINE"), hexFileName,
                                          deviceName);
    return UserPath(std::move(c), Setting(ini, "EXT_BOOTLOADER", "EXT_PATH"));
  case TToolKind::InfraredLoader:
    c.Program = IncFolder + InfraredLoaderProgram;
    // Found as the launcher finds it: any letter case, or a native program
    // of its base name.
    if (FindTool(c.Program).empty())
      c.Missing = TToolMissing::InfraredLoader;
    break;
  case TToolKind::StandardLoader:
    c.Program = IncFolder + StandardLoaderProgram;
    break;
  }
  c.Arguments = FixedArguments(LoaderArguments(hexFileName));
  c.Waited = true;
  return c;
}
