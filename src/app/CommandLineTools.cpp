#include "CommandLineTools.h"

#include "CommandLines.h"
#include "CompilerResults.h"
#include "DiskStamp.h"
#include "KorvexError.h"
#include "Launcher.h"
#include "ProcessPaths.h"
#include "Prompter.h"
#include "ResultNames.h"
#include "Streams.h"
#include "ToolChoice.h"

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

// What the window would ask for with a dialog, told instead.
std::string MissingText(const TToolChoice &tool) {
  if (tool.Missing == TToolMissing::InfraredLoader)
    return "Cannot Find KORVEX IR bootloader";
  switch (tool.Kind) {
  case TToolKind::EpicProgrammer:
    return "The EPIC programmer's path is not set: set it with Options > EPIC Path...";
  case TToolKind::UserProgrammer:
    return "No programmer is chosen: set one with Options > Programmer Path...";
  case TToolKind::MeLoader:
    return "The MELOADER path is not set: set it with Options > MELOADER Path...";
  case TToolKind::UserLoader:
    return "No bootloader is chosen: set one with Options > Bootloader Path...";
  case TToolKind::StandardLoader:
  case TToolKind::InfraredLoader:
    break;
  }
  return "The loader cannot be found";
}

// Every tool is waited for here, so that its exit status can be passed on.
int RunTool(TToolKind kind, const std::string &source, const std::string &hex) {
  const TToolChoice tool = ChooseTool(kind, hex, LastDevice(source));
  if (tool.Missing != TToolMissing::Nothing)
    return Fail(MissingText(tool));
  if (!ExecuteAndWait(tool.Program, tool.Arguments))
    return ExitCannotRun;
  return LastExitCode() == 0 ? ExitOk : ExitErrors;
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
  return RunTool(option == "--program" ? ChosenProgrammer() : ChosenBootloader(), source, hex);
}
