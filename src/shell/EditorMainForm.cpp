// TEditorMainForm: building the window, the form events and the command
// handlers. Handlers of commands whose work lives in later layers are present
// and their menu items disabled until that work is connected.
#include "EditorMainForm.h"

#include "AboutForm.h"
#include "ApplicationWindows.h"
#include "CommandGuard.h"
#include "CommandLines.h"
#include "DocumentRecovery.h"
#include "EdPersistent.h"
#include "FileObject.h"
#include "KorvexError.h"
#include "Launcher.h"
#include "ParserRepository.h"
#include "PreviewPrinter.h"
#include "ProcessPaths.h"
#include "Prompter.h"
#include "QtRegistry.h"
#include "StatusBar.h"
#include "SvgIcon.h"
#include "ToolLookup.h"
#include "WindowPlacement.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QShowEvent>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTabBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

TEditorMainForm *EditorMainForm = nullptr;

namespace {

const QString NoNameFile = QStringLiteral("No_name.bas");
// The main window's place in "KORVEX.INI".
const char *const MainWindowSection = "MAIN_WINDOW";

// "NewButton" draws resources/icons/new.svg.
QString ButtonIconName(const char *buttonName) {
  QString n = QString::fromLatin1(buttonName);
  n.chop(6); // "Button"
  return n.toLower();
}

void Disable(std::initializer_list<QAction *> actions) {
  for (QAction *a : actions)
    a->setEnabled(false);
}

} // namespace

TEditorMainForm::TEditorMainForm(QWidget *parent, const std::function<void()> &beforeFonts)
    : QMainWindow(parent) {
  setObjectName(QStringLiteral("EditorMainForm"));
  setWindowTitle(QStringLiteral("KORVEX"));
  CreateMenus();
  CreateToolBar();
  CreateEditArea();
  // The editor measures its font as it is made: the first font the window
  // uses.
  if (beforeFonts)
    beforeFonts();
  CreateEditor();
  ConnectEditCommands();
  StatusBar1 = new TStatusBar(this);
  setStatusBar(StatusBar1);
  FInfoTimer = new QTimer(this);
  FInfoTimer->setObjectName(QStringLiteral("FInfoTimer"));
  FInfoTimer->setInterval(2000);
  connect(FInfoTimer, &QTimer::timeout, this, Guarded([this] { FInfoTimerTimer(FInfoTimer); }));
  Recovery = std::make_unique<TDocumentRecovery>(this);
  Recovery->Attach();
  // A tool that was waited for (the compiler, the assembler, a loader) may
  // have changed the open files.
  connect(&LauncherSignals(), &TLauncherSignals::BusyChanged, this, [this](bool busy) {
    if (!busy)
      QTimer::singleShot(0, this, Guarded([this] { CheckFilesOnDisk(); }));
  });
  RunCommand([this] { FormCreate(this); });
}

TEditorMainForm::~TEditorMainForm() {
  CloseSearchDialogs();
  RunCommand([this] { FormDestroy(this); });
  if (EditorMainForm == this)
    EditorMainForm = nullptr;
}

QAction *TEditorMainForm::AddCommand(QMenu *menu, const QString &caption, const char *name,
                                     void (TEditorMainForm::*handler)(QObject *),
                                     const QString &hint, const QKeySequence &shortcut) {
  auto *action = new QAction(caption, this);
  action->setObjectName(QLatin1String(name));
  if (!hint.isEmpty())
    action->setStatusTip(hint);
  if (!shortcut.isEmpty())
    action->setShortcut(shortcut);
  menu->addAction(action);
  connect(action, &QAction::triggered, this, Guarded([this, handler, action] {
            FinishStartUp();
            (this->*handler)(action);
          }));
  return action;
}

