// The main window: menus, toolbar, the tab bar with the edit area, and the
// status bar. Every command handler is named after its control and event and
// runs through the command guard.
#pragma once

#include "Prompter.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QPainter;
class QRect;
class TEdFindDlg;
class TEdReplDlg;
class TGotoLineDialog;
class TDocumentRecovery;
class TTextStore;
struct TJournalMark;
class QListWidget;
class QPlainTextEdit;
class TEdPersistent;
class TFileScan;
class TFileObject;
class TPreviewPrinter;
class TSyntaxMemo;
class QLabel;
class QMenu;
class QTabBar;
class QTimer;
class QToolBar;
class TStatusBar;
class TDataGridWindow;

class TEditorMainForm : public QMainWindow {
  Q_OBJECT

public:
  // beforeFonts, when given, runs right before the window first uses a font.
  explicit TEditorMainForm(QWidget *parent = nullptr,
                           const std::function<void()> &beforeFonts = nullptr);
  ~TEditorMainForm() override;

  // Another copy of the program was started: restore this window when it is
  // minimised and bring it to the front, then open the file that copy was
  // given (none: only the window comes up).
  void InstanceMessage(const std::string &file = std::string());

  // Form events.
  void FormCreate(QObject *Sender);
  void FormShow(QObject *Sender);
  void FormActivate(QObject *Sender);
  // What the first frame does not show, made once that frame is on screen
  // (or when a command comes first): the default printer's page setup and
  // the program's companion windows. Runs once.
  void FinishStartUp();
  bool StartUpFinished() const { return startUpFinished_; }
  void FormClose(QObject *Sender, bool &CanClose);
  void FormDestroy(QObject *Sender);

  // File commands.
  void NewButtonClick(QObject *Sender);
  void OpenButtonClick(QObject *Sender);
  void ReopenItemClick(QObject *Sender);
  void ReOpenFileClick(QObject *Sender);
  void SaveButtonClick(QObject *Sender);
  void SaveAs1Click(QObject *Sender);
  void Close1Click(QObject *Sender);
  void Closepage2Click(QObject *Sender);
  void CloseAll1Click(QObject *Sender);
  void PrintButtonClick(QObject *Sender);
  void PrintSetup1Click(QObject *Sender);
  void PrintPreview1Click(QObject *Sender);
  // Command 44 of the editor ("Print selection").
  void PrintSelectionClick(QObject *Sender);
  // Makes the printer and fills the page-setup record from the default
  // printer, once; each print command runs it first.
  void QueryPrinterSetup();
  void Exit1Click(QObject *Sender);
  void OpenFile(const QString &path);
  // The same for a path as the file system's bytes (any bytes a name holds).
  void OpenPath(const std::string &path);
  void RebuildReopenMenu();
  void SyntaxMemo1FilesDropped(const std::vector<std::string> &files);
  void SyntaxMemo1DataDrop(int &sourceTypes);

  // Editing and navigation commands.
  void Edit1Click(QObject *Sender);
  void PopupMenu1Popup(QObject *Sender);
  void UndoButtonClick(QObject *Sender);
  void RedoButtonClick(QObject *Sender);
  void CutButtonClick(QObject *Sender);
  void CopyButtonClick(QObject *Sender);
  void PasteButtonClick(QObject *Sender);
  void Delete1Click(QObject *Sender);
  void SelectAll1Click(QObject *Sender);
  void Upper1Click(QObject *Sender);
  void Lower1Click(QObject *Sender);
  void Capitalise1Click(QObject *Sender);
  void IndentButtonClick(QObject *Sender);
  void UndentButtonClick(QObject *Sender);
  void Bookmark91Click(QObject *Sender);
  void Bookmark92Click(QObject *Sender);
  void Gotolinenumber1Click(QObject *Sender);
  void Searchagain1Click(QObject *Sender);
  void Showall1Click(QObject *Sender);
  void Find1Click(QObject *Sender);
  void Replace1Click(QObject *Sender);
  void Font1Click(QObject *Sender);
  void LineNumberFont1Click(QObject *Sender);
  void Properties1Click(QObject *Sender);
  // Editor events of these commands: every text change ends "Show all", its
  // marks are drawn inverted, and the keyboard's undo and redo are the window's.
  void SyntaxMemo1TextChange(int64_t start, int64_t extent);
  void SyntaxMemo1DrawMark(QPainter &aDC, const QRect &aRect, int aMark);
  void SyntaxMemo1CommandRecognised(int32_t &actionCode);
  // The find, replace and go-to-line dialogs of this window.
  TEdFindDlg *FindDialog();
  TEdReplDlg *ReplaceDialog();
  TGotoLineDialog *GotoDialog();
  // Closes the find and replace dialogs, which writes their histories while
  // the history object still exists.
  void CloseSearchDialogs();

