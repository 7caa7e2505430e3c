// TEditorMainForm: a document given back by crash recovery opens in a tab of
// its own with its text exactly as journaled, its caret and top line where
// they were, and stays modified until it is saved.
#include "EditorMainForm.h"

#include "DocumentJournal.h"
#include "FileObject.h"
#include "TextStore.h"
#include "SyntaxMemo.h"

#include <QFile>
#include <QTabBar>

#include <algorithm>

TFileObject *TEditorMainForm::AddRecoveredDocument(const std::string &fileName,
                                                   std::unique_ptr<TTextStore> text,
                                                   const TJournalMark &mark) {
  // An untouched untitled only tab gives way, as it does to an opened file.
  if (CurrentFile && OpenFilesTab->count() == 1 && CurrentFile->FileName == NoNameFileName &&
      !CurrentFile->IsModifiedShown(SyntaxMemo1) && SyntaxMemo1->TextLength() == 0)
    CloseCurrent();
  if (CurrentFile)
    StoreCurrent();
  auto *document = new TFileObject;
  document->FileName = fileName.empty() ? std::string(NoNameFileName) : fileName;
  CurrentFile = document;
  const auto slash = document->FileName.find_last_of('/');
  const std::string caption =
      slash == std::string::npos ? document->FileName : document->FileName.substr(slash + 1);
  AddDocumentTab(QFile::decodeName(QByteArray::fromStdString(caption)), document);
  {
    const QSignalBlocker block(OpenFilesTab);
    OpenFilesTab->setCurrentIndex(OpenFilesTab->count() - 1);
  }
  document->ClearIntoEditor(SyntaxMemo1);
  // The journal's text store becomes the document's, and is shown as a tab
  // change shows one: no copy of the text is made.
  document->TextStore = std::move(text);
  const int64_t length = document->TextStore->CharCount();
  document->Selection[0] = static_cast<int32_t>(std::clamp<int64_t>(mark.Anchor, 0, length));
  document->Selection[1] = static_cast<int32_t>(std::clamp<int64_t>(mark.Caret, 0, length));
  document->TopLine = static_cast<int32_t>(
      std::clamp<int64_t>(mark.TopLine, 0, document->TextStore->LineCount()) + 1);
  document->LoadIntoEditor(SyntaxMemo1);
  if (document->FileName != NoNameFileName)
    document->DiskStamp = TDiskStamp::Of(document->FileName);
  document->MarkModified();
  ShowAllActive = false;
  EditAreaPanel->setVisible(true);
  AttachScheme();
  setWindowTitle(QFile::decodeName(QByteArray::fromStdString(document->FileName)));
  SyntaxMemo1Change(this);
  SyntaxMemo1->setFocus();
  RefreshResultWindows();
  return document;
}