void TEditorMainForm::CreateMenus() {
  using T = TEditorMainForm;
  QMenuBar *bar = menuBar();

  File1 = bar->addMenu(QStringLiteral("&File"));
  File1->setObjectName(QStringLiteral("File1"));
  New1 = AddCommand(File1, QStringLiteral("&New"), "New1", &T::NewButtonClick,
                    QStringLiteral("Create a new file"));
  Open1 = AddCommand(File1, QStringLiteral("&Open..."), "Open1", &T::OpenButtonClick,
                     QStringLiteral("Open an existing file"), QKeySequence(Qt::CTRL | Qt::Key_O));
  Reopen1 = File1->addMenu(QStringLiteral("Re-open..."));
  Reopen1->setObjectName(QStringLiteral("Reopen1"));
  ReopenPlaceholder = AddCommand(Reopen1, QString(), "ReopenPlaceholder", &T::ReopenItemClick);
  ReopenPlaceholder->setVisible(false);
  ReopenPlaceholder->setEnabled(false);
  Save1 = AddCommand(File1, QStringLiteral("&Save"), "Save1", &T::SaveButtonClick,
                     QStringLiteral("Save the current file"), QKeySequence(Qt::CTRL | Qt::Key_S));
  SaveAs1 = AddCommand(File1, QStringLiteral("Save &As..."), "SaveAs1", &T::SaveAs1Click,
                       QStringLiteral("Save the current file under a new name"),
                       QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S));
  Close1 = AddCommand(File1, QStringLiteral("&Close"), "Close1", &T::Close1Click,
                      QStringLiteral("Close the current file"));
  CloseAll1 = AddCommand(File1, QStringLiteral("Close Al&l"), "CloseAll1", &T::CloseAll1Click,
                         QStringLiteral("Close every open file"));
  FileSeparator1 = File1->addSeparator();
  PrintSetup1 = AddCommand(File1, QStringLiteral("Print Se&tup..."), "PrintSetup1",
                           &T::PrintSetup1Click, QStringLiteral("Choose the printer and page"));
  PrintPreview1 = AddCommand(File1, QStringLiteral("Print Preview..."), "PrintPreview1",
                             &T::PrintPreview1Click, QStringLiteral("Preview the printed pages"));
  Print1 = AddCommand(File1, QStringLiteral("&Print"), "Print1", &T::PrintButtonClick,
                      QStringLiteral("Print the file"));
  FileSeparator2 = File1->addSeparator();
  Exit1 = AddCommand(File1, QStringLiteral("E&xit"), "Exit1", &T::Exit1Click,
                     QStringLiteral("Leave the editor"));

  Edit1 = bar->addMenu(QStringLiteral("&Edit"));
  Edit1->setObjectName(QStringLiteral("Edit1"));
  connect(Edit1, &QMenu::aboutToShow, this, Guarded([this] { Edit1Click(Edit1); }));
  Undo1 = AddCommand(Edit1, QStringLiteral("&Undo"), "Undo1", &T::UndoButtonClick,
                     QStringLiteral("Undo the last change"));
  Redo1 = AddCommand(Edit1, QStringLiteral("&Redo"), "Redo1", &T::RedoButtonClick,
                     QStringLiteral("Redo the last undone change"));
  Edit1->addSeparator();
  Cut1 = AddCommand(Edit1, QStringLiteral("Cu&t"), "Cut1", &T::CutButtonClick,
                    QStringLiteral("Cut the selection to the clipboard"));
  Copy1 = AddCommand(Edit1, QStringLiteral("&Copy"), "Copy1", &T::CopyButtonClick,
                     QStringLiteral("Copy the selection to the clipboard"));
  Paste1 = AddCommand(Edit1, QStringLiteral("&Paste"), "Paste1", &T::PasteButtonClick,
                      QStringLiteral("Paste the clipboard"));
  Delete1 = AddCommand(Edit1, QStringLiteral("&Delete"), "Delete1", &T::Delete1Click,
                       QStringLiteral("Delete the selection"));
  SelectAll1 =
      AddCommand(Edit1, QStringLiteral("Select &All"), "SelectAll1", &T::SelectAll1Click,
                 QStringLiteral("Select the whole text"), QKeySequence(Qt::CTRL | Qt::Key_A));
  Edit1->addSeparator();
  Upper1 =
      AddCommand(Edit1, QStringLiteral("Upper"), "Upper1", &T::Upper1Click,
                 QStringLiteral("Selection to upper case"), QKeySequence(Qt::CTRL | Qt::Key_F5));
  Lower1 =
      AddCommand(Edit1, QStringLiteral("Lower"), "Lower1", &T::Lower1Click,
                 QStringLiteral("Selection to lower case"), QKeySequence(Qt::SHIFT | Qt::Key_F5));
  Capitalise1 = AddCommand(Edit1, QStringLiteral("Capitalise"), "Capitalise1", &T::Capitalise1Click,
                           QStringLiteral("Selection to lower case with a capital first letter"),
                           QKeySequence(Qt::Key_F5));
  Edit1->addSeparator();
  Font1 = AddCommand(Edit1, QStringLiteral("&Font..."), "Font1", &T::Font1Click,
                     QStringLiteral("Choose the editor's font"));
  LineNumberFont1 =
      AddCommand(Edit1, QStringLiteral("&Line number font..."), "LineNumberFont1",
                 &T::LineNumberFont1Click, QStringLiteral("Choose the font of the line numbers"));
  Properties1 = AddCommand(Edit1, QStringLiteral("&Properties..."), "Properties1",
                           &T::Properties1Click, QStringLiteral("Editor properties"));

  Search1 = bar->addMenu(QStringLiteral("&Search"));
  Search1->setObjectName(QStringLiteral("Search1"));
  Find1 = AddCommand(Search1, QStringLiteral("&Find..."), "Find1", &T::Find1Click,
                     QStringLiteral("Find text"), QKeySequence(Qt::CTRL | Qt::Key_F));
  Replace1 =
      AddCommand(Search1, QStringLiteral("&Replace..."), "Replace1", &T::Replace1Click,
                 QStringLiteral("Find and replace text"), QKeySequence(Qt::CTRL | Qt::Key_R));
  Searchagain1 =
      AddCommand(Search1, QStringLiteral("&Search Again"), "Searchagain1", &T::Searchagain1Click,
                 QStringLiteral("Repeat the last search"), QKeySequence(Qt::Key_F3));
  Showall1 = AddCommand(Search1, QStringLiteral("Show &all"), "Showall1", &T::Showall1Click,
                        QStringLiteral("Highlight every match of the last search"));
  Search1->addSeparator();
  Gotolinenumber1 = AddCommand(Search1, QStringLiteral("&Goto line number"), "Gotolinenumber1",
                               &T::Gotolinenumber1Click, QStringLiteral("Go to a line number"),
                               QKeySequence(Qt::ALT | Qt::Key_G));

  Options1 = bar->addMenu(QStringLiteral("&Options"));
  Options1->setObjectName(QStringLiteral("Options1"));
  Compile1 = AddCommand(Options1, QStringLiteral("Compile"), "Compile1", &T::CompileButtonClick,
                        QStringLiteral("Compile the BASIC Program"), QKeySequence(Qt::Key_F9));
  Options1->addSeparator();
  ChooseProgrammer1 = Options1->addMenu(QStringLiteral("Choose Programmer..."));
  ChooseProgrammer1->setObjectName(QStringLiteral("ChooseProgrammer1"));
  ChooseProgrammer1->menuAction()->setStatusTip(QStringLiteral("Choose the type of programmer"));
  EpicProg = AddCommand(ChooseProgrammer1, QStringLiteral("Epic"), "EpicProg", &T::EpicProgClick,
                        QStringLiteral("EPIC Programmer"));
  ExtProg = AddCommand(ChooseProgrammer1, QStringLiteral("Undefined"), "ExtProg", &T::ExtProgClick,
                       QStringLiteral("Programmer of choice"));
  EpicProg->setCheckable(true);
  EpicProg->setChecked(true);
  ExtProg->setCheckable(true);
  ProgrammerPath =
      AddCommand(Options1, QStringLiteral("Programmer Path..."), "ProgrammerPath",
                 &T::ProgrammerPathClick, QStringLiteral("Choose an External Programmer"));
  EPIC_Directory = AddCommand(Options1, QStringLiteral("EPIC Path..."), "EPIC_Directory",
                              &T::EPIC_DirectoryClick, QStringLiteral("Locate EPIC Directory"));
  Program1 = AddCommand(Options1, QStringLiteral("Program"), "Program1", &T::ProgramButtonClick,
                        QStringLiteral("Program the PIC using a conventional programmer"),
                        QKeySequence(Qt::Key_F10));
  Options1->addSeparator();
  ChooseBootloader1 = Options1->addMenu(QStringLiteral("Choose Bootloader"));
  ChooseBootloader1->setObjectName(QStringLiteral("ChooseBootloader1"));
  ChooseBootloader1->menuAction()->setStatusTip(
      QStringLiteral("CHosse the type of bootloader to use"));
  Standard_Bootloader_Option =
      AddCommand(ChooseBootloader1, QStringLiteral("Standard"), "Standard_Bootloader_Option",
                 &T::Standard_Bootloader_OptionClick);
  MELoader_Option = AddCommand(ChooseBootloader1, QStringLiteral("MELoader"), "MELoader_Option",
                               &T::MELoader_OptionClick);
  KORVEX_IR_Option = AddCommand(ChooseBootloader1, QStringLiteral("KORVEX IR"), "KORVEX_IR_Option",
                                &T::KORVEX_IR_OptionClick);
  External_Bootloader_Option =
      AddCommand(ChooseBootloader1, QStringLiteral("Unspecified"), "External_Bootloader_Option",
                 &T::External_Bootloader_OptionClick);
  for (QAction *a :
       {Standard_Bootloader_Option, MELoader_Option, KORVEX_IR_Option, External_Bootloader_Option})
    a->setCheckable(true);
  Standard_Bootloader_Option->setChecked(true);
  // The infrared loader's item appears at start-up only when its loader exists.
  KORVEX_IR_Option->setEnabled(false);
  KORVEX_IR_Option->setVisible(false);
  BootloaderPath = AddCommand(Options1, QStringLiteral("Bootloader Path..."), "BootloaderPath",
                              &T::BootloaderPathClick,
                              QStringLiteral("Choose and Locate an External Bootloader"));
  MELoaderPath = AddCommand(Options1, QStringLiteral("MELOADER Path..."), "MELoaderPath",
                            &T::MELoaderPathClick, QStringLiteral("Locate MeLoader Directory"));
  Download1 =
      AddCommand(Options1, QStringLiteral("Download"), "Download1", &T::DownloadButtonClick,
                 QStringLiteral("Program the PIC via the Downloader"), QKeySequence(Qt::Key_F11));
  Run_Separator = Options1->addSeparator();
  Run_Separator->setObjectName(QStringLiteral("Run_Separator"));
  Run_Program_Option = Options1->addMenu(QStringLiteral("Run"));
  Run_Program_Option->setObjectName(QStringLiteral("Run_Program_Option"));
  AddCommand(Run_Program_Option, QString(), "Run_Program_Placeholder", &T::RunExternalTool);

  View1 = bar->addMenu(QStringLiteral("&View"));
  View1->setObjectName(QStringLiteral("View1"));
  ShowReport = AddCommand(View1, QStringLiteral("REPORT Window"), "ShowReport", &T::ShowReportClick,
                          QStringLiteral("Show the compiler's report"), QKeySequence(Qt::Key_F1));
  ASMData1 = AddCommand(View1, QStringLiteral("ASSEMBLER Data"), "ASMData1", &T::ASMButtonClick,
                        QStringLiteral("Display compiled code"), QKeySequence(Qt::Key_F2));
  ProgramData1 =
      AddCommand(View1, QStringLiteral("PROGRAM Data"), "ProgramData1", &T::ProgramDataClick,
                 QStringLiteral("Show the program memory words"), QKeySequence(Qt::Key_F4));
  EepromData1 = AddCommand(View1, QStringLiteral("EEPROM Data"), "EepromData1", &T::EepromDataClick,
                           QStringLiteral("Show the EEPROM bytes"), QKeySequence(Qt::Key_F6));
  for (QAction *a : {ShowReport, ASMData1, ProgramData1, EepromData1})
    a->setCheckable(true);
  View1->addSeparator();
  SerialTerminal1 =
      AddCommand(View1, QStringLiteral("Serial Terminal"), "SerialTerminal1",
                 &T::SerialTerminalClick, QStringLiteral("Start the serial terminal"));
  Calculator1 = AddCommand(View1, QStringLiteral("Calculator"), "Calculator1", &T::CalculatorClick,
                           QStringLiteral("Start the calculator"));
  ASCIITable1 = AddCommand(View1, QStringLiteral("ASCII Table"), "ASCIITable1", &T::ASCIITableClick,
                           QStringLiteral("Show the ASCII table"));

  Help2 = bar->addMenu(QStringLiteral("&Help"));
  Help2->setObjectName(QStringLiteral("Help2"));
  Help1 = AddCommand(Help2, QStringLiteral("Help"), "Help1", &T::Help1Click,
                     QStringLiteral("Load the compiler's help file"));
  About1 = AddCommand(Help2, QStringLiteral("&About..."), "About1", &T::About1Click,
                      QStringLiteral("About this program"));

  // The editor's popup menu.
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  connect(PopupMenu1, &QMenu::aboutToShow, this, Guarded([this] { PopupMenu1Popup(PopupMenu1); }));
  PopupCut = AddCommand(PopupMenu1, QStringLiteral("Cut"), "PopupCut", &T::CutButtonClick);
  PopupCopy = AddCommand(PopupMenu1, QStringLiteral("Copy"), "PopupCopy", &T::CopyButtonClick);
  PopupPaste = AddCommand(PopupMenu1, QStringLiteral("Paste"), "PopupPaste", &T::PasteButtonClick);
  PopupDelete = AddCommand(PopupMenu1, QStringLiteral("Delete"), "PopupDelete", &T::Delete1Click);
  PopupSelectAll =
      AddCommand(PopupMenu1, QStringLiteral("Select all"), "PopupSelectAll", &T::SelectAll1Click);
  PopupMenu1->addSeparator();
  ToggleBookmark1 = PopupMenu1->addMenu(QStringLiteral("Toggle bookmark"));
  ToggleBookmark1->setObjectName(QStringLiteral("ToggleBookmark1"));
  GotoBookmark1 = PopupMenu1->addMenu(QStringLiteral("Goto bookmark"));
  GotoBookmark1->setObjectName(QStringLiteral("GotoBookmark1"));
  for (int i = 0; i <= 9; ++i) {
    const QString caption = QStringLiteral("Bookmark &%1").arg(i);
    AddCommand(ToggleBookmark1, caption, "ToggleBookmarkItem", &T::Bookmark91Click);
    AddCommand(GotoBookmark1, caption, "GotoBookmarkItem", &T::Bookmark92Click);
  }
  PopupMenu1->addSeparator();
  PopupCompile =
      AddCommand(PopupMenu1, QStringLiteral("Compile"), "PopupCompile", &T::CompileButtonClick);
  PopupProgram =
      AddCommand(PopupMenu1, QStringLiteral("Program PIC"), "PopupProgram", &T::ProgramButtonClick);
  PopupDownload = AddCommand(PopupMenu1, QStringLiteral("Download Program"), "PopupDownload",
                             &T::DownloadButtonClick);
  PopupMenu1->addSeparator();
  Closepage1 = AddCommand(PopupMenu1, QStringLiteral("Close page"), "Closepage1", &T::Close1Click,
                          QString(), QKeySequence(Qt::CTRL | Qt::Key_F4));
  // The editor's popup shortcuts work whenever the window has the focus.
  addAction(Closepage1);
  PopUp_Run_Separator = PopupMenu1->addSeparator();
  PopUp_Run_Separator->setObjectName(QStringLiteral("PopUp_Run_Separator"));
  PopUp_Menu_RUNLIST = PopupMenu1->addMenu(QStringLiteral("Run"));
  PopUp_Menu_RUNLIST->setObjectName(QStringLiteral("PopUp_Menu_RUNLIST"));
  AddCommand(PopUp_Menu_RUNLIST, QString(), "PopUp_Run_Placeholder", &T::RunExternalTool);

  // The Run menus stay hidden until tools are found at start-up.
  for (QAction *a : {Run_Separator, Run_Program_Option->menuAction(), PopUp_Run_Separator,
                     PopUp_Menu_RUNLIST->menuAction()}) {
    a->setEnabled(false);
    a->setVisible(false);
  }

  // The tab's popup menu.
  TabPopupMenu = new QMenu(this);
  TabPopupMenu->setObjectName(QStringLiteral("TabPopupMenu"));
  Closepage2 = AddCommand(TabPopupMenu, QStringLiteral("Close page"), "Closepage2",
                          &T::Closepage2Click, QString(), QKeySequence(Qt::CTRL | Qt::Key_F4));
  Closepage2->setShortcutContext(Qt::WidgetShortcut);
  ReOpenFile = AddCommand(TabPopupMenu, QStringLiteral("Re-Open File"), "ReOpenFile",
                          &T::ReOpenFileClick, QStringLiteral("Reload the file from disk"));

  // Search Again waits for a search; the clipboard, undo and delete items
  // of the Edit menu and the popup follow the toolbar when they open.
  Disable({Searchagain1, Undo1, Redo1, Cut1, Copy1, Paste1, Delete1});
  Disable({PopupCut, PopupCopy, PopupPaste, PopupDelete});
}

