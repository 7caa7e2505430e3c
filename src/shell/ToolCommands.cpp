// The main window's programmer, bootloader, Run menu and tool commands.
#include "EditorMainForm.h"

#include "AsciiForm.h"
#include "BootloaderParametersDialog.h"
#include "CommandGuard.h"
#include "EpicPathDialog.h"
#include "FileScan.h"
#include "FindMeloaderDialog.h"
#include "IniFile.h"
#include "ProcessPaths.h"
#include "ProgPathDialog.h"
#include "Prompter.h"
#include "Streams.h"
#include "SyntaxMemo.h"

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

// Starts a tool and waits for it to end.
void RunToolAndWait(const std::string &path) {
  (void)path;
}

} // namespace

// ---- programmer ---------------------------------------------------------------

void TEditorMainForm::EpicProgClick(QObject *) {
  CheckOnly(EpicProg, {EpicProg, ExtProg});
  TIniFile(SettingsFilePath()).WriteString("PROGRAMMER", "TYPE", "EPIC");
}

void TEditorMainForm::ExtProgClick(QObject *) {
  CheckOnly(ExtProg, {EpicProg, ExtProg});
  TIniFile(SettingsFilePath()).WriteString("PROGRAMMER", "TYPE", "OTHER");
}

void TEditorMainForm::ProgrammerPathClick(QObject *) {
  Companion(ProgPath, this).exec();
  ExtProg->setText(MenuText(ExtProgrammerName.empty() ? "Undefined" : ExtProgrammerName));
}

void TEditorMainForm::EPIC_DirectoryClick(QObject *) {
  Companion(EPICPath, this).exec();
}

void TEditorMainForm::ProgramButtonClick(QObject *) {}

// ---- bootloader ---------------------------------------------------------------

namespace {

void ChooseBootloader(TEditorMainForm &f, QAction *chosen, const char *type) {
  CheckOnly(chosen,
            {f.Standard_Bootloader_Option, f.MELoader_Option, f.External_Bootloader_Option});
  // The infrared item counts only while its loader is there.
  if (f.KORVEX_IR_Option->isEnabled())
    f.KORVEX_IR_Option->setChecked(f.KORVEX_IR_Option == chosen);
  TIniFile(SettingsFilePath()).WriteString("BOOTLOADER", "TYPE", type);
}

} // namespace

void TEditorMainForm::Standard_Bootloader_OptionClick(QObject *) {
  ChooseBootloader(*this, Standard_Bootloader_Option, "STANDARD");
}

void TEditorMainForm::MELoader_OptionClick(QObject *) {
  ChooseBootloader(*this, MELoader_Option, "MELOADER");
}

void TEditorMainForm::KORVEX_IR_OptionClick(QObject *) {
  ChooseBootloader(*this, KORVEX_IR_Option, "KORVEX_IR");
}

void TEditorMainForm::External_Bootloader_OptionClick(QObject *) {
  ChooseBootloader(*this, External_Bootloader_Option, "OTHER");
}

void TEditorMainForm::BootloaderPathClick(QObject *) {
  Companion(Bootloader_Parameters, this).exec();
  External_Bootloader_Option->setText(
      MenuText(ExtBootloaderName.empty() ? "Undefined" : ExtBootloaderName));
}

void TEditorMainForm::MELoaderPathClick(QObject *) {
  Companion(Find_MELOADER, this).exec();
}

void TEditorMainForm::DownloadButtonClick(QObject *) {}

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
  if (!entry || entry->text().isEmpty())
    return;
  // Each entry runs the file it was found as, in a subfolder too.
  const std::string path = entry->data().toByteArray().toStdString();
  struct stat st {};
  if (IsRegularFile(path, st))
    RunToolAndWait(path);
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

void TEditorMainForm::SerialTerminalClick(QObject *) {}
void TEditorMainForm::CalculatorClick(QObject *) {}

void TEditorMainForm::ASCIITableClick(QObject *) {
  TASCII &table = Companion(ASCII, this);
  table.show();
  table.raise();
}

void TEditorMainForm::Help1Click(QObject *) {}
