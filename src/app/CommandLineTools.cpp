#include "CommandLineTools.h"

#include "CommandLines.h"
#include "CompilerResults.h"
#include "DiskStamp.h"
#include "IniFile.h"
#include "KorvexError.h"
#include "Launcher.h"
#include "ProcessPaths.h"
#include "Prompter.h"
#include "ResultNames.h"
#include "Streams.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <cstring>

namespace {

enum TExit { ExitOk = 0, ExitErrors = 1, ExitCannotRun = 2 };

// Messages go to the standard error, a line each; questions get the answer
// that changes nothing.
class TConsolePrompter : public TPrompter {
public:
  TModalResult Message(const std::string &text, TMsgDlgType, TMsgDlgButtons buttons,
                       const std::string &) override {
    // CR LF, CR and LF each end a line.
    std::string t;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
        continue;
      t.push_back(text[i] == '\r' ? '\n' : text[i]);
    }
    std::fprintf(stderr, "korvex-editor: %s\n", t.c_str());
    std::fflush(stderr);
    if (buttons & mbCancel)
      return TModalResult::mrCancel;
    if (buttons & mbNo)
      return TModalResult::mrNo;
    return TModalResult::mrOk;
  }
  bool OpenFileDialog(TFileDialogRequest &) override { return false; }
  bool SaveFileDialog(TFileDialogRequest &) override { return false; }
  bool FontDialog(TFontChoice &) override { return false; }
  bool PrintDialog(TPrintChoice &) override { return false; }
  bool PageSetupDialog(TPageSetupChoice &) override { return false; }
};

// Texts joined in order (GCC 12 warns wrongly about "..." + std::string chains).
std::string Join(std::initializer_list<std::string> parts) {
  std::string s;
  for (const std::string &p : parts)
    s += p;
  return s;
}

int Fail(const std::string &text, int code = ExitCannotRun) {
  Prompter().Message(text, TMsgDlgType::mtError, mbOK);
  return code;
}

std::string Setting(const std::string &file, const std::string &section, const std::string &key,
                    const std::string &fallback = std::string()) {
  return TIniFile(file).ReadString(section, key, fallback);
}

// The device of the last compile of `source`, as the status bar shows it.
std::string LastDevice(const std::string &source) {
  const std::string pbe = DocumentResultFile(source, ".PBE");
  if (!FileExists(pbe))
    return std::string();
  try {
    const TCompilerResults r = ReadCompilerResultFile(pbe);
    return r.Status == TCompileStatus::Summary ? r.Device : std::string();
  } catch (const EKorvexError &) {
    return std::string();
  }
}

int Compile(const std::string &source) {
  const std::string pbe = DocumentResultFile(source, ".PBE");
  const TDiskStamp before = TDiskStamp::Of(pbe);
  if (!ExecuteAndWait(ExeFolder + CompilerProgram, CompilerArguments(source)))
    return ExitCannotRun;
  // The result file of this compile, not one an earlier compile left.
  const std::string written = DocumentResultFile(source, ".PBE");
  const TDiskStamp after = TDiskStamp::Of(written);
  if (!after.Exists || (written == pbe && after.SameAs(before)))
    return Fail(Join({"The compiler wrote no result file \"", written, "\""}));
  TCompilerResults results;
  try {
    results = ReadCompilerResultFile(written);
  } catch (const EKorvexError &e) {
    return Fail(e.what());
  }
  for (const std::string &line : results.Report)
    std::printf("%s\n", line.c_str());
  if (results.ReportCut)
    std::printf("(the report is cut: the result file holds %lld bytes)\n",
                static_cast<long long>(results.FileSize));
  int code = ExitErrors;
  if (results.Status == TCompileStatus::Summary) {
    std::printf("DEVICE %s  CODE %s  RAM %s\n", results.Device.c_str(), results.CodeSize.c_str(),
                results.RamUse.c_str());
    code = ExitOk;
  } else if (results.Status == TCompileStatus::Other) {
    std::fprintf(stderr, "korvex-editor: the compiler's result says neither success nor error: %s\n",
                 results.StatusLine.c_str());
  }
  std::fflush(stdout);
  return code;
}

// Waits for the tool and passes on how it ended.
int RunTool(const std::string &file, const TArgumentBuilder &build) {
  if (!ExecuteAndWait(file, build))
    return ExitCannotRun;
  return LastExitCode() == 0 ? ExitOk : ExitErrors;
}