QAction *TEditorMainForm::AddButton(const QString &caption, const char *name,
                                    void (TEditorMainForm::*handler)(QObject *),
                                    const QString &hint) {
  // Each button has its own drawing (rendered when first painted); the
  // caption stays for a text-beside-icon toolbar.
  auto *action = new QAction(SvgIcon(ButtonIconName(name)), caption, this);
  action->setObjectName(QLatin1String(name));
  action->setToolTip(hint);
  action->setStatusTip(hint);
  ToolBar1->addAction(action);
  connect(action, &QAction::triggered, this, Guarded([this, handler, action] {
            FinishStartUp();
            (this->*handler)(action);
          }));
  return action;
}

void TEditorMainForm::CreateToolBar() {
  using T = TEditorMainForm;
  ToolBar1 = addToolBar(QStringLiteral("Tools"));
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setMovable(false);
  ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
  NewButton =
      AddButton(QStringLiteral("New"), "NewButton", &T::NewButtonClick, QStringLiteral("New file"));
  OpenButton = AddButton(QStringLiteral("Open"), "OpenButton", &T::OpenButtonClick,
                         QStringLiteral("Open file"));
  SaveButton = AddButton(QStringLiteral("Save"), "SaveButton", &T::SaveButtonClick,
                         QStringLiteral("Save file"));
  ToolBar1->addSeparator();
  PrintButton = AddButton(QStringLiteral("Print"), "PrintButton", &T::PrintButtonClick,
                          QStringLiteral("Print the file"));
  PreviewButton = AddButton(QStringLiteral("Preview"), "PreviewButton", &T::PrintPreview1Click,
                            QStringLiteral("Print preview"));
  ToolBar1->addSeparator();
  CutButton =
      AddButton(QStringLiteral("Cut"), "CutButton", &T::CutButtonClick, QStringLiteral("Cut"));
  CopyButton =
      AddButton(QStringLiteral("Copy"), "CopyButton", &T::CopyButtonClick, QStringLiteral("Copy"));
  PasteButton = AddButton(QStringLiteral("Paste"), "PasteButton", &T::PasteButtonClick,
                          QStringLiteral("Paste"));
  UndoButton =
      AddButton(QStringLiteral("Undo"), "UndoButton", &T::UndoButtonClick, QStringLiteral("Undo"));
  RedoButton =
      AddButton(QStringLiteral("Redo"), "RedoButton", &T::RedoButtonClick, QStringLiteral("Redo"));
  IndentButton = AddButton(QStringLiteral("Indent"), "IndentButton", &T::IndentButtonClick,
                           QStringLiteral("Indent the selected lines"));
  UndentButton = AddButton(QStringLiteral("Undent"), "UndentButton", &T::UndentButtonClick,
                           QStringLiteral("Un-indent the selected lines"));
  ToolBar1->addSeparator();
  CompileButton = AddButton(QStringLiteral("Compile"), "CompileButton", &T::CompileButtonClick,
                            QStringLiteral("Compile the BASIC Program"));
  ProgramButton = AddButton(QStringLiteral("Program"), "ProgramButton", &T::ProgramButtonClick,
                            QStringLiteral("Program PIC device"));
  DownloadButton = AddButton(QStringLiteral("Download"), "DownloadButton", &T::DownloadButtonClick,
                             QStringLiteral("Download the HEX file Serially"));
  ASMButton = AddButton(QStringLiteral("ASM"), "ASMButton", &T::ASMButtonClick,
                        QStringLiteral("Display compiled code"));
  Disable({CutButton, CopyButton, PasteButton, UndoButton, RedoButton, IndentButton, UndentButton,
           ProgramButton, DownloadButton});
}

