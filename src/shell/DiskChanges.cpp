// TEditorMainForm: files changed by other programs. When the window becomes
// active and after every tool run, each document's file is compared with the
// stamp taken when it was opened or saved (existence, size, time, contents).
// An unmodified document follows its file at once, keeping caret and scroll
// position; a modified one asks first; a deleted file is reported once and its
// document stays open, modified, so that nothing is lost.
#include "EditorMainForm.h"

#include "DocumentJournal.h"
#include "FileObject.h"
#include "Prompter.h"
#include "SyntaxMemo.h"

#include <QFile>
#include <QTabBar>

void TEditorMainForm::CheckFilesOnDisk() {
  // The questions below take the window's focus and give it back, which
  // would start another check in the middle of this one.
  if (checkingDisk_)
    return;
  checkingDisk_ = true;
  struct TReset {
    bool &flag;
    ~TReset() { flag = false; }
  } reset{checkingDisk_};

  for (int i = 0; i < OpenFilesTab->count(); ++i) {
    TFileObject *doc = DocumentAt(i);
    if (!doc || !doc->DiskStamp.Known || doc->FileName == NoNameFileName)
      continue;
    const TDiskStamp now = TDiskStamp::Of(doc->FileName);
    if (now.SameAs(doc->DiskStamp))
      continue;
    const bool shown = doc == CurrentFile;
    if (!now.Exists) {
      doc->DiskStamp = now;
      doc->MarkModified();
      if (shown)
        SyntaxMemo1Change(this);
      MessageDlg("The file \"" + doc->FileName +
                     "\" has been deleted or moved away on disk.\rIts text stays open here, "
                     "marked as modified: save it to keep it.",
                 TMsgDlgType::mtWarning, mbOK);
      continue;
    }
    const bool modified = shown ? doc->IsModifiedShown(SyntaxMemo1) : doc->IsModifiedStored();
    if (modified) {
      const int answer = Prompter().Ask(
          "The file \"" + doc->FileName +
              "\" has been changed on disk by another program.\rReload it and lose your "
              "changes, or keep your version?",
          TMsgDlgType::mtWarning, {"Reload", "Keep mine"}, 1);
      if (answer != 0) {
        // Asked once per change: the next question comes with the next change.
        doc->DiskStamp = now;
        continue;
      }
    }
    ReloadDocument(i);
    ShowInfo(QStringLiteral("Reloaded ") +
             QFile::decodeName(QByteArray::fromStdString(doc->FileName)));
  }
}

void TEditorMainForm::ReloadDocument(int index) {
  TFileObject *doc = DocumentAt(index);
  if (!doc)
    return;
  TFileObject *current = CurrentFile;
  const bool shown = doc == current;
  // A document in the background is brought into the editor for the reload
  // and put back after it, without the tab changing.
  if (!shown) {
    StoreCurrent();
    doc->LoadIntoEditor(SyntaxMemo1);
  }
  const int64_t anchor = SyntaxMemo1->Anchor(), caret = SyntaxMemo1->Caret();
  const int64_t top = SyntaxMemo1->TopLine();
  const int left = SyntaxMemo1->LeftColumn();
  const bool wrap = doc->WordWrap;
  auto putBack = [&] {
    if (!shown) {
      doc->StoreFromEditor(SyntaxMemo1);
      current->LoadIntoEditor(SyntaxMemo1);
    }
  };
  try {
    doc->LoadFile(SyntaxMemo1, doc->FileName);
  } catch (...) {
    doc->LoadIntoEditor(SyntaxMemo1);
    putBack();
    throw;
  }
  doc->WordWrap = wrap;
  doc->LoadIntoEditor(SyntaxMemo1);
  SyntaxMemo1->SetSelection(anchor, caret, false);
  SyntaxMemo1->SetTopLine(std::min<int64_t>(top, std::max<int64_t>(0, SyntaxMemo1->LineCount() - 1)));
  SyntaxMemo1->SetLeftColumn(left);
  if (!shown)
    putBack();
  else
    AttachScheme();
  SyntaxMemo1Change(this);
}