TArgumentBuilder Fixed(TCommandArgs args) {
  return [args](const TPathForm &) { return args; };
}

TArgumentBuilder FromTemplate(const std::string &commandTemplate, const std::string &hex,
                              const std::string &device) {
  return [=](const TPathForm &form) {
    return CommandTemplateArguments(commandTemplate, hex, device, form);
  };
}

int Program(const std::string &source, const std::string &hex) {
  const std::string device = LastDevice(source);
  const std::string ini = SettingsFilePath();
  if (Setting(ini, "PROGRAMMER", "TYPE", "EPIC") == "OTHER") {
    const std::string path = Setting(ini, "EXT_PROG", "EXT_PATH");
    if (path.empty())
      return Fail("No programmer is chosen: set one with Options > Programmer Path...");
    return RunTool(path, FromTemplate(Setting(ini, "EXT_PROG", "CMD_LINE"), hex, device));
  }
  const std::string epic = Setting(EpicSettingsFilePath(), "EPIC", "PATHNAME");
  if (epic.empty())
    return Fail("The EPIC programmer's path is not set: set it with Options > EPIC Path...");
  return RunTool(epic, Fixed(EpicArguments(hex, device)));
}

int Download(const std::string &source, const std::string &hex) {
  const std::string ini = SettingsFilePath();
  const std::string type = Setting(ini, "BOOTLOADER", "TYPE", "STANDARD");
  if (type == "OTHER") {
    const std::string path = Setting(ini, "EXT_BOOTLOADER", "EXT_PATH");
    if (path.empty())
      return Fail("No bootloader is chosen: set one with Options > Bootloader Path...");
    return RunTool(path, FromTemplate(Setting(ini, "EXT_BOOTLOADER", "CMD_LINE"), hex,
                                      LastDevice(source)));
  }
  if (type == "MELOADER") {
    const std::string path = Setting(ini, "MELOADER", "PATHNAME");
    if (path.empty())
      return Fail("The MELOADER path is not set: set it with Options > MELOADER Path...");
    return RunTool(path, Fixed(LoaderArguments(hex)));
  }
  if (type == "KORVEX_IR") {
    if (FindFileIgnoringCase(IncFolder, InfraredLoaderProgram).empty())
      return Fail("Cannot Find KORVEX IR bootloader");
    return RunTool(IncFolder + InfraredLoaderProgram, Fixed(LoaderArguments(hex)));
  }
  return RunTool(IncFolder + StandardLoaderProgram, Fixed(LoaderArguments(hex)));
}

const char *const Usage = "usage: korvex-editor [FILE]\n"
                          "       korvex-editor --compile FILE.bas\n"
                          "       korvex-editor --program FILE.bas\n"
                          "       korvex-editor --download FILE.bas\n";

} // namespace

bool IsCommandLineRun(int argc, char **argv) {
  if (argc < 2)
    return false;
  for (const char *o : {"--compile", "--program", "--download", "--help"})
    if (std::strcmp(argv[1], o) == 0)
      return true;
  return false;
}

int RunCommandLine(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  SetPrompter(std::make_unique<TConsolePrompter>());
  const std::string option = argv[1];
  if (option == "--help") {
    std::fputs(Usage, stdout);
    return ExitOk;
  }
  if (argc != 3) {
    std::fputs(Usage, stderr);
    return ExitCannotRun;
  }
  InitProcessPaths(ExecutableFolder());
  if (!FileExists(SettingsFilePath()))
    return Fail(Join({"Could not Find KORVEX.INI\nMake sure it is in the KX_INC folder (", IncFolder,
                      ")"}));
  const std::string source =
      QFile::encodeName(QFileInfo(QFile::decodeName(argv[2])).absoluteFilePath()).toStdString();
  if (!FileExists(source))
    return Fail(Join({"Cannot Find or Open File \"", source, "\""}));
  DeviceName = "16F84";
  if (option == "--compile")
    return Compile(source);
  const std::string hex = DocumentResultFile(source, ".HEX");
  if (!FileExists(hex))
    return Fail(Join({"There is no HEX file \"", hex, "\": compile first"}));
  return option == "--program" ? Program(source, hex) : Download(source, hex);
}