void TEditorMainForm::CreateEditArea() {
  EditAreaPanel = new QWidget(this);
  EditAreaPanel->setObjectName(QStringLiteral("EditAreaPanel"));
  auto *layout = new QVBoxLayout(EditAreaPanel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  OpenFilesTab = new QTabBar(EditAreaPanel);
  OpenFilesTab->setObjectName(QStringLiteral("OpenFilesTab"));
  OpenFilesTab->setExpanding(false);
  OpenFilesTab->setDocumentMode(true);
  OpenFilesTab->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(OpenFilesTab, &QTabBar::customContextMenuRequested, this,
          [this](const QPoint &pos) { RunCommand([this, pos] { TabPopupMenuRequested(pos); }); });
  connect(OpenFilesTab, &QTabBar::currentChanged, this,
          Guarded([this] { OpenFilesTabChange(OpenFilesTab); }));
  layout->addWidget(OpenFilesTab);
  EditorHost = new QWidget(EditAreaPanel);
  EditorHost->setObjectName(QStringLiteral("EditorHost"));
  EditorHost->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(EditorHost, &QWidget::customContextMenuRequested, this,
          [this](const QPoint &pos) { PopupMenu1->popup(EditorHost->mapToGlobal(pos)); });
  auto *hostLayout = new QVBoxLayout(EditorHost);
  hostLayout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(EditorHost, 1);
  setCentralWidget(EditAreaPanel);
}

// ---- window events -------------------------------------------------------

bool TEditorMainForm::event(QEvent *e) {
  switch (e->type()) {
  case QEvent::StatusTip: {
    // Hints go to the information panel, never over the panels.
    const QString tip = static_cast<QStatusTipEvent *>(e)->tip();
    if (HintsRouted && !tip.isEmpty())
      RunCommand([this, tip] { ShowInfo(tip); });
    return true;
  }
  case QEvent::WindowActivate:
    if (activateDone_)
      QTimer::singleShot(0, this, Guarded([this] { CheckFilesOnDisk(); }));
    RunActivateOnce();
    break;
  case QEvent::Paint:
    // The frame that shows what the first activation set up: the window's
    // children paint in the same pass, so the pass is over (and on screen)
    // once the loop turns again.
    if (activated_ && !firstFramePainted_) {
      firstFramePainted_ = true;
      QTimer::singleShot(0, this, [this] {
        emit FirstFramePainted();
        // What that frame does not show is made now, one turn later, so
        // that the frame reaches the screen first.
        QTimer::singleShot(0, this, Guarded([this] { FinishStartUp(); }));
      });
    }
    break;
  default:
    break;
  }
  return QMainWindow::event(e);
}

void TEditorMainForm::showEvent(QShowEvent *e) {
  // Where the user left the window, kept within today's screens; before the
  // window system maps it, so it never appears elsewhere first.
  if (!e->spontaneous() && !formShown_)
    RestoreWindowPlacement(this, SettingsFilePath(), MainWindowSection, QSize(1100, 780));
  QMainWindow::showEvent(e);
  if (e->spontaneous() || formShown_)
    return;
  formShown_ = true;
  RunCommand([this] { FormShow(this); });
  // Platforms without a window manager may never activate the window; the
  // first activation then runs once the window is on screen.
  QTimer::singleShot(0, this, [this] { RunActivateOnce(); });
}

void TEditorMainForm::RunActivateOnce() {
  if (activateDone_ || !formShown_)
    return;
  activateDone_ = true;
  RunCommand([this] { FormActivate(this); });
  activated_ = true;
  emit FirstActivated();
  // What the activation changed is painted next.
  update();
}

void TEditorMainForm::closeEvent(QCloseEvent *e) {
  bool canClose = true;
  if (!RunCommand([this, &canClose] { FormClose(this, canClose); }))
    canClose = false;
  if (canClose)
    StoreWindowPlacement(this, SettingsFilePath(), MainWindowSection);
  e->setAccepted(canClose);
}

void TEditorMainForm::InstanceMessage(const std::string &file) {
  Prompter().Trace(isMinimized() ? "instance-message minimised" : "instance-message");
  if (isMinimized()) {
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    showNormal();
    Prompter().Trace("restored");
  }
  raise();
  activateWindow();
  Prompter().Trace("raised");
  if (!file.empty()) {
    // Opened as any other file is, after the window is up and outside the
    // socket's signal (its questions may run an event loop).
    QTimer::singleShot(0, this, Guarded([this, file] {
      OpenPath(file);
      AttachScheme();
      Prompter().Trace("instance-open tabs=" + std::to_string(OpenFilesTab->count()) +
                       " title=" + windowTitle().toStdString());
    }));
  }
}

// ---- form events ---------------------------------------------------------

void TEditorMainForm::FormCreate(QObject *) {
  setWindowState(windowState() & ~Qt::WindowMinimized);
  DroppedFile = false;
  InitProcessPaths(ExecutableFolder());
  CompileError = false;
  DeviceName = "16F84";
  ShowAllActive = false;
  CreatePrintEngine();
  // The first document; the first show replaces it (see FormShow).
  CreateFirstDocument();
  EdPersistent = std::make_unique<TEdPersistent>(HistoryFilePath());
  EdPersistent->LastSearchText.clear();
  EdPersistent->SearchOptions = 0;
  RecentFiles.clear();
  RebuildReopenMenu();
  // CommandLineFile: the program's entry point takes it from the command line
  // before any window exists (a window made by a test has none).
}

// The user's display settings of the schemes live in the registry copy. A bad
// entry is reported and the built-in styles stay; start-up goes on either way.
static void LoadDisplaySettings() {
  try {
    TQtRegistry registry;
    ProgramRepository().LoadFromRegistry(registry);
  } catch (const EKorvexError &e) {
    MessageDlg(e.what(), TMsgDlgType::mtError, mbOK);
  }
}

void StoreDisplaySettings() {
  TQtRegistry registry;
  ProgramRepository().SaveToRegistry(registry);
}

void TEditorMainForm::FormShow(QObject *) {
  Close1Click(this);
  LoadDisplaySettings();
  HintsRouted = true;
}

void TEditorMainForm::FormActivate(QObject *) {
  bool opened = false;
  if (!CommandLineFile.empty()) {
    // A file that cannot be opened is reported, and start-up goes on with a
    // new document: the menus and settings below must still be set up.
    try {
      OpenPath(CommandLineFile);
      opened = CurrentFile != nullptr;
    } catch (const EKorvexError &e) {
      MessageDlg(e.what(), TMsgDlgType::mtError, mbOK);
    }
  }
  if (!opened)
    NewButtonClick(this);
  LoadDisplaySettings();
  // The infrared loader, or a native program of its name.
  if (!FindTool(IncFolder + InfraredLoaderProgram).empty()) {
    KORVEX_IR_Option->setEnabled(true);
    KORVEX_IR_Option->setVisible(true);
  }
  // Builds the Run menus when the tool folder holds a tool.
  BuildRunMenus();
  Recovery->OfferRecovery();
}

void TEditorMainForm::FinishStartUp() {
  if (startUpFinished_)
    return;
  startUpFinished_ = true;
  QueryPrinterSetup();
  // The program's companion windows; a window made on its own (a test's)
  // makes its dialogs when a command needs them.
  if (EditorMainForm == this)
    CreateCompanionWindows();
  emit StartUpDone();
}

void TEditorMainForm::FormDestroy(QObject *) {
  FInfoTimer->stop();
  DestroyDocuments();
}

void TEditorMainForm::About1Click(QObject *) {
  if (AboutForm)
    AboutForm->exec();
}
