// The main window skeleton in process: menu tree, toolbar, status bar, the
// form events, hint routing, every window created once, and commands that
// fail without Qt ever seeing the exception.
#include "AboutForm.h"
#include "ApplicationWindows.h"
#include "AsciiForm.h"
#include "AsmListForm.h"
#include "BootloaderParametersDialog.h"
#include "CommandGuard.h"
#include "DataListForm.h"
#include "EditorMainForm.h"
#include "EpicPathDialog.h"
#include "FindDialog.h"
#include "FindMeloaderDialog.h"
#include "GotoLineDialog.h"
#include "HexListForm.h"
#include "KorvexError.h"
#include "PleaseWaitForm.h"
#include "ProcessPaths.h"
#include "ProgPathDialog.h"
#include "Prompter.h"
#include "ReplaceDialog.h"
#include "ReportForm.h"
#include "StatusBar.h"

#include "ShellTestApp.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStatusTipEvent>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>

namespace {

QApplication &App() {
  return ShellTestApp();
}

struct Recorder {
  TRecordingPrompter *rec;
  std::unique_ptr<TPrompter> previous;
  Recorder() {
    auto r = std::make_unique<TRecordingPrompter>();
    rec = r.get();
    previous = SetPrompter(std::move(r));
  }
  ~Recorder() { SetPrompter(std::move(previous)); }
};

// The visible, non-separator items of a menu as "caption|shortcut".
QStringList Items(const QMenu *menu) {
  QStringList out;
  for (const QAction *a : menu->actions())
    if (!a->isSeparator() && a->isVisible())
      out << a->text() + QLatin1Char('|') + a->shortcut().toString();
  return out;
}

class MainForm : public ::testing::Test {
protected:
  void SetUp() override {
    App();
    form = std::make_unique<TEditorMainForm>();
  }
  void ShowAndActivate() {
    form->show();
    QApplication::processEvents();
    QApplication::processEvents();
  }
  std::unique_ptr<TEditorMainForm> form;
};

TEST_F(MainForm, MainMenuTreeCaptionsAndShortcuts) {
  QStringList top;
  for (const QAction *a : form->menuBar()->actions())
    top << a->text();
  EXPECT_EQ(top, (QStringList{"&File", "&Edit", "&Search", "&Options", "&View", "&Help"}));
  EXPECT_EQ(Items(form->File1),
            (QStringList{"&New|", "&Open...|Ctrl+O", "Re-open...|", "&Save|Ctrl+S",
                         "Save &As...|Ctrl+Alt+S", "&Close|", "Close Al&l|", "Print Se&tup...|",
                         "Print Preview...|", "&Print|", "E&xit|"}));
  EXPECT_EQ(Items(form->Edit1),
            (QStringList{"&Undo|", "&Redo|", "Cu&t|", "&Copy|", "&Paste|", "&Delete|",
                         "Select &All|Ctrl+A", "Upper|Ctrl+F5", "Lower|Shift+F5", "Capitalise|F5",
                         "&Font...|", "&Line number font...|", "&Properties...|"}));
  EXPECT_EQ(Items(form->Search1),
            (QStringList{"&Find...|Ctrl+F", "&Replace...|Ctrl+R", "&Search Again|F3", "Show &all|",
                         "&Goto line number|Alt+G"}));
  EXPECT_EQ(Items(form->Options1),
            (QStringList{"Compile|F9", "Choose Programmer...|", "Programmer Path...|",
                         "EPIC Path...|", "Program|F10", "Choose Bootloader|",
                         "Bootloader Path...|", "MELOADER Path...|", "Download|F11"}));
  EXPECT_EQ(Items(form->ChooseProgrammer1), (QStringList{"Epic|", "Undefined|"}));
  // "KORVEX IR" is there but hidden until its loader is found.
  EXPECT_EQ(Items(form->ChooseBootloader1),
            (QStringList{"Standard|", "MELoader|", "Unspecified|"}));
  EXPECT_FALSE(form->KORVEX_IR_Option->isVisible());
  EXPECT_FALSE(form->KORVEX_IR_Option->isEnabled());
  EXPECT_EQ(form->KORVEX_IR_Option->text(), "KORVEX IR");
  EXPECT_TRUE(form->EpicProg->isChecked());
  EXPECT_FALSE(form->ExtProg->isChecked());
  EXPECT_TRUE(form->Standard_Bootloader_Option->isChecked());
  EXPECT_EQ(Items(form->View1),
            (QStringList{"REPORT Window|F1", "ASSEMBLER Data|F2", "PROGRAM Data|F4",
                         "EEPROM Data|F6", "Serial Terminal|", "Calculator|", "ASCII Table|"}));
  for (QAction *a : {form->ShowReport, form->ASMData1, form->ProgramData1, form->EepromData1})
    EXPECT_TRUE(a->isCheckable());
  EXPECT_EQ(Items(form->Help2), (QStringList{"Help|", "&About...|"}));
}

TEST_F(MainForm, RunMenusAreHiddenWithOneEmptyPlaceholder) {
  EXPECT_FALSE(form->Run_Separator->isVisible());
  EXPECT_FALSE(form->Run_Program_Option->menuAction()->isVisible());
  EXPECT_FALSE(form->Run_Program_Option->menuAction()->isEnabled());
  EXPECT_FALSE(form->PopUp_Menu_RUNLIST->menuAction()->isVisible());
  EXPECT_FALSE(form->PopUp_Run_Separator->isVisible());
  for (const QMenu *m : {form->Run_Program_Option, form->PopUp_Menu_RUNLIST}) {
    ASSERT_EQ(m->actions().size(), 1);
    EXPECT_TRUE(m->actions()[0]->text().isEmpty());
  }
  EXPECT_EQ(form->Run_Program_Option->menuAction()->text(), "Run");
  EXPECT_EQ(form->PopUp_Menu_RUNLIST->menuAction()->text(), "Run");
}

TEST_F(MainForm, PopupMenus) {
  EXPECT_EQ(Items(form->PopupMenu1),
            (QStringList{"Cut|", "Copy|", "Paste|", "Delete|", "Select all|", "Toggle bookmark|",
                         "Goto bookmark|", "Compile|", "Program PIC|", "Download Program|",
                         "Close page|Ctrl+F4"}));
  QStringList bookmarks;
  for (int i = 0; i <= 9; ++i)
    bookmarks << QStringLiteral("Bookmark &%1|").arg(i);
  EXPECT_EQ(Items(form->ToggleBookmark1), bookmarks);
  EXPECT_EQ(Items(form->GotoBookmark1), bookmarks);
  EXPECT_EQ(Items(form->TabPopupMenu), (QStringList{"Close page|Ctrl+F4", "Re-Open File|"}));
}

TEST_F(MainForm, HintsOfTheItemsAndButtons) {
  const std::pair<QAction *, const char *> hints[] = {
      {form->Compile1, "Compile the BASIC Program"},
      {form->CompileButton, "Compile the BASIC Program"},
      {form->ChooseProgrammer1->menuAction(), "Choose the type of programmer"},
      {form->EpicProg, "EPIC Programmer"},
      {form->ExtProg, "Programmer of choice"},
      {form->ProgrammerPath, "Choose an External Programmer"},
      {form->EPIC_Directory, "Locate EPIC Directory"},
      {form->Program1, "Program the PIC using a conventional programmer"},
      {form->ProgramButton, "Program PIC device"},
      {form->ChooseBootloader1->menuAction(), "CHosse the type of bootloader to use"},
      {form->BootloaderPath, "Choose and Locate an External Bootloader"},
      {form->MELoaderPath, "Locate MeLoader Directory"},
      {form->Download1, "Program the PIC via the Downloader"},
      {form->DownloadButton, "Download the HEX file Serially"},
      {form->ASMButton, "Display compiled code"},
      {form->Help1, "Load the compiler's help file"},
  };
  for (const auto &[action, hint] : hints)
    EXPECT_EQ(action->statusTip(), QString::fromUtf8(hint)) << action->objectName().toStdString();
  for (QAction *b :
       {form->CompileButton, form->ProgramButton, form->DownloadButton, form->ASMButton})
    EXPECT_EQ(b->toolTip(), b->statusTip());
}

TEST_F(MainForm, ToolbarButtons) {
  QStringList names;
  for (const QAction *a : form->ToolBar1->actions())
    if (!a->isSeparator())
      names << a->objectName();
  EXPECT_EQ(names, (QStringList{"NewButton", "OpenButton", "SaveButton", "PrintButton",
                                "PreviewButton", "CutButton", "CopyButton", "PasteButton",
                                "UndoButton", "RedoButton", "IndentButton", "UndentButton",
                                "CompileButton", "ProgramButton", "DownloadButton", "ASMButton"}));
  for (const QAction *a : form->ToolBar1->actions()) {
    if (!a->isSeparator()) {
      EXPECT_FALSE(a->toolTip().isEmpty()) << a->objectName().toStdString();
    }
  }
}

TEST_F(MainForm, StatusBarHasSixPanels) {
  TStatusBar *bar = form->StatusBar1;
  ASSERT_EQ(form->statusBar(), bar);
  EXPECT_EQ(bar->objectName(), "StatusBar1");
  EXPECT_FALSE(bar->isSizeGripEnabled());
  const int widths[] = {89, 96, 100, 90, 60, 50};
  for (int i = 0; i < TStatusBar::PanelCount; ++i) {
    QLabel *p = bar->Panel(i);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(TStatusBar::PanelWidth(i), widths[i]);
    if (i < 5) {
      EXPECT_EQ(p->minimumWidth(), widths[i]);
      EXPECT_EQ(p->maximumWidth(), widths[i]);
      EXPECT_EQ(p->alignment(), Qt::AlignCenter);
    } else {
      EXPECT_GE(p->minimumWidth(), widths[i]);
      EXPECT_EQ(p->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
    }
    EXPECT_EQ(p->font().family(), "Tahoma");
    EXPECT_TRUE(p->font().bold());
    EXPECT_EQ(p->font().pointSize(), 8);
  }
  bar->SetPanelText(2, QStringLiteral("DEVICE 16F84"));
  EXPECT_EQ(bar->PanelText(2), "DEVICE 16F84");
  bar->SetPanelText(9, QStringLiteral("ignored"));
  EXPECT_EQ(bar->PanelText(9), "");
}

TEST_F(MainForm, CreationFixesTheProcessValues) {
  EXPECT_EQ(form->windowTitle(), "KORVEX");
  EXPECT_EQ(ExeFolder, ExecutableFolder());
  EXPECT_EQ(IncFolder, ExeFolder + "KX_INC/");
  EXPECT_EQ(DeviceName, "16F84");
  EXPECT_FALSE(form->DroppedFile);
  // The first document exists until the window is first shown.
  EXPECT_EQ(form->OpenFilesTab->count(), 1);
  EXPECT_EQ(form->OpenFilesTab->tabText(0), "No_name.bas");
  // The recent-file menu reads as empty.
  ASSERT_EQ(form->Reopen1->actions().size(), 1);
  EXPECT_EQ(form->Reopen1->actions()[0]->text(), "<No entries>");
  EXPECT_FALSE(form->Reopen1->actions()[0]->isEnabled());
}

TEST_F(MainForm, ShowingLeavesExactlyOneUntitledDocumentAndActivatesOnce) {
  QSignalSpy activated(form.get(), &TEditorMainForm::FirstActivated);
  ShowAndActivate();
  EXPECT_EQ(activated.count(), 1);
  EXPECT_EQ(form->OpenFilesTab->count(), 1);
  EXPECT_EQ(form->OpenFilesTab->tabText(0), "No_name.bas");
  EXPECT_EQ(form->windowTitle(), "No_name.bas");
  EXPECT_TRUE(form->EditAreaPanel->isVisible());
  // Later activations do not run the first-activation steps again.
  form->hide();
  form->show();
  QApplication::processEvents();
  form->activateWindow();
  QApplication::processEvents();
  EXPECT_EQ(activated.count(), 1);
  EXPECT_EQ(form->OpenFilesTab->count(), 1);
}

TEST_F(MainForm, ClosingTheLastDocumentHidesTheEditArea) {
  ShowAndActivate();
  form->NewButtonClick(nullptr);
  EXPECT_EQ(form->OpenFilesTab->count(), 2);
  form->CloseAll1Click(nullptr);
  EXPECT_EQ(form->OpenFilesTab->count(), 0);
  EXPECT_FALSE(form->EditAreaPanel->isVisible());
  EXPECT_EQ(form->windowTitle(), "KORVEX Compiler");
}

TEST_F(MainForm, HintsGoToTheInformationPanelForTwoSeconds) {
  // Before the first show hints are not routed.
  QStatusTipEvent early(QStringLiteral("too early"));
  QApplication::sendEvent(form.get(), &early);
  EXPECT_EQ(form->StatusBar1->PanelText(5), "");
  ShowAndActivate();
  form->StatusBar1->SetPanelText(5, QStringLiteral(" Insert"));
  QStatusTipEvent tip(QStringLiteral("Locate EPIC Directory"));
  QApplication::sendEvent(form.get(), &tip);
  EXPECT_EQ(form->StatusBar1->PanelText(5), "  Locate EPIC Directory");
  EXPECT_TRUE(form->FInfoTimer->isActive());
  EXPECT_EQ(form->FInfoTimer->interval(), 2000);
  // A second hint within the two seconds keeps the saved text.
  QStatusTipEvent tip2(QStringLiteral("EPIC Programmer"));
  QApplication::sendEvent(form.get(), &tip2);
  EXPECT_EQ(form->StatusBar1->PanelText(5), "  EPIC Programmer");
  // Leaving an item sends an empty tip, which changes nothing; the panels
  // stay in place.
  QStatusTipEvent leave{QString()};
  QApplication::sendEvent(form.get(), &leave);
  EXPECT_EQ(form->StatusBar1->PanelText(5), "  EPIC Programmer");
  EXPECT_TRUE(form->StatusBar1->Panel(0)->isVisible());
  form->FInfoTimerTimer(form->FInfoTimer);
  EXPECT_EQ(form->StatusBar1->PanelText(5), " Insert");
  EXPECT_FALSE(form->FInfoTimer->isActive());
}

TEST_F(MainForm, InfraredLoaderItemAppearsWhenItsLoaderExists) {
  const QString inc = QString::fromStdString(ExecutableFolder()) + QStringLiteral("KX_INC");
  const bool made = QDir().mkpath(inc);
  const QString loader = inc + QStringLiteral("/korvir_boot.exe");
  {
    QFile f(loader);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  ShowAndActivate();
  QFile::remove(loader);
  if (made)
    QDir(inc).removeRecursively();
  EXPECT_TRUE(form->KORVEX_IR_Option->isVisible());
  EXPECT_TRUE(form->KORVEX_IR_Option->isEnabled());
}

TEST_F(MainForm, CommandsThatFailShowTheirMessageAndTheEventLoopGoesOn) {
  Recorder r;
  auto *action = new QAction(QStringLiteral("Failing"), form.get());
  QObject::connect(action, &QAction::triggered, form.get(),
                   Guarded([] { throw EKorvexError("Problem Running "); }));
  action->trigger();
  action->trigger();
  ASSERT_EQ(r.rec->Records.size(), 2u);
  EXPECT_EQ(r.rec->Records[0].Text, "Problem Running ");
  EXPECT_EQ(r.rec->Records[0].Type, "Error");
}

TEST_F(MainForm, AnExceptionFromAnyEventHandlerIsShownNotPropagated) {
  Recorder r;
  struct Throwing : QObject {
    int seen = 0;
    bool event(QEvent *e) override {
      if (e->type() == QEvent::User) {
        ++seen;
        throw EKorvexError("Canvas is not available before BeginDoc");
      }
      return QObject::event(e);
    }
  } target;
  QEvent ev(QEvent::User);
  EXPECT_FALSE(QApplication::sendEvent(&target, &ev));
  QApplication::postEvent(&target, new QEvent(QEvent::User));
  QApplication::processEvents();
  EXPECT_EQ(target.seen, 2);
  ASSERT_EQ(r.rec->Records.size(), 2u);
  EXPECT_EQ(r.rec->Records[1].Text, "Canvas is not available before BeginDoc");
  EXPECT_EQ(r.rec->Records[1].Caption, "KORVEX Editor");
}

TEST_F(MainForm, ExitClosesTheWindow) {
  ShowAndActivate();
  form->Exit1->trigger();
  QApplication::processEvents();
  EXPECT_FALSE(form->isVisible());
}

TEST_F(MainForm, InstanceMessageRestoresAMinimisedWindow) {
  Recorder r;
  ShowAndActivate();
  form->showMinimized();
  QApplication::processEvents();
  ASSERT_TRUE(form->isMinimized());
  form->InstanceMessage();
  QApplication::processEvents();
  EXPECT_FALSE(form->isMinimized());
  std::vector<std::string> events;
  for (const auto &rec : r.rec->Records)
    events.push_back(rec.Text);
  EXPECT_EQ(events, (std::vector<std::string>{"instance-message minimised", "restored", "raised"}));
}

// The main window comes up alone; its companions are made once its first
// frame is on screen, or by the first command when that comes earlier, and
// either way they work as if made at start: each once, connected to their
// View items.
TEST(ApplicationWindows, CompanionsFollowTheFirstFrameOrTheFirstCommand) {
  App();
  Recorder r;
  for (const bool commandFirst : {false, true}) {
    CreateMainWindow();
    ASSERT_NE(EditorMainForm, nullptr);
    EXPECT_EQ(Report, nullptr);
    EXPECT_EQ(EdFindDlg, nullptr);
    if (commandFirst) {
      EditorMainForm->ShowReport->trigger();
      ASSERT_NE(Report, nullptr);
      EXPECT_TRUE(Report->isVisible());
      EXPECT_TRUE(EditorMainForm->ShowReport->isChecked());
    } else {
      QSignalSpy done(EditorMainForm, &TEditorMainForm::StartUpDone);
      EditorMainForm->show();
      ASSERT_TRUE(done.wait(10000));
    }
    EXPECT_TRUE(EditorMainForm->StartUpFinished());
    TReport *report = Report;
    for (QWidget *w : std::initializer_list<QWidget *>{
             EdFindDlg, EdReplDlg, GotoLineDialog, ASMList, ProgPath, HEXList, Report, EPICPath,
             DATAList, AboutForm, ASCII, Bootloader_Parameters, Find_MELOADER, Dummy_Virtual_Form})
      EXPECT_NE(w, nullptr);
    // Later commands and frames make nothing twice.
    EditorMainForm->FinishStartUp();
    CreateCompanionWindows();
    EXPECT_EQ(Report, report);
    // The report's closing unchecks its item: the connection was made once
    // the window existed.
    if (!Report->isVisible())
      EditorMainForm->ShowReport->trigger();
    ASSERT_TRUE(EditorMainForm->ShowReport->isChecked());
    Report->close();
    EXPECT_FALSE(EditorMainForm->ShowReport->isChecked()) << commandFirst;
    DestroyApplicationWindows();
    EXPECT_EQ(Report, nullptr);
  }
  // The editor's own find request (no menu item) before the first frame
  // gets the program's dialog too, not one of the window's own.
  CreateMainWindow();
  TEdFindDlg *find = EditorMainForm->FindDialog();
  EXPECT_NE(find, nullptr);
  EXPECT_EQ(find, EdFindDlg);
  EXPECT_EQ(EditorMainForm->GotoDialog(), GotoLineDialog);
  DestroyApplicationWindows();
}

TEST(ApplicationWindows, EveryWindowOnceWithItsCaption) {
  App();
  CreateApplicationWindows();
  ASSERT_NE(EditorMainForm, nullptr);
  const std::pair<QWidget *, const char *> windows[] = {
      {EdFindDlg, "Find text..."},
      {EdReplDlg, "Find and replace text..."},
      {GotoLineDialog, "Go to line number"},
      {ASMList, "ASSEMBLER Listing"},
      {ProgPath, "Programmer Directory Path"},
      {HEXList, "Program Data"},
      {Report, "Compiler Report"},
      {EPICPath, "Find EPIC Directory Path"},
      {DATAList, "Eeprom Data"},
      {ASCII, "ASCII Table"},
      {Bootloader_Parameters, "Bootloader Directory Path"},
      {Find_MELOADER, "Find MELOADER Directory Path"},
  };
  for (const auto &[w, caption] : windows) {
    ASSERT_NE(w, nullptr) << caption;
    EXPECT_EQ(w->windowTitle(), QString::fromUtf8(caption));
    EXPECT_FALSE(w->isVisible()) << caption;
  }
  ASSERT_NE(AboutForm, nullptr);
  ASSERT_NE(Dummy_Virtual_Form, nullptr);
  EXPECT_EQ(Dummy_Virtual_Form->size(), QSize(211, 96));
  EXPECT_TRUE(Dummy_Virtual_Form->windowFlags() & Qt::FramelessWindowHint);
  QStringList lines;
  for (const QLabel *l : Dummy_Virtual_Form->findChildren<QLabel *>())
    lines << l->text();
  EXPECT_EQ(lines, (QStringList{"Initiating Virtual Machine", "Please Wait"}));
  for (QWidget *w : {static_cast<QWidget *>(Report), static_cast<QWidget *>(ASMList),
                     static_cast<QWidget *>(HEXList), static_cast<QWidget *>(DATAList)})
    EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
  DestroyApplicationWindows();
  EXPECT_EQ(EditorMainForm, nullptr);
  EXPECT_EQ(Report, nullptr);
  EXPECT_EQ(Dummy_Virtual_Form, nullptr);
}

TEST(ApplicationWindows, ClosingTheMainWindowEndsTheProgramWhateverElseIsOpen) {
  // Companion windows left open (the table, the result windows, the search
  // dialogs, the compile notice) must not keep the program running once the
  // main window has gone. The application ends its loop only from inside
  // exec(), so the close runs there; the guard ends a loop that never would.
  App();
  CreateApplicationWindows();
  EditorMainForm->show();
  QApplication::processEvents();
  for (QWidget *w : std::initializer_list<QWidget *>{ASCII, Report, ASMList, HEXList, DATAList,
                                                     EdFindDlg, EdReplDlg, Dummy_Virtual_Form})
    w->show();
  QApplication::setQuitOnLastWindowClosed(true);
  QTimer::singleShot(0, EditorMainForm, [] { EditorMainForm->close(); });
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { QApplication::exit(1); });
  guard.start(20000);
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_FALSE(EditorMainForm->isVisible());
  DestroyApplicationWindows();
}

} // namespace
