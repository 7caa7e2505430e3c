// TEditorMainForm: the status bar, the command states and the caption follow
// the editor and the settings file on every change; information texts show in
// the last panel for two seconds.
#include "EditorMainForm.h"

#include "AsmListForm.h"
#include "BootloaderParametersDialog.h"
#include "DataListForm.h"
#include "EdPersistent.h"
#include "FileObject.h"
#include "HexListForm.h"
#include "IniFile.h"
#include "KeyMap.h"
#include "Launcher.h"
#include "ProcessPaths.h"
#include "ProgPathDialog.h"
#include "ReportForm.h"
#include "StatusBar.h"
#include "Streams.h"
#include "SyntaxMemo.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QTimer>

#include <sys/stat.h>

namespace {

struct TToolSettings {
  std::string ProgrammerName = "Undefined";
  std::string BootloaderName = "Undefined";
  std::string ProgrammerType = "EPIC";
  std::string BootloaderType = "STANDARD";
};

// One open of the settings file for the four values the menus show; nothing
// is kept, so a change any tool dialog makes shows at the next edit.
TToolSettings ReadToolSettings() {
  TToolSettings t;
  const std::string path = SettingsFilePath();
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > TIniFile::MaxFileSize)
    return t;
  std::string bytes;
  try {
    bytes = ReadWholeFile(path);
  } catch (const EKorvexError &) {
    return t;
  }
  std::vector<std::string> v{t.ProgrammerName, t.BootloaderName, t.ProgrammerType,
                             t.BootloaderType};
  TIniFile::FindValues(bytes,
                       {{"EXT_PROG", "NAME"},
                        {"EXT_BOOTLOADER", "NAME"},
                        {"PROGRAMMER", "TYPE"},
                        {"BOOTLOADER", "TYPE"}},
                       v);
  t.ProgrammerName = v[0];
  t.BootloaderName = v[1];
  t.ProgrammerType = v[2];
  t.BootloaderType = v[3];
  return t;
}

QString MenuCaption(const std::string &name) {
  QString s = QString::fromLocal8Bit(name);
  s.replace(QLatin1Char('&'), QStringLiteral("&&"));
  return s;
}

void SetChecked(QAction *a, bool on) {
  if (a->isChecked() != on)
    a->setChecked(on);
}

void SetEnabled(QAction *a, bool on) {
  if (a->isEnabled() != on)
    a->setEnabled(on);
}

void SetVisible(QAction *a, bool on) {
  if (a->isVisible() != on)
    a->setVisible(on);
}

} // namespace

