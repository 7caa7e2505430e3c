// TEditorMainForm: the documents behind the tabs and the file commands (new,
// open, recent files, save with its backup copy, save as, close, close all,
// exit, dropped files).
#include "EditorMainForm.h"

#include "CommandGuard.h"
#include "EdPersistent.h"
#include "FileObject.h"
#include "IniFile.h"
#include "KorvexError.h"
#include "ProcessPaths.h"
#include "Prompter.h"
#include "SafeSave.h"
#include "StatusBar.h"
#include "SyntaxMemo.h"
#include "TextStore.h"

void StoreDisplaySettings(); // EditorMainForm.cpp

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>

namespace {

const char *const OpenFilter =
    "TARNIC files|*.bas;|INCLUDE files|*.inc;|ASM files|*.asm;|PBP files|*.pbp;|All files|*.*";
const char *const SaveFilter = "TARNIC files|*.bas;|INCLUDE files|*.inc;|All files|*.*";
const char *const NoEntries = "<No entries>";

std::string ToPath(const QString &path) {
  return QFile::encodeName(path).toStdString();
}

QString FromPath(const std::string &path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string NameOnly(const std::string &path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOnly(const std::string &path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos)
    return std::string();
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// The name with its extension replaced by ".BAK", or ".BAK" appended.
std::string BackupName(const std::string &path) {
  const auto slash = path.find_last_of('/');
  const auto dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return path + ".BAK";
  return path.substr(0, dot) + ".BAK";
}

bool SameIgnoringCase(const std::string &a, const std::string &b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

bool PathExists(const std::string &path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::exists(path, ec);
}

void ShowError(const std::string &text) {
  MessageDlg(text, TMsgDlgType::mtError, mbOK);
}

} // namespace

// ---- the editor and the records ------------------------------------------

void TEditorMainForm::CreateEditor() {
  SyntaxMemo1 = new TSyntaxMemo(EditorHost);
  SyntaxMemo1->setObjectName(QStringLiteral("SyntaxMemo1"));
  EditorHost->layout()->addWidget(SyntaxMemo1);
  SyntaxMemo1->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(SyntaxMemo1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint &pos) { PopupMenu1->popup(SyntaxMemo1->mapToGlobal(pos)); });
  SyntaxMemo1->OnChange = [this](TCustomSyntaxMemo *) {
    RunCommand([this] { SyntaxMemo1Change(SyntaxMemo1); });
  };
  SyntaxMemo1->OnFilesDropped = [this](TSyntaxMemo *, const std::vector<std::string> &files) {
    RunCommand([this, &files] { SyntaxMemo1FilesDropped(files); });
  };
  SyntaxMemo1->OnDataDrop = [this](TCustomSyntaxMemo *, int &types) { SyntaxMemo1DataDrop(types); };
  ConnectTabKeys();
  // From here on the store the editor shows always belongs to the window's
  // documents (or is their one spare), never to the editor itself.
  std::unique_ptr<TTextStore> first(SyntaxMemo1->Store());
  SyntaxMemo1->Perform(SM_TEXTSTORE, 1, reinterpret_cast<intptr_t>(new TTextStore));

  TempMemo = new QPlainTextEdit(this);
  TempMemo->setObjectName(QStringLiteral("TempMemo"));
  TempMemo->hide();
  Backup_Store = new QPlainTextEdit(this);
  Backup_Store->setObjectName(QStringLiteral("Backup_Store"));
  Backup_Store->setMaximumBlockCount(0);
  Backup_Store->hide();
  File_ListBox = new QListWidget(this);
  File_ListBox->setObjectName(QStringLiteral("File_ListBox"));
  File_ListBox->hide();
}

void TEditorMainForm::DestroyDocuments() {
  CurrentFile = nullptr;
  if (OpenFilesTab) {
    const QSignalBlocker block(OpenFilesTab);
    while (OpenFilesTab->count() > 0) {
      delete DocumentAt(0);
      OpenFilesTab->removeTab(0);
    }
  }
  if (SyntaxMemo1) {
    TTextStore *shown = SyntaxMemo1->Store();
    SyntaxMemo1->OnChange = nullptr;
    delete SyntaxMemo1;
    SyntaxMemo1 = nullptr;
    delete shown;
  }
}

TFileObject *TEditorMainForm::DocumentAt(int index) const {
  if (index < 0 || index >= OpenFilesTab->count())
    return nullptr;
  return static_cast<TFileObject *>(OpenFilesTab->tabData(index).value<void *>());
}

int TEditorMainForm::FindDocument(const std::string &fileName) const {
  for (int i = 0; i < OpenFilesTab->count(); ++i)
    if (const TFileObject *d = DocumentAt(i); d && d->FileName == fileName)
      return i;
  return -1;
}

void TEditorMainForm::AddDocumentTab(const QString &caption, TFileObject *document) {
  const QSignalBlocker block(OpenFilesTab);
  const int index = OpenFilesTab->addTab(caption);
  OpenFilesTab->setTabData(index, QVariant::fromValue(static_cast<void *>(document)));
}

void TEditorMainForm::RemoveDocumentTab(int index) {
  TFileObject *document = DocumentAt(index);
  {
    const QSignalBlocker block(OpenFilesTab);
    OpenFilesTab->removeTab(index);
  }
  delete document;
}

void TEditorMainForm::StoreCurrent() {
  CurrentFile->StoreFromEditor(SyntaxMemo1);
  CurrentFile->ShowAllActive = ShowAllActive;
}

void TEditorMainForm::AttachScheme() {
  SyntaxMemo1->SetParser(FindScheme("TARNIC"));
}

void TEditorMainForm::CreateFirstDocument() {
  auto *document = new TFileObject;
  AddDocumentTab(QString::fromLatin1(NoNameFileName), document);
  {
    const QSignalBlocker block(OpenFilesTab);
    OpenFilesTab->setCurrentIndex(0);
  }
  CurrentFile = document;
  // The window is still being built: the status follows at the first show.
  TNotifyEvent onChange = std::move(SyntaxMemo1->OnChange);
  SyntaxMemo1->OnChange = nullptr;
  document->ClearIntoEditor(SyntaxMemo1);
  document->LoadIntoEditor(SyntaxMemo1);
  SyntaxMemo1->OnChange = std::move(onChange);
}

void TEditorMainForm::OpenFilesTabChange(QObject *) {
  TFileObject *next = DocumentAt(OpenFilesTab->currentIndex());
  if (!next)
    return;
  if (CurrentFile)
    StoreCurrent();
  CurrentFile = next;
  next->LoadIntoEditor(SyntaxMemo1);
  ShowAllActive = next->ShowAllActive;
  AttachScheme();
  SyntaxMemo1->setFocus();
  setWindowTitle(FromPath(next->FileName));
  RefreshResultWindows();
}

// ---- new and open --------------------------------------------------------

void TEditorMainForm::NewButtonClick(QObject *) {
  if (CurrentFile)
    StoreCurrent();
  auto *document = new TFileObject;
  CurrentFile = document;
  AddDocumentTab(QString::fromLatin1(NoNameFileName), document);
  {
    const QSignalBlocker block(OpenFilesTab);
    OpenFilesTab->setCurrentIndex(OpenFilesTab->count() - 1);
  }
  document->ClearIntoEditor(SyntaxMemo1);
  document->LoadIntoEditor(SyntaxMemo1);
  ShowAllActive = false;
  EditAreaPanel->setVisible(true);
  SyntaxMemo1Change(this);
  SyntaxMemo1->setFocus();
  AttachScheme();
  RefreshResultWindows();
}

void TEditorMainForm::OpenButtonClick(QObject *) {
  WorkingDirectory =
      TIniFile(SettingsFilePath()).ReadString("WORKING_DIRECTORY", "PATHNAME", WorkingDirectory);
  TFileDialogRequest request;
  request.Filter = OpenFilter;
  request.InitialDir = WorkingDirectory;
  request.FilterIndex = openFilterIndex_;
  if (!Prompter().OpenFileDialog(request))
    return;
  openFilterIndex_ = request.FilterIndex;
  OpenPath(request.FileName);
  AttachScheme();
}

void TEditorMainForm::OpenFile(const QString &pathText) {
  OpenPath(ToPath(pathText));
}

void TEditorMainForm::OpenPath(const std::string &pathRef) {
  // A copy: the name may belong to a document this open closes.
  const std::string path = pathRef;
  // A dropped file never becomes the working directory, whatever happens here.
  const bool dropped = DroppedFile;
  DroppedFile = false;

  if (CurrentFile && !PathExists(path)) {
    ShowError("Cannot Find or Open File\r\"" + path + "\"");
    return;
  }
  if (const int open = FindDocument(path); open >= 0) {
    raise();
    activateWindow();
    SyntaxMemo1->setFocus();
    if (MessageDlg("File \"" + path + "\" is already open\rDo you wish to reload ?",
                   TMsgDlgType::mtInformation, mbYes | mbNo | mbCancel) != TModalResult::mrYes)
      return;
    {
      const QSignalBlocker block(OpenFilesTab);
      OpenFilesTab->setCurrentIndex(open);
    }
    OpenFilesTabChange(OpenFilesTab);
    // Kept open (cancelled, or its save failed): it is not loaded twice.
    if (!CloseCurrent())
      return;
  }
  if (CurrentFile && StatusBar1->PanelText(1).isEmpty() &&
      CurrentFile->FileName == NoNameFileName && OpenFilesTab->currentIndex() <= 0)
    CloseCurrent();

  TFileObject *previous = CurrentFile;
  if (previous)
    StoreCurrent();
  auto document = std::make_unique<TFileObject>();
  try {
    document->LoadFile(SyntaxMemo1, path);
  } catch (...) {
    // The editor holds the spare store now; give it the document it showed.
    if (previous)
      previous->LoadIntoEditor(SyntaxMemo1);
    throw;
  }
  document->LoadIntoEditor(SyntaxMemo1);
  ShowAllActive = document->ShowAllActive;
  TFileObject *added = document.release();
  AddDocumentTab(FromPath(NameOnly(path)), added);
  {
    const QSignalBlocker block(OpenFilesTab);
    OpenFilesTab->setCurrentIndex(FindDocument(path));
  }
  EditAreaPanel->setVisible(true);
  SyntaxMemo1->setFocus();
  CurrentFile = added;
  added->ShowAllActive = false;
  ShowAllActive = false;
  SyntaxMemo1Change(this);

  WorkingDirectory = FolderOnly(path);
  if (!dropped && !WorkingDirectory.empty())
    TIniFile(SettingsFilePath()).WriteString("WORKING_DIRECTORY", "PATHNAME", WorkingDirectory);
  RefreshResultWindows();
}

void TEditorMainForm::SyntaxMemo1FilesDropped(const std::vector<std::string> &files) {
  SyntaxMemo1->SetSelection(0, 0);
  if (files.empty() || !PathExists(files.front()))
    return;
  DroppedFile = true;
  openFilterIndex_ = 1;
  OpenPath(files.front());
  DroppedFile = false;
  QApplication::setActiveWindow(this);
  raise();
  activateWindow();
}

void TEditorMainForm::SyntaxMemo1DataDrop(int &sourceTypes) {
  if (sourceTypes & 0x1)
    sourceTypes &= ~0x400;
}

// ---- recent files --------------------------------------------------------

void TEditorMainForm::RebuildReopenMenu() {
  for (QAction *a : Reopen1->actions())
    if (a != ReopenPlaceholder)
      delete a;
  ReopenPlaceholder->setText(QString::fromLatin1(NoEntries));
  ReopenPlaceholder->setEnabled(false);
  ReopenPlaceholder->setVisible(true);
  RecentFiles = EdPersistent ? EdPersistent->MRU() : std::vector<std::string>();
  for (const std::string &file : RecentFiles) {
    QString caption = FromPath(file);
    caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
    QAction *item = AddCommand(Reopen1, caption, "ReopenItem", &TEditorMainForm::ReopenItemClick);
    item->setData(QByteArray::fromStdString(file));
    ReopenPlaceholder->setVisible(false);
  }
}

void TEditorMainForm::ReopenItemClick(QObject *Sender) {
  auto *item = qobject_cast<QAction *>(Sender);
  if (!item || item == ReopenPlaceholder || item->text() == QString::fromLatin1(NoEntries))
    return;
  OpenPath(item->data().toByteArray().toStdString());
}

void TEditorMainForm::ReOpenFileClick(QObject *) {
  if (CurrentFile)
    OpenPath(CurrentFile->FileName);
}

void TEditorMainForm::RememberRecentFile(const std::string &fileName) {
  if (fileName == NoNameFileName)
    return;
  for (const std::string &f : RecentFiles)
    if (SameIgnoringCase(f, fileName))
      return;
  RecentFiles.insert(RecentFiles.begin(), fileName);
}

void TEditorMainForm::WriteRecentFiles() {
  if (!EdPersistent)
    return;
  try {
    EdPersistent->SetMRU(RecentFiles);
  } catch (const EKorvexError &e) {
    // The list stays in memory; a history file that cannot be written must
    // not keep a document from closing.
    ShowError(e.what());
  }
}

// ---- save ----------------------------------------------------------------

void TEditorMainForm::SaveButtonClick(QObject *) {
  SaveCurrent();
}

bool TEditorMainForm::SaveCurrent() {
  TFileObject *document = CurrentFile;
  if (!document)
    return false;
  if (document->FileName == NoNameFileName) {
    saveAsWritten_ = false;
    SaveAs1Click(this);
    if (!saveAsWritten_)
      return false;
  }
  const std::string path = document->FileName;
  try {
    // A file deleted or moved away since it was opened has nothing to back up.
    if (PathExists(path))
      BackupFileSafely(path, BackupName(path));
    document->SaveFile(SyntaxMemo1, path);
  } catch (const EKorvexError &e) {
    ShowError(e.what());
    SyntaxMemo1Change(this);
    return false;
  }
  SyntaxMemo1Change(this);
  return true;
}

void TEditorMainForm::SaveAs1Click(QObject *) {
  TFileObject *document = CurrentFile;
  if (!document)
    return;
  // The remembered folder first, as Open reads it: before any Open the one in
  // memory is empty, and an empty folder is never stored over a good one.
  TIniFile settings(SettingsFilePath());
  WorkingDirectory = settings.ReadString("WORKING_DIRECTORY", "PATHNAME", WorkingDirectory);
  if (!WorkingDirectory.empty()) {
    try {
      settings.WriteString("WORKING_DIRECTORY", "PATHNAME", WorkingDirectory);
    } catch (const EKorvexError &) {
      // Only the dialog's start folder is lost; the save goes on.
    }
  }
  int index = OpenFilesTab->currentIndex();
  const std::string oldName = document->FileName;
  TFileDialogRequest request;
  request.FileName = oldName;
  request.InitialDir = oldName != NoNameFileName ? FolderOnly(oldName) : WorkingDirectory;
  request.Filter = SaveFilter;
  request.DefaultExt = "bas";
  request.FilterIndex = saveFilterIndex_;
  if (!Prompter().SaveFileDialog(request))
    return;
  saveFilterIndex_ = request.FilterIndex;
  // Another tab on the file being replaced would go on showing text that is
  // no longer on disk, and saving it later would overwrite this document: it
  // is closed once the save has written the file. Its own unsaved changes are
  // lost with it, so those are asked about first.
  int other = -1;
  for (int i = 0; i < OpenFilesTab->count(); ++i)
    if (i != index && DocumentAt(i) && DocumentAt(i)->FileName == request.FileName)
      other = i;
  if (other >= 0 && DocumentAt(other)->IsModifiedStored() &&
      MessageDlg("File \"" + request.FileName +
                     "\" is open in another tab with unsaved changes.\r\nReplace it and lose "
                     "those changes ?",
                 TMsgDlgType::mtConfirmation, mbYes | mbNo) != TModalResult::mrYes)
    return;
  try {
    document->SaveFile(SyntaxMemo1, request.FileName);
  } catch (const EKorvexError &e) {
    ShowError(e.what());
    return;
  }
  saveAsWritten_ = true;
  if (other >= 0) {
    RemoveDocumentTab(other);
    if (other < index)
      --index;
  }
  if (document->FileName != oldName) {
    OpenFilesTab->setTabText(index, FromPath(NameOnly(document->FileName)));
    // The renamed document's own tab, even when another tab shows a file of
    // the same name.
    const QSignalBlocker block(OpenFilesTab);
    OpenFilesTab->setCurrentIndex(index);
  }
  // The panel and the tab's mark follow the save at once: the text is on disk.
  StatusBar1->SetPanelText(1, QString());
  MarkTabModified(index, false);
  // The caption names the file just written at once, not at the next event.
  setWindowTitle(FromPath(document->FileName));
}

// ---- close and exit ------------------------------------------------------

void TEditorMainForm::Close1Click(QObject *) {
  CloseCurrent();
}

void TEditorMainForm::Closepage2Click(QObject *Sender) {
  Close1Click(Sender);
}

bool TEditorMainForm::CloseCurrent() {
  if (!CurrentFile)
    return true;
  const int index = OpenFilesTab->currentIndex();
  if (StatusBar1->PanelText(1) == QStringLiteral("Modified")) {
    const TModalResult answer =
        MessageDlg("File \"" + CurrentFile->FileName + "\" has been modified\r\nSave changes ?",
                   TMsgDlgType::mtConfirmation, mbYes | mbNo | mbCancel);
    if (answer == TModalResult::mrCancel || answer == TModalResult::mrNone)
      return false;
    if (answer == TModalResult::mrYes && !SaveCurrent())
      return false;
  }
  RememberRecentFile(CurrentFile->FileName);
  WriteRecentFiles();

  StoreCurrent();
  CurrentFile = nullptr;
  RemoveDocumentTab(index);
  if (OpenFilesTab->count() > 0) {
    const int next = std::min(index, OpenFilesTab->count() - 1);
    CurrentFile = DocumentAt(next);
    {
      const QSignalBlocker block(OpenFilesTab);
      OpenFilesTab->setCurrentIndex(next);
    }
    CurrentFile->LoadIntoEditor(SyntaxMemo1);
    ShowAllActive = CurrentFile->ShowAllActive;
    SyntaxMemo1->setFocus();
  } else {
    ShowAllActive = false;
    SyntaxMemo1Change(this);
  }
  RefreshResultWindows();
  AttachScheme();
  RebuildReopenMenu();
  return true;
}

void TEditorMainForm::CloseAll1Click(QObject *) {
  while (OpenFilesTab->count() > 0)
    if (!CloseCurrent())
      break;
}

void TEditorMainForm::Exit1Click(QObject *) {
  close();
}

void TEditorMainForm::FormClose(QObject *, bool &CanClose) {
  CanClose = true;
  if (!CurrentFile)
    return;
  StoreCurrent();
  while (OpenFilesTab->count() > 0) {
    TFileObject *document = DocumentAt(0);
    CurrentFile = document;
    bool shown = false;
    if (document->IsModifiedStored()) {
      document->LoadIntoEditor(SyntaxMemo1);
      shown = true;
      {
        const QSignalBlocker block(OpenFilesTab);
        OpenFilesTab->setCurrentIndex(0);
      }
      SyntaxMemo1Change(this);
      const TModalResult answer =
          MessageDlg("File \"" + document->FileName + "\" has been modified\r\nSave changes ?",
                     TMsgDlgType::mtConfirmation, mbYes | mbNo | mbCancel);
      if (answer == TModalResult::mrCancel || answer == TModalResult::mrNone) {
        CanClose = false;
        return;
      }
      // A save that was cancelled or failed keeps the document and the window.
      if (answer == TModalResult::mrYes && !SaveCurrent()) {
        CanClose = false;
        return;
      }
    }
    RememberRecentFile(document->FileName);
    WriteRecentFiles();
    if (shown)
      document->StoreFromEditor(SyntaxMemo1);
    CurrentFile = nullptr;
    RemoveDocumentTab(0);
  }
  StoreDisplaySettings();
  for (QAction *a : Reopen1->actions())
    if (a != ReopenPlaceholder)
      delete a;
}
