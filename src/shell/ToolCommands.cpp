// The main window's programmer, bootloader, Run menu and tool commands.
#include "EditorMainForm.h"

#include "AsciiForm.h"
#include "BootloaderParametersDialog.h"
#include "CommandGuard.h"
#include "CommandLines.h"
#include "EpicPathDialog.h"
#include "FileObject.h"
#include "FileScan.h"
#include "FindMeloaderDialog.h"
#include "IniFile.h"
#include "Launcher.h"
#include "ProcessPaths.h"
#include "ProgPathDialog.h"
#include "Prompter.h"
#include "ResultNames.h"
#include "Streams.h"
#include "SyntaxMemo.h"
#include "ToolChoice.h"
#include "ToolLookup.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QMenu>
#include <QTabBar>

#include <sys/stat.h>

namespace {

// A text the result file may hold before it is refused instead of inserted;
// far above anything a tool hands back, far below what would exhaust memory.
constexpr int64_t MaxResultFileSize = int64_t(1) << 30;

// The program's companion windows are created once at start-up; a window
// made without them (a test's) gets its own, owned by the main window.
template <class T> T &Companion(T *&window, QWidget *owner) {
  if (!window) {
    window = new T(owner);
    QObject::connect(window, &QObject::destroyed, owner, [&window] { window = nullptr; });
  }
  return *window;
}

void CheckOnly(QAction *chosen, std::initializer_list<QAction *> group) {
  for (QAction *a : group)
    a->setChecked(a == chosen);
}

QString MenuText(const std::string &name) {
  QString s = QFile::decodeName(QByteArray::fromStdString(name));
  // Menus read "&" as an accelerator mark and a tab as the start of the
  // shortcut column; a file name shows as it is.
  s.replace(QLatin1Char('&'), QStringLiteral("&&"));
  s.replace(QLatin1Char('\t'), QLatin1Char(' '));
  return s;
}

bool IsRegularFile(const std::string &path, struct stat &st) {
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ToolFolder() {
  std::string folder = IncFolder;
  folder += "EXTERNAL PROGRAMS/";
  return folder;
}

std::string ResultFilePath() {
  std::string path = FindFileIgnoringCase(ToolFolder(), "RES_FILE.TXT");
  if (path.empty())
    path = ToolFolder() + "RES_FILE.TXT";
  return path;
}

// Tools are the ".exe" files, in any case, and the programs of any name.
bool IsTool(const std::string &, const TSearchRec &r) {
  const size_t n = r.Name.size();
  if (n >= 4 && QByteArray::fromStdString(r.Name.substr(n - 4)).toLower() == ".exe")
    return true;
  return (r.Mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0;
}

// The scanner set up for the tool folder, with or without its subfolders.
void SetUpToolScan(TFileScan &scan, bool subfolders) {
  scan.SetDirectory(ToolFolder());
  scan.FileSpecs.assign(1, '*');
  scan.IncSubDir = subfolders;
  scan.FileFilter = IsTool;
  scan.MatchLimit = subfolders ? 0 : 1;
  // Windows repaint while a large folder is read; commands wait for the end.
  scan.ProcessMessages = [] {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  };
}

std::string CurrentDocumentPath(const TEditorMainForm &f) {
  return f.CurrentFile ? f.CurrentFile->FileName : std::string();
}

// What the programmer and bootloader dialogs show: the program and, one a
// line, the arguments Program or Download gives it for the current document.
QStringList ArgumentLines(const TEditorMainForm &f, const std::string &path,
                          const std::string &cmdLine) {
  const std::string hex = DocumentResultFile(CurrentDocumentPath(f), ".HEX");
  // The program first; until one is chosen the command would only report it.
  QStringList lines{path.empty() ? QStringLiteral("(no program chosen)")
                                 : QFile::decodeName(QByteArray::fromStdString(path))};
  for (const TCommandArg &a : CommandTemplateArguments(cmdLine, hex, DeviceName))
    lines << QString::fromLocal8Bit(QByteArray::fromStdString(a.Text));
  return lines;
}

} // namespace

// ---- programmer ---------------------------------------------------------------

void TEditorMainForm::EpicProgClick(QObject *) {
  CheckOnly(EpicProg, {EpicProg, ExtProg});
  TIniFile(SettingsFilePath())
      .WriteString("PROGRAMMER", "TYPE", ToolTypeName(TToolKind::EpicProgrammer));
}

void TEditorMainForm::ExtProgClick(QObject *) {
  CheckOnly(ExtProg, {EpicProg, ExtProg});
  TIniFile(SettingsFilePath())
      .WriteString("PROGRAMMER", "TYPE", ToolTypeName(TToolKind::UserProgrammer));
}

void TEditorMainForm::ProgrammerPathClick(QObject *) {
  TProgPath &dialog = Companion(ProgPath, this);
  dialog.ArgumentPreview = [this](const std::string &path, const std::string &cmdLine) {
    return ArgumentLines(*this, path, cmdLine);
  };
  dialog.exec();
  ExtProg->setText(MenuText(ExtProgrammerName.empty() ? "Undefined" : ExtProgrammerName));
}

void TEditorMainForm::EPIC_DirectoryClick(QObject *) {
  Companion(EPICPath, this).exec();
}

namespace {

// The tool of `kind` for the HEX file of the current document. A path that is
// not set is asked for with its dialog first and the choice made again with
// what the dialog stored; a cancelled dialog leaves it empty, and starting
// the empty path reports the problem.
TToolChoice ChooseAskingForPath(TEditorMainForm &f, TToolKind kind) {
  TToolChoice tool = ChooseTool(kind, HexFileName, DeviceName);
  if (tool.Missing != TToolMissing::Path)
    return tool;
  switch (kind) {
  case TToolKind::EpicProgrammer:
    f.EPIC_DirectoryClick(&f);
    break;
  case TToolKind::UserProgrammer:
    f.ProgrammerPathClick(&f);
    break;
  case TToolKind::MeLoader:
    f.MELoaderPathClick(&f);
    break;
  case TToolKind::UserLoader:
  case TToolKind::StandardLoader:
  case TToolKind::InfraredLoader:
    f.BootloaderPathClick(&f);
    break;
  }
  return ChooseTool(kind, HexFileName, DeviceName);
}

} // namespace

// Program: the EPIC software or the user's programmer gets the HEX file; the
// command neither compiles first nor waits for the programmer. Without a path
// its dialog asks for one first.
void TEditorMainForm::ProgramButtonClick(QObject *) {
  SetHexFileName(CurrentDocumentPath(*this));
  TToolKind kind;
  if (EpicProg->isChecked())
    kind = TToolKind::EpicProgrammer;
  else if (ExtProg->isChecked())
    kind = TToolKind::UserProgrammer;
  else
    return;
  const TToolChoice tool = ChooseAskingForPath(*this, kind);
  RunProgram(tool.Program, tool.Arguments);
}

// ---- bootloader ---------------------------------------------------------------

namespace {

void ChooseBootloader(TEditorMainForm &f, QAction *chosen, TToolKind kind) {
  CheckOnly(chosen,
            {f.Standard_Bootloader_Option, f.MELoader_Option, f.External_Bootloader_Option});
  // The infrared item counts only while its loader is there.
  if (f.KORVEX_IR_Option->isEnabled())
    f.KORVEX_IR_Option->setChecked(f.KORVEX_IR_Option == chosen);
  TIniFile(SettingsFilePath()).WriteString("BOOTLOADER", "TYPE", ToolTypeName(kind));
}

} // namespace

void TEditorMainForm::Standard_Bootloader_OptionClick(QObject *) {
  ChooseBootloader(*this, Standard_Bootloader_Option, TToolKind::StandardLoader);
}

void TEditorMainForm::MELoader_OptionClick(QObject *) {
  ChooseBootloader(*this, MELoader_Option, TToolKind::MeLoader);
}

void TEditorMainForm::KORVEX_IR_OptionClick(QObject *) {
  ChooseBootloader(*this, KORVEX_IR_Option, TToolKind::InfraredLoader);
}

void TEditorMainForm::External_Bootloader_OptionClick(QObject *) {
  ChooseBootloader(*this, External_Bootloader_Option, TToolKind::UserLoader);
}

void TEditorMainForm::BootloaderPathClick(QObject *) {
  TBootloader_Parameters &dialog = Companion(Bootloader_Parameters, this);
  dialog.ArgumentPreview = [this](const std::string &path, const std::string &cmdLine) {
    return ArgumentLines(*this, path, cmdLine);
  };
  dialog.exec();
  External_Bootloader_Option->setText(
      MenuText(ExtBootloaderName.empty() ? "Undefined" : ExtBootloaderName));
}

void TEditorMainForm::MELoaderPathClick(QObject *) {
  Companion(Find_MELOADER, this).exec();
}

// Download: the chosen loader gets the HEX file. The two fixed loaders are
// waited for, MELOADER and the user's loader are not; without a path their
// dialog asks for one first.
void TEditorMainForm::DownloadButtonClick(QObject *) {
  // A loader is never started while a waited-for tool runs.
  if (LauncherBusy())
    return;
  SetHexFileName(CurrentDocumentPath(*this));
  TToolKind kind;
  if (Standard_Bootloader_Option->isChecked())
    kind = TToolKind::StandardLoader;
  else if (KORVEX_IR_Option->isChecked())
    kind = TToolKind::InfraredLoader;
  else if (MELoader_Option->isChecked())
    kind = TToolKind::MeLoader;
  else if (External_Bootloader_Option->isChecked())
    kind = TToolKind::UserLoader;
  else
    return;
  const TToolChoice tool = ChooseAskingForPath(*this, kind);
  if (tool.Missing == TToolMissing::InfraredLoader) {
    KORVEX_IR_Option->setChecked(false);
    KORVEX_IR_Option->setEnabled(false);
    KORVEX_IR_Option->setVisible(false);
    Standard_Bootloader_Option->setChecked(true);
    MessageDlg("Cannot Find KORVEX IR bootloader\r\nDefaulting to standard bootloader.",
               TMsgDlgType::mtInformation, mbOK);
    return;
  }
  if (tool.Waited)
    ExecuteAndWait(tool.Program, tool.Arguments);
  else
    RunProgram(tool.Program, tool.Arguments);
}

// ---- Run menu -----------------------------------------------------------------

void TEditorMainForm::BuildRunMenus() {
  if (!FileScan1)
    FileScan1 = std::make_shared<TFileScan>();
  TFileScan &scan = *FileScan1;
  SetUpToolScan(scan, false);
  scan.SetStartScan(true);
  const bool anyTool = !scan.Results.empty();
  scan.Results.clear();
  if (!anyTool)
    return;
  for (QAction *a : {Run_Separator, Run_Program_Option->menuAction(), PopUp_Run_Separator,
                     PopUp_Menu_RUNLIST->menuAction()}) {
    a->setEnabled(true);
    a->setVisible(true);
  }
  SetUpToolScan(scan, true);
  scan.SetStartScan(true);
  ToolList = scan.Results;
  scan.Results.clear();
  Update_RUNList();
  Update_POPUP_RUNList();
}

namespace {

void FillRunMenu(TEditorMainForm &f, QMenu *menu, const std::vector<std::string> &tools) {
  // The placeholder (the entry without a caption) gives way to the first
  // real entry.
  if (!tools.empty() && !menu->actions().isEmpty()) {
    QAction *first = menu->actions().first();
    if (first->text().isEmpty() && first->data().isNull())
      delete first;
  }
  for (const std::string &path : tools) {
    const size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    auto *entry = new QAction(MenuText(name), menu);
    entry->setObjectName(QStringLiteral("RunEntry"));
    entry->setData(QByteArray::fromStdString(path));
    QObject::connect(entry, &QAction::triggered, &f,
                     Guarded([&f, entry] { f.RunExternalTool(entry); }));
    menu->addAction(entry);
  }
}

} // namespace

void TEditorMainForm::Update_RUNList() {
  FillRunMenu(*this, Run_Program_Option, ToolList);
}

void TEditorMainForm::Update_POPUP_RUNList() {
  FillRunMenu(*this, PopUp_Menu_RUNLIST, ToolList);
}

void TEditorMainForm::RunExternalTool(QObject *Sender) {
  auto *entry = qobject_cast<QAction *>(Sender);
  // The result file belongs to the tool still running, if any.
  if (!entry || entry->text().isEmpty() || LauncherBusy())
    return;
  // Each entry runs the file it was found as, in a subfolder too.
  const std::string path = entry->data().toByteArray().toStdString();
  struct stat st {};
  if (IsRegularFile(path, st))
    ExecuteAndWait(path, TCommandArgs{});
  InsertToolResult();
}

// The text a tool left in the result file replaces the selection, and the
// file is emptied. A file that cannot go in (too large, no document, a
// read-only document, unreadable) stays as it is, so nothing is lost.
void TEditorMainForm::InsertToolResult() {
  const std::string path = ResultFilePath();
  struct stat st {};
  if (!IsRegularFile(path, st))
    return;
  if (st.st_size > MaxResultFileSize) {
    std::string text = "\"";
    text += path;
    text += "\" is too large to insert (";
    text += std::to_string(st.st_size);
    text += " bytes); it is left as it is.";
    MessageDlg(text, TMsgDlgType::mtWarning, mbOK);
    return;
  }
  if (!CurrentFile || OpenFilesTab->count() == 0 || SyntaxMemo1->ReadOnly())
    return;
  const std::string text = ReadWholeFile(path);
  SyntaxMemo1->ReplaceSel(text);
  WriteFileAtomic(path, std::string());
}

// ---- other tools ----------------------------------------------------------------

void TEditorMainForm::SerialTerminalClick(QObject *) {
  RunProgram(IncFolder + TerminalProgram, TCommandArgs{});
}

// The desktop's calculator: the first of the usual ones found on PATH.
void TEditorMainForm::CalculatorClick(QObject *) {
  static const char *const calculators[] = {"gnome-calculator", "kcalc", "galculator", "mate-calc",
                                            "xcalc"};
  const QByteArray searchPath = qgetenv("PATH");
  for (const char *name : calculators) {
    const std::string found = FindInSearchPath(name, searchPath.toStdString());
    if (!found.empty()) {
      RunProgram(found, TCommandArgs{});
      return;
    }
  }
  throw EProblemRunning(std::string("Problem Running ") + calculators[4]);
}

void TEditorMainForm::ASCIITableClick(QObject *) {
  TASCII &table = Companion(ASCII, this);
  table.show();
  table.raise();
}

// The help file opens with the desktop's default program for it.
void TEditorMainForm::Help1Click(QObject *) {
  RunProgram(IncFolder + HelpDocument, TCommandArgs{});
}
