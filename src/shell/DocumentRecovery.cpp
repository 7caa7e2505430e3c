#include "DocumentRecovery.h"

#include "CommandGuard.h"
#include "DocumentJournal.h"
#include "EditorMainForm.h"
#include "FileObject.h"
#include "JournalReader.h"
#include "Prompter.h"
#include "SyntaxMemo.h"
#include "TextStore.h"

#include <QDateTime>
#include <QTabBar>

#include <chrono>
#include <memory>

namespace {

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string TimeText(int64_t ms) {
  return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
      .toStdString();
}

// The document's name in quotes, as the messages show it.
std::string Quoted(const std::string &fileName) {
  std::string q(1, '"');
  q += fileName;
  if (fileName == NoNameFileName)
    q += " (never saved)";
  q += '"';
  return q;
}

} // namespace

std::string TDocumentRecovery::RootFolder() {
  const QByteArray folder = qgetenv("KX_RECOVERY_FOLDER");
  return folder.isEmpty() ? DefaultRecoveryFolder() : folder.toStdString();
}

TDocumentRecovery::TDocumentRecovery(TEditorMainForm *form, const std::string &root)
    : form_(form), session_(root) {
  timer_.setSingleShot(true);
  timer_.setInterval(FlushDelayMs);
  connect(&timer_, &QTimer::timeout, this, [this] { FlushAll(); });
}

// The documents are gone by now (each took its journal with it); the writer
// finishes its removals before the session folder goes.
TDocumentRecovery::~TDocumentRecovery() {
  writer_.Drain();
}

void TDocumentRecovery::Attach() {
  TSyntaxMemo *memo = form_->SyntaxMemo1;
  memo->OnTextChange = [this, previous = std::move(memo->OnTextChange)](
                           TCustomSyntaxMemo *m, int64_t start, int64_t extent) {
    if (previous)
      previous(m, start, extent);
    NoteEdit(m, start, extent);
  };
}

TFileObject *TDocumentRecovery::Journaled(TFileObject *document) {
  if (!document->Journal)
    document->Journal = std::make_unique<TDocumentJournal>(writer_, session_.NewJournalPath());
  return document;
}

void TDocumentRecovery::NoteEdit(TCustomSyntaxMemo *memo, int64_t start, int64_t extent) {
  // A load is no edit: the document it belongs to decides (a fresh file has
  // nothing to recover, a reload discards its journal).
  if (!session_.Active() || memo->Loading() || !form_->CurrentFile)
    return;
  TDocumentJournal &journal = *Journaled(form_->CurrentFile)->Journal;
  const int64_t now = NowMs();
  if (extent > 0) {
    if (extent == 1) {
      const char c = memo->CharAt(start);
      journal.NoteInsert(start, &c, 1, now);
    } else {
      const std::string text = memo->GetTextRange(start, start + extent);
      journal.NoteInsert(start, text.data(), text.size(), now);
    }
  } else if (extent < 0) {
    journal.NoteDelete(start, -extent, now);
  } else {
    journal.NoteReplaced(now);
  }
  if (!timer_.isActive())
    timer_.start();
}

void TDocumentRecovery::FlushAll() {
  timer_.stop();
  TSyntaxMemo *memo = form_->SyntaxMemo1;
  for (int i = 0; i < form_->OpenFilesTab->count(); ++i) {
    TFileObject *doc = form_->DocumentAt(i);
    if (!doc || !doc->Journal || !doc->Journal->Pending())
      continue;
    const bool shown = doc == form_->CurrentFile;
    if (!(shown ? doc->IsModifiedShown(memo) : doc->IsModifiedStored())) {
      doc->Journal->Discard();
      continue;
    }
    TJournalMark mark;
    TTextStore *store = doc->TextStore.get();
    if (shown) {
      store = memo->Store();
      mark.Anchor = memo->Anchor();
      mark.Caret = memo->Caret();
      mark.TopLine = memo->TopLine();
    } else {
      mark.Anchor = doc->Selection[0];
      mark.Caret = doc->Selection[1];
      mark.TopLine = doc->TopLine > 0 ? doc->TopLine - 1 : 0;
    }
    doc->Journal->Flush(*store, doc->FileName, mark);
  }
}

void TDocumentRecovery::NoteRestored(TFileObject *document) {
  if (!session_.Active())
    return;
  Journaled(document)->Journal->NoteReplaced(NowMs());
  if (!timer_.isActive())
    timer_.start();
}

void TDocumentRecovery::OfferRecovery() {
  if (!session_.Active())
    return;
  std::vector<TOrphanSession> orphans = FindOrphanSessions(session_.Root(), session_.Folder());
  if (orphans.empty())
    return;
  struct TEntry {
    TRecoveredJournal journal;
    std::string path;
  };
  std::vector<TEntry> usable;
  std::vector<std::string> losses, unusable;
  for (const TOrphanSession &orphan : orphans)
    for (const std::string &path : orphan.Journals()) {
      TRecoveredJournal j = ReadJournalFile(path);
      if (j.Usable)
        usable.push_back({std::move(j), path});
      else if (j.TotalBytes > 0) {
        std::string what = "a document";
        if (!j.FileName.empty())
          what = Quoted(j.FileName);
        unusable.push_back("Nothing of " + what +
                           " could be recovered: its recovery journal is damaged.");
      }
    }

  bool accepted = true;
  std::vector<bool> chosen(usable.size(), true);
  if (!usable.empty()) {
    std::vector<std::string> items;
    for (const TEntry &e : usable)
      items.push_back(Quoted(e.journal.FileName) + "  -  last edited " +
                      TimeText(e.journal.Mark.LastEditMs ? e.journal.Mark.LastEditMs
                                                         : e.journal.CreatedMs));
    accepted = Prompter().ChooseItems(
        "Recover Documents",
        "KORVEX Editor did not close properly. These documents had changes that were not "
        "saved.\rChecked documents are opened again; the others are discarded.",
        items, chosen);
  }
  // Cancelled: everything stays for the next start.
  if (!accepted)
    return;
  std::vector<TFileObject *> restored;
  for (size_t i = 0; i < usable.size(); ++i) {
    if (!chosen[i])
      continue;
    TRecoveredJournal &j = usable[i].journal;
    TFileObject *doc = form_->AddRecoveredDocument(j.FileName, std::move(j.Text), j.Mark);
    NoteRestored(doc);
    restored.push_back(doc);
    if (j.LostBytes > 0)
      losses.push_back("The recovery journal of " + Quoted(j.FileName) +
                       " is damaged: its text is restored as it was at " +
                       TimeText(j.Mark.LastEditMs ? j.Mark.LastEditMs : j.CreatedMs) +
                       ", and the changes after that are lost (" + std::to_string(j.LostBytes) +
                       " bytes of the journal could not be read).");
  }
  // The old journals go only once the restored texts are on disk in this
  // session: the writer removes them after its flushes, without the window
  // waiting for the disk.
  FlushAll();
  auto left = std::make_shared<std::vector<TOrphanSession>>(std::move(orphans));
  writer_.Then([left] {
    for (TOrphanSession &orphan : *left)
      orphan.RemoveAll();
    left->clear();
  });
  losses.insert(losses.end(), unusable.begin(), unusable.end());
  std::string report;
  for (const std::string &l : losses) {
    if (!report.empty())
      report += '\r';
    report += l;
  }
  if (!report.empty())
    MessageDlg(report, TMsgDlgType::mtWarning, mbOK);
}