  // Toolchain commands.
  void CompileButtonClick(QObject *Sender);
  void ShowReportClick(QObject *Sender);
  void ASMButtonClick(QObject *Sender);
  void ProgramDataClick(QObject *Sender);
  void EepromDataClick(QObject *Sender);
  void EpicProgClick(QObject *Sender);
  void ExtProgClick(QObject *Sender);
  void ProgrammerPathClick(QObject *Sender);
  void EPIC_DirectoryClick(QObject *Sender);
  void ProgramButtonClick(QObject *Sender);
  void Standard_Bootloader_OptionClick(QObject *Sender);
  void MELoader_OptionClick(QObject *Sender);
  void KORVEX_IR_OptionClick(QObject *Sender);
  void External_Bootloader_OptionClick(QObject *Sender);
  void BootloaderPathClick(QObject *Sender);
  void MELoaderPathClick(QObject *Sender);
  void DownloadButtonClick(QObject *Sender);
  void RunExternalTool(QObject *Sender);
  void SerialTerminalClick(QObject *Sender);
  void CalculatorClick(QObject *Sender);
  void ASCIITableClick(QObject *Sender);
  void Help1Click(QObject *Sender);
  void About1Click(QObject *Sender);
  void BuildRunMenus();
  void Update_RUNList();
  void Update_POPUP_RUNList();

  // Documents, status and information texts.
  void OpenFilesTabChange(QObject *Sender);
  void SyntaxMemo1Change(QObject *Sender);
  void ShowInfo(const QString &text);
  void FInfoTimerTimer(QObject *Sender);
  // The visible result windows follow the current file.
  void RefreshResultWindows();
  // The compiler's result file into DeviceName, the status panels and the
  // report window.
  void ReadCompilerResults();
  // Once the result windows exist: their View items follow them and work
  // from them, and the commands follow the launcher's busy state.
  void ConnectResultWindows();
  // The listing's search keys and requests go to this window's dialogs.
  void ConnectListingSearch();
  // Report lines that name a line number lead to it (ReportLineCommands.cpp).
  void ConnectReportLines();
  void ReportLineDoubleClicked(int index);
  // The index of the first tab whose document has exactly this name, or -1.
  int FindDocument(const std::string &fileName) const;
  TFileObject *DocumentAt(int index) const;

  // Documents whose file another program changed or deleted since it was
  // opened or saved: reloaded when unmodified, asked about when modified,
  // reported once when deleted (DiskChanges.cpp).
  void CheckFilesOnDisk();
  // A document restored from a recovery journal, marked modified
  // (RecoveredDocuments.cpp).
  TFileObject *AddRecoveredDocument(const std::string &fileName,
                                    std::unique_ptr<TTextStore> text, const TJournalMark &mark);
  std::unique_ptr<TDocumentRecovery> Recovery;

