// The main window's compile command, the compiler's results, and the result
// windows that follow the current file.
#include "EditorMainForm.h"

#include "AsmListForm.h"
#include "CommandGuard.h"
#include "CompilerResults.h"
#include "DataListForm.h"
#include "FileObject.h"
#include "HexListForm.h"
#include "Launcher.h"
#include "PleaseWaitForm.h"
#include "ProcessPaths.h"
#include "Prompter.h"
#include "ReportForm.h"
#include "ResultNames.h"
#include "StatusBar.h"
#include "Streams.h"
#include "SyntaxMemo.h"
#include "ToolLookup.h"

#include <QAction>
#include <QApplication>

namespace {

// A compile in progress (its questions, its save or its wait): another F9
// meanwhile does nothing.
bool compiling = false;

std::string NameOnly(const std::string &path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string UpperExtension(const std::string &path) {
  const std::string name = NameOnly(path);
  const auto dot = name.find_last_of('.');
  std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);
  for (char &c : ext)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return ext;
}

// Whether a View item was checked before this command: triggering a
// checkable item has already flipped its check mark.
bool WasChecked(QAction *item, QObject *sender) {
  return sender == item ? !item->isChecked() : item->isChecked();
}

} // namespace

void TEditorMainForm::ConnectResultWindows() {
  connect(&LauncherSignals(), &TLauncherSignals::BusyChanged, this,
          Guarded([this] { SyntaxMemo1Change(this); }));
  // The wait box stays above every window: the reason a compiler could not
  // be started would be read through it.
  connect(&LauncherSignals(), &TLauncherSignals::StartProblem, this, [] {
    if (Dummy_Virtual_Form)
      Dummy_Virtual_Form->hide();
  });
  const std::pair<TResultWindow *, QAction *> windows[] = {
      {Report, ShowReport}, {ASMList, ASMData1}, {HEXList, ProgramData1}, {DATAList, EepromData1}};
  for (auto [window, item] : windows)
    if (window)
      connect(window, &TResultWindow::Closed, this, [item = item] { item->setChecked(false); });
  if (ASMList)
    ASMList->SetScheme(FindScheme("PICASM"));
  ConnectListingSearch();
  // The result windows take the focus when shown; their keys (F1, F2, F4,
  // F6) and F9 work from any window of the program, so the key that showed a
  // window also hides it.
  for (QAction *a : {ShowReport, ASMData1, ProgramData1, EepromData1, Compile1})
    a->setShortcutContext(Qt::ApplicationShortcut);
}

// The keyboard goes back to the editor. An activation that is not needed
// would repaint the whole window.
void TEditorMainForm::FocusMainWindow() {
  if (!isActiveWindow())
    activateWindow();
  if (SyntaxMemo1 && !SyntaxMemo1->hasFocus())
    SyntaxMemo1->setFocus();
}

// ---- compile -------------------------------------------------------------

void TEditorMainForm::CompileButtonClick(QObject *) {
  if (!CurrentFile || compiling || LauncherBusy())
    return;
  compiling = true;
  struct TDone {
    ~TDone() { compiling = false; }
  } done;

  const std::string name = CurrentFile->FileName;
  if (UpperExtension(name) != ".BAS" &&
      MessageDlg("File \"" + NameOnly(name) +
                     "\" is not a BASIC program\r\nDo you still wish to compile the code?",
                 TMsgDlgType::mtConfirmation, mbYes | mbNo) != TModalResult::mrYes)
    return;
  if (CurrentFile->FileName != NoNameFileName) {
    // A document without unsaved changes is on disk as shown: saving it again
    // would only replace its backup (the text before the last change) by a
    // copy of itself. A save that failed (its reason already shown) would
    // compile the old text on disk as if it were the user's.
    const bool unchanged =
        !CurrentFile->IsModifiedShown(SyntaxMemo1) && FileExists(CurrentFile->FileName);
    if (!unchanged && !SaveCurrent())
      return;
  } else {
    if (MessageDlg("BASIC Program must be given a name other than NO_NAME.BAS\r\nBefore "
                   "compilation may commence.",
                   TMsgDlgType::mtConfirmation, mbOK | mbCancel) != TModalResult::mrOk)
      return;
    SaveAs1Click(this);
  }
  if (!CurrentFile || CurrentFile->FileName == NoNameFileName)
    return;

  const std::string source = CurrentFile->FileName;
  if (Dummy_Virtual_Form)
    Dummy_Virtual_Form->ShowCentred();
  QApplication::processEvents();
  ExecuteAndWait(ExeFolder + CompilerProgram, CompilerArguments(source));
  if (Dummy_Virtual_Form)
    Dummy_Virtual_Form->hide();
  // The box may have taken the activation: the main window has it back.
  FocusMainWindow();
  QApplication::processEvents();
  RefreshResultWindows();
}