void TEditorMainForm::SyntaxMemo1Change(QObject *) {
  const TToolSettings tools = ReadToolSettings();
  ExtProgrammerName = tools.ProgrammerName;
  ExtBootloaderName = tools.BootloaderName;

  const QString programmer = MenuCaption(tools.ProgrammerName);
  if (ExtProg->text() != programmer)
    ExtProg->setText(programmer);
  if (tools.ProgrammerType == "EPIC") {
    SetChecked(EpicProg, true);
    SetChecked(ExtProg, false);
  } else if (tools.ProgrammerType == "OTHER") {
    SetChecked(EpicProg, false);
    SetChecked(ExtProg, true);
  }

  const QString bootloader = MenuCaption(tools.BootloaderName);
  if (External_Bootloader_Option->text() != bootloader)
    External_Bootloader_Option->setText(bootloader);
  QAction *chosen = nullptr;
  if (tools.BootloaderType == "STANDARD")
    chosen = Standard_Bootloader_Option;
  else if (tools.BootloaderType == "KORVEX_IR")
    chosen = KORVEX_IR_Option;
  else if (tools.BootloaderType == "MELOADER")
    chosen = MELoader_Option;
  else if (tools.BootloaderType == "OTHER")
    chosen = External_Bootloader_Option;
  if (chosen) {
    for (QAction *a : {Standard_Bootloader_Option, MELoader_Option, External_Bootloader_Option})
      SetChecked(a, a == chosen);
    // The infrared item only counts while its loader exists.
    if (KORVEX_IR_Option->isEnabled())
      SetChecked(KORVEX_IR_Option, KORVEX_IR_Option == chosen);
  }

  const bool haveTabs = OpenFilesTab->count() > 0;
  if (EditAreaPanel->isHidden() == haveTabs)
    EditAreaPanel->setVisible(haveTabs);
  for (QAction *a : {SaveButton,
                     CutButton,
                     CopyButton,
                     PasteButton,
                     UndoButton,
                     RedoButton,
                     PrintButton,
                     PreviewButton,
                     IndentButton,
                     UndentButton,
                     Save1,
                     SaveAs1,
                     Close1,
                     CloseAll1,
                     PrintSetup1,
                     PrintPreview1,
                     Print1,
                     FileSeparator1,
                     FileSeparator2,
                     Edit1->menuAction(),
                     Search1->menuAction(),
                     Options1->menuAction(),
                     View1->menuAction(),
                     CompileButton,
                     ProgramButton,
                     DownloadButton,
                     ASMButton})
    SetVisible(a, haveTabs);
  // The hidden menus also leave the bar: a hidden menu's Alt key still
  // reaches it, and the bar then takes the keyboard without showing it, so
  // that an arrow key opens File and Return chooses Exit.
  QMenuBar *bar = menuBar();
  const QList<QAction *> onBar = bar->actions();
  if (onBar.contains(Edit1->menuAction()) != haveTabs)
    for (QMenu *m : {Edit1, Search1, Options1, View1}) {
      if (haveTabs)
        bar->insertAction(Help2->menuAction(), m->menuAction());
      else
        bar->removeAction(m->menuAction());
    }

  if (!haveTabs) {
    for (QWidget *w : std::initializer_list<QWidget *>{ASMList, HEXList, DATAList, Report})
      if (w && w->isVisible())
        w->hide();
    for (QAction *a : {ASMData1, ProgramData1, EepromData1, ShowReport})
      SetChecked(a, false);
    if (windowTitle() != QStringLiteral("KORVEX Compiler"))
      setWindowTitle(QStringLiteral("KORVEX Compiler"));
    // Nothing is open: no caret, no modified mark, no mode, no compile result.
    for (int i = 0; i < 6; ++i)
      StatusBar1->SetPanelText(i, QString());
    if (FInfoTimer->isActive())
      savedInfoText_.clear();
    return;
  }

  SetEnabled(SaveButton, true);
  SetEnabled(Save1, true);
  SetEnabled(SaveAs1, true);
  // While a waited-for tool runs, no other is started.
  const bool idle = !LauncherBusy();
  for (QAction *a :
       {CompileButton, Compile1, PopupCompile, Download1, DownloadButton, PopupDownload})
    SetEnabled(a, idle);
  // Run entries wait for their tool too; the submenus exist once tools were
  // found at start-up.
  for (QAction *a : {Run_Program_Option->menuAction(), PopUp_Menu_RUNLIST->menuAction()})
    if (a->isVisible())
      SetEnabled(a, idle);
  SetEnabled(ProgramButton, Program1->isEnabled());
  SetEnabled(Searchagain1, EdPersistent && !EdPersistent->LastSearchText.empty());

  const int64_t line = SyntaxMemo1->LineFromPos(SyntaxMemo1->Caret()) + 1;
  const int column = SyntaxMemo1->CaretColumn() + 1;
  StatusBar1->SetPanelText(0, QString::asprintf("%6lld:%4d", static_cast<long long>(line), column));
  const bool modified = !CurrentFile || CurrentFile->IsModifiedShown(SyntaxMemo1);
  StatusBar1->SetPanelText(1, modified ? QStringLiteral("Modified") : QString());
  MarkTabModified(OpenFilesTab->currentIndex(), modified);

  const bool selection = SyntaxMemo1->SelAvail();
  SetEnabled(UndoButton, SyntaxMemo1->Modified());
  SetEnabled(RedoButton, SyntaxMemo1->Perform(SM_CANREDO, 0, 0) != 0);
  SetEnabled(PasteButton, SyntaxMemo1->Perform(EM_CANPASTE, 0, 0) != 0);
  SetEnabled(CutButton, selection);
  SetEnabled(CopyButton, selection);
  SetEnabled(IndentButton, selection);
  SetEnabled(UndentButton, selection);

  QString mode = SyntaxMemo1->ReadOnly()     ? QStringLiteral(" Read only")
                 : SyntaxMemo1->InsertMode() ? QStringLiteral(" Insert")
                                             : QStringLiteral(" Overwrite");
  // A two-key sequence waiting for its second key says so until it comes.
  const uint16_t first = SyntaxMemo1->PendingKey();
  if (first) {
    mode = QStringLiteral(" ") + QString::fromStdString(ShortcutToText(first)) +
           QStringLiteral(" ...");
    if (FInfoTimer->isActive()) // the key the user is typing matters more than a hint
      FInfoTimer->stop();
  }
  // An information text keeps the panel for its two seconds; the mode shows
  // when it ends.
  if (FInfoTimer->isActive())
    savedInfoText_ = mode;
  else
    StatusBar1->SetPanelText(5, mode);

  if (CurrentFile) {
    const QString caption = QFile::decodeName(QByteArray::fromStdString(CurrentFile->FileName));
    if (windowTitle() != caption)
      setWindowTitle(caption);
  }
}

void TEditorMainForm::ShowInfo(const QString &text) {
  if (FInfoTimer->isActive())
    FInfoTimer->stop();
  else
    savedInfoText_ = StatusBar1->PanelText(5);
  StatusBar1->SetPanelText(5, QStringLiteral("  ") + text);
  FInfoTimer->start();
  repaint();
}

void TEditorMainForm::FInfoTimerTimer(QObject *) {
  StatusBar1->SetPanelText(5, savedInfoText_);
  FInfoTimer->stop();
  SyntaxMemo1Change(this);
}