  // Main menu and its items.
  QMenu *File1 = nullptr, *Edit1 = nullptr, *Search1 = nullptr, *Options1 = nullptr,
        *View1 = nullptr, *Help2 = nullptr;
  QMenu *Reopen1 = nullptr;
  QAction *ReopenPlaceholder = nullptr;
  QAction *New1 = nullptr, *Open1 = nullptr, *Save1 = nullptr, *SaveAs1 = nullptr,
          *Close1 = nullptr, *CloseAll1 = nullptr, *FileSeparator1 = nullptr,
          *PrintSetup1 = nullptr, *PrintPreview1 = nullptr, *Print1 = nullptr,
          *FileSeparator2 = nullptr, *Exit1 = nullptr;
  QAction *Undo1 = nullptr, *Redo1 = nullptr, *Cut1 = nullptr, *Copy1 = nullptr, *Paste1 = nullptr,
          *Delete1 = nullptr, *SelectAll1 = nullptr, *Upper1 = nullptr, *Lower1 = nullptr,
          *Capitalise1 = nullptr, *Font1 = nullptr, *LineNumberFont1 = nullptr,
          *Properties1 = nullptr;
  QAction *Find1 = nullptr, *Replace1 = nullptr, *Searchagain1 = nullptr, *Showall1 = nullptr,
          *Gotolinenumber1 = nullptr;
  QAction *Compile1 = nullptr;
  QMenu *ChooseProgrammer1 = nullptr, *ChooseBootloader1 = nullptr;
  QAction *EpicProg = nullptr, *ExtProg = nullptr, *ProgrammerPath = nullptr,
          *EPIC_Directory = nullptr, *Program1 = nullptr;
  QAction *Standard_Bootloader_Option = nullptr, *MELoader_Option = nullptr,
          *KORVEX_IR_Option = nullptr, *External_Bootloader_Option = nullptr,
          *BootloaderPath = nullptr, *MELoaderPath = nullptr, *Download1 = nullptr;
  QAction *Run_Separator = nullptr;
  QMenu *Run_Program_Option = nullptr;
  QAction *ShowReport = nullptr, *ASMData1 = nullptr, *ProgramData1 = nullptr,
          *EepromData1 = nullptr, *SerialTerminal1 = nullptr, *Calculator1 = nullptr,
          *ASCIITable1 = nullptr;
  QAction *Help1 = nullptr, *About1 = nullptr;

  // The editor's popup menu and the tab's popup menu.
  QMenu *PopupMenu1 = nullptr, *TabPopupMenu = nullptr;
  QAction *PopupCut = nullptr, *PopupCopy = nullptr, *PopupPaste = nullptr, *PopupDelete = nullptr,
          *PopupSelectAll = nullptr, *PopupCompile = nullptr, *PopupProgram = nullptr,
          *PopupDownload = nullptr, *Closepage1 = nullptr, *PopUp_Run_Separator = nullptr;
  QMenu *ToggleBookmark1 = nullptr, *GotoBookmark1 = nullptr, *PopUp_Menu_RUNLIST = nullptr;
  QAction *Closepage2 = nullptr, *ReOpenFile = nullptr;

  // Toolbar.
  QToolBar *ToolBar1 = nullptr;
  QAction *NewButton = nullptr, *OpenButton = nullptr, *SaveButton = nullptr,
          *PrintButton = nullptr, *PreviewButton = nullptr, *CutButton = nullptr,
          *CopyButton = nullptr, *PasteButton = nullptr, *UndoButton = nullptr,
          *RedoButton = nullptr, *IndentButton = nullptr, *UndentButton = nullptr,
          *CompileButton = nullptr, *ProgramButton = nullptr, *DownloadButton = nullptr,
          *ASMButton = nullptr;

  // Edit area: the tabs above the editor.
  QWidget *EditAreaPanel = nullptr;
  QTabBar *OpenFilesTab = nullptr;
  QWidget *EditorHost = nullptr; // holds the editor control
  TSyntaxMemo *SyntaxMemo1 = nullptr;
  // Never shown: the compiler's result file, the backup buffer, the tools.
  QPlainTextEdit *TempMemo = nullptr;
  QPlainTextEdit *Backup_Store = nullptr;
  QListWidget *File_ListBox = nullptr;