// ---- results -------------------------------------------------------------

void TEditorMainForm::RefreshResultWindows() {
  if (!CurrentFile)
    return;
  const std::string document = CurrentFile->FileName;
  SetAsmFileName(document);
  if (ASMList && ASMList->isVisible())
    ASMList->LoadListing(AsmFileName);
  ReadCompilerResults();
  if (!CurrentFile)
    return;
  SetHexFileName(document);
  if (HEXList && HEXList->isVisible())
    HEXList->ShowHexFile(HexFileName);
  if (DATAList && DATAList->isVisible())
    DATAList->ShowHexFile(HexFileName);
}

void TEditorMainForm::ReadCompilerResults() {
  // Without a document the result file is a name that never exists.
  const std::string resultFile =
      CurrentFile ? DocumentResultFile(CurrentFile->FileName, ".PBE") : std::string(" ");
  DeviceName.clear();
  for (int panel : {2, 3, 4})
    StatusBar1->SetPanelText(panel, QString());
  const bool reportShown = Report && Report->isVisible();
  if (!FileExists(resultFile)) {
    if (reportShown)
      Report->ClearReport();
    return;
  }
  const TCompilerResults results = ReadCompilerResultFile(resultFile);
  if (results.Status == TCompileStatus::Failed && Report)
    Report->show();
  if (results.Status == TCompileStatus::Summary) {
    DeviceName = results.Device;
    const auto panel = [](const char *label, const std::string &value) {
      return QString::fromLatin1(label) + QString::fromLocal8Bit(value);
    };
    StatusBar1->SetPanelText(2, panel("DEVICE ", results.Device));
    StatusBar1->SetPanelText(3, panel("CODE ", results.CodeSize));
    StatusBar1->SetPanelText(4, panel("RAM ", results.RamUse));
    if (Report)
      Report->setVisible(ShowReport->isChecked());
  }
  if (Report && Report->isVisible())
    Report->SetReport(results.Report, results.ReportCut, results.FileSize);
  FocusMainWindow();
}

// ---- the View menu's result windows ---------------------------------------

void TEditorMainForm::ShowReportClick(QObject *Sender) {
  if (!Report)
    return;
  if (WasChecked(ShowReport, Sender)) {
    // Hiding reads no results: after a failed compile, reading them would
    // show the report again at once, and it could never be put away.
    ShowReport->setChecked(false);
    Report->hide();
  } else {
    ShowReport->setChecked(true);
    Report->show();
    ReadCompilerResults();
  }
  FocusMainWindow();
}

void TEditorMainForm::ASMButtonClick(QObject *Sender) {
  if (!ASMList)
    return;
  SetAsmFileName(CurrentFile ? CurrentFile->FileName : std::string());
  if (WasChecked(ASMData1, Sender)) {
    ASMData1->setChecked(false);
    ASMList->hide();
    return;
  }
  ASMData1->setChecked(true);
  ASMList->LoadListing(AsmFileName);
  ASMList->show();
}

void TEditorMainForm::ProgramDataClick(QObject *Sender) {
  ToggleDataWindow(HEXList, ProgramData1, Sender);
}

void TEditorMainForm::EepromDataClick(QObject *Sender) {
  ToggleDataWindow(DATAList, EepromData1, Sender);
}

void TEditorMainForm::ToggleDataWindow(TDataGridWindow *window, QAction *item, QObject *Sender) {
  if (!window)
    return;
  SetHexFileName(CurrentFile ? CurrentFile->FileName : std::string());
  if (WasChecked(item, Sender)) {
    item->setChecked(false);
    window->hide();
    return;
  }
  // A file that does not load leaves the window hidden: its item must not
  // say otherwise.
  item->setChecked(false);
  window->ShowHexFile(HexFileName);
  item->setChecked(true);
  window->show();
}
