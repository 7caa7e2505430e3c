// Crash recovery for the main window: every edit of an open document goes to
// its journal, which is written within a second (on a thread of its own, in
// small appends); at start-up the journals of a copy that ended without
// closing are offered back, and the chosen documents reopen with their text
// exactly as it was, marked modified.
#pragma once

#include "JournalWriter.h"
#include "RecoverySession.h"

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <string>

class TCustomSyntaxMemo;
class TEditorMainForm;
class TFileObject;

class TDocumentRecovery : public QObject {
public:
  // Journals go to a session under `root` (the user's state folder unless
  // KX_RECOVERY_FOLDER names another).
  explicit TDocumentRecovery(TEditorMainForm *form, const std::string &root = RootFolder());
  ~TDocumentRecovery() override;

  static std::string RootFolder();

  // Wires the window's editor so that every edit is noted.
  void Attach();
  // Writes what was noted of every document now (the timer does it within a
  // second of an edit).
  void FlushAll();
  // Lists what a copy that ended without closing left behind, restores the
  // documents the user chooses and reports what a damaged journal lost.
  void OfferRecovery();
  // A document that came back: its whole text goes to a journal of its own.
  void NoteRestored(TFileObject *document);

  TJournalWriter &Writer() { return writer_; }
  const TRecoverySession &Session() const { return session_; }
  // Milliseconds between an edit and its journal write.
  static constexpr int FlushDelayMs = 1000;

private:
  void NoteEdit(TCustomSyntaxMemo *memo, int64_t start, int64_t extent);
  TFileObject *Journaled(TFileObject *document);

  TEditorMainForm *form_;
  TRecoverySession session_;
  TJournalWriter writer_;
  QTimer timer_;
};