  // Documents: the current one (none without tabs), the histories, the
  // recent files and the working directory.
  TFileObject *CurrentFile = nullptr;
  std::unique_ptr<TEdPersistent> EdPersistent;
  std::vector<std::string> RecentFiles;
  std::string WorkingDirectory;

  TStatusBar *StatusBar1 = nullptr;
  // The print engine, and the page-setup record (margins in thousandths of
  // an inch) filled from the default printer right after start-up.
  std::unique_ptr<TPreviewPrinter> PreviewPrinter1;
  TPageSetupChoice PageSetup;
  QTimer *FInfoTimer = nullptr;

  // The tools found in the tool folder at start-up (full paths) and the
  // scanner that found them.
  std::vector<std::string> ToolList;
  std::shared_ptr<TFileScan> FileScan1;

  // Window state.
  bool DroppedFile = false;
  bool CompileError = false;
  bool ShowAllActive = false;
  bool HintsRouted = false;

signals:
  // The first activation has been handled (the program is ready for use).
  void FirstActivated();
  // The first frame painted after that activation is on screen.
  void FirstFramePainted();
  // FinishStartUp has run.
  void StartUpDone();

protected:
  bool event(QEvent *e) override;
  void showEvent(QShowEvent *e) override;
  void closeEvent(QCloseEvent *e) override;

private:
  void CreateMenus();
  void CreateToolBar();
  void CreateEditArea();
  QAction *AddCommand(QMenu *menu, const QString &caption, const char *name,
                      void (TEditorMainForm::*handler)(QObject *), const QString &hint = {},
                      const QKeySequence &shortcut = {});
  QAction *AddButton(const QString &caption, const char *name,
                     void (TEditorMainForm::*handler)(QObject *), const QString &hint);
  void RunActivateOnce();
  // The tab under the pointer becomes current (through the normal tab
  // change) before its popup menu opens, so "Close page" closes that tab.
  void TabPopupMenuRequested(const QPoint &pos);
  // Ctrl+Tab / Ctrl+PgDn show the next tab, Ctrl+Shift+Tab / Ctrl+PgUp the
  // previous one, wrapping around.
  void ConnectTabKeys();
  void SwitchTab(int step);
  // A modified document's tab shows a marker icon beside its caption.
  void MarkTabModified(int index, bool modified);
  void AddDocumentTab(const QString &caption, TFileObject *document);
  // Takes a document's tab away and frees the document; no tab change runs.
  void RemoveDocumentTab(int index);
  void CreateEditor();
  // Hooks the editor's events for the editing and search commands.
  void ConnectEditCommands();
  // Save of the current document; false when it was not written (cancelled
  // or failed, the reason shown).
  bool SaveCurrent();
  // Close of the current document; false when it stays open.
  bool CloseCurrent();
  void RememberRecentFile(const std::string &fileName);
  void WriteRecentFiles();
  void StoreCurrent();
  void DestroyDocuments();
  void CreateFirstDocument();
  void AttachScheme();
  void CreatePrintEngine();
  // Prints the text or the selection on the program's printer within the
  // page-setup margins.
  void PrintEditor(bool selectionOnly);
  void ToggleDataWindow(TDataGridWindow *window, QAction *item, QObject *Sender);
  void FocusMainWindow();
  void InsertToolResult();
  void ReloadDocument(int index);

  bool formShown_ = false;
  bool activateDone_ = false;
  bool activated_ = false;
  bool firstFramePainted_ = false;
  bool startUpFinished_ = false;
  bool printerQueried_ = false;
  QString savedInfoText_;
  bool saveAsWritten_ = false;
  bool checkingDisk_ = false;
  // The open and save dialogs keep their last filter choice.
  int openFilterIndex_ = 1;
  int saveFilterIndex_ = 1;
};

extern TEditorMainForm *EditorMainForm;
