// TEditorMainForm: a document given back by crash recovery opens in a tab of
// its own with its text exactly as journaled, its caret and top line where
// they were, and stays modified until it is saved.
#include "EditorMainForm.h"

#include "DocumentJournal.h"
#include "FileObject.h"
#include "Streams.h"
#include "SyntaxMemo.h"

#include <QFile>
#include <QTabBar>

TFileObject *TEditorMainForm::AddRecoveredDocument(const std::string &fileName,
                                                   const std::string &text,
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
  document->LoadIntoEditor(SyntaxMemo1);
  TReadOnlyMemoryStream stream(text.data(), static_cast<int64_t>(text.size()));
  SyntaxMemo1->LoadFromStream(stream);
  if (document->FileName != NoNameFileName)
    document->DiskStamp = TDiskStamp::Of(document->FileName);
  document->MarkModified();
  ShowAllActive = false;
  EditAreaPanel->setVisible(true);
  AttachScheme();
  SyntaxMemo1->SetSelection(mark.Anchor, mark.Caret);
  SyntaxMemo1->SetTopLine(std::clamp<int64_t>(mark.TopLine, 0, SyntaxMemo1->LineCount()));
  setWindowTitle(QFile::decodeName(QByteArray::fromStdString(document->FileName)));
  SyntaxMemo1Change(this);
  SyntaxMemo1->setFocus();
  RefreshResultWindows();
  return document;
}
