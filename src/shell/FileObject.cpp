#include "FileObject.h"

#include "DocumentJournal.h"
#include "EmbeddedSchemes.h"
#include "KorvexError.h"
#include "ParserRepository.h"
#include "SafeSave.h"
#include "Streams.h"
#include "SyntaxMemo.h"
#include "TextStore.h"
#include "UndoStack.h"

#include <QScrollBar>

TParserRepository &ProgramRepository() {
  static TParserRepository repository(EmbeddedStoredSchemes());
  return repository;
}

namespace {

int32_t ToInt32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

bool IsModified(const TUndoStack *u, int64_t savedCount, intptr_t savedRecord) {
  if (!u)
    return true;
  if (u->DoneCount() != savedCount)
    return true;
  // The entry's serial, not its record's address: the memory of a record
  // undone and discarded soon holds another one, which is not the save.
  const auto atCursor = static_cast<intptr_t>(u->CursorSerial());
  return u->DoneCount() > 0 && atCursor != savedRecord;
}

// Holds the editor in update mode and its change event off for a scope.
class TQuietEditor {
public:
  explicit TQuietEditor(TSyntaxMemo *m, bool silence) : m_(m), wasUpdating_(m->Updating()) {
    if (silence)
      std::swap(saved_, m_->OnChange);
    m_->SetUpdating(true);
  }
  void ResumeNotifications() {
    if (saved_)
      m_->OnChange = std::move(saved_);
    saved_ = nullptr;
  }
  ~TQuietEditor() {
    ResumeNotifications();
    m_->SetUpdating(wasUpdating_);
  }

private:
  TSyntaxMemo *m_;
  bool wasUpdating_;
  TNotifyEvent saved_;
};

} // namespace

TSyntaxMemoParser *FindScheme(const std::string &name) {
  if (name.empty())
    return nullptr;
  if (TSyntaxMemoParser *p = ProgramRepository().Component(name))
    return p;
  return ProgramRepository().Find(name);
}

TFileObject::TFileObject() : TextStore(std::make_unique<TTextStore>()) {}

TFileObject::~TFileObject() = default;

void TFileObject::StoreFromEditor(TSyntaxMemo *editor) {
  TTextStore *shown = nullptr;
  editor->Perform(SM_TEXTSTORE, 0, reinterpret_cast<intptr_t>(&shown));
  TSMPoint sel;
  editor->Perform(SM_SELECTION, 0, reinterpret_cast<intptr_t>(&sel));
  Selection[0] = sel.X;
  Selection[1] = sel.Y;
  TopLine = ToInt32(editor->Perform(SM_TOPLINE, 0, 0) + 1);
  if (shown != TextStore.get()) {
    editor->Perform(SM_TEXTSTORE, 1, reinterpret_cast<intptr_t>(TextStore.get()));
    (void)TextStore.release();
    TextStore.reset(shown);
  }
  FileName = editor->Title;
  WordWrap = editor->WordWrap();
  if (const TSyntaxMemoParser *p = editor->Parser()) {
    FontName = p->Settings.FontName;
    FontSize = p->Settings.FontSize;
  } else {
    FontName = editor->Font().family().toStdString();
    FontSize = editor->Font().pointSize();
  }
  FontCharset = 1; // the toolkit's fonts carry no character set
  WrapColumn = static_cast<uint32_t>(editor->WrapAtColumn()) & 0xFFFF;
  ClientWidth = editor->viewport()->width();
}

void TFileObject::LoadIntoEditor(TSyntaxMemo *editor) {
  TQuietEditor quiet(editor, true);
  editor->SetParser(nullptr);
  TSyntaxMemoParser *scheme = FindScheme(SchemeName);
  if (scheme) {
    if (WordWrap)
      scheme->Settings.Options |= static_cast<int32_t>(smoWordWrap);
    else
      scheme->Settings.Options &= ~static_cast<int32_t>(smoWordWrap);
  }
  editor->SetParser(scheme);

  TTextStore *shown = nullptr;
  editor->Perform(SM_TEXTSTORE, 0, reinterpret_cast<intptr_t>(&shown));
  if (shown != TextStore.get()) {
    editor->Perform(SM_TEXTSTORE, 1, reinterpret_cast<intptr_t>(TextStore.get()));
    (void)TextStore.release();
    TextStore.reset(shown);
  }
  TSMPoint sel;
  sel.X = Selection[0];
  sel.Y = Selection[1];
  editor->Perform(SM_SELECTION, smsSet | smsNoNotify, reinterpret_cast<intptr_t>(&sel));
  editor->Perform(SM_TOPLINE, 1, TopLine > 0 ? TopLine - 1 : 0);
  editor->Title = FileName;
  quiet.ResumeNotifications();

  bool stale = false;
  if (WordWrap) {
    const int width = editor->viewport()->width();
    if (scheme) {
      const TSM_Settings &s = scheme->Settings;
      const uint32_t col = static_cast<uint32_t>(std::max(0, s.Numeric[nsWordWrapColumn]));
      stale = s.FontName != FontName || s.FontSize != FontSize || col != WrapColumn ||
              (col == 0 && width != ClientWidth);
    } else {
      const uint32_t col = static_cast<uint32_t>(editor->WrapAtColumn());
      stale = editor->Font().family().toStdString() != FontName ||
              editor->Font().pointSize() != FontSize || col != WrapColumn ||
              (col == 0 && width != ClientWidth);
    }
  }
  if (stale) {
    editor->SetWordWrap(false);
    editor->SetWordWrap(true);
  }
}

void TFileObject::LoadFile(TSyntaxMemo *editor, const std::string &path) {
  // Taken before the load: a change made while it reads is seen later.
  const TDiskStamp stamp = TDiskStamp::Of(path);
  {
    TQuietEditor quiet(editor, false);
    TSyntaxMemoParser *scheme = FindScheme("TARNIC");
    // The load builds the new text aside and raises before touching the old
    // one, so nothing is cleared first.
    editor->SetParser(nullptr);
    editor->SetWordWrap(false);
    try {
      editor->LoadFromFile(path);
    } catch (...) {
      editor->SetParser(scheme);
      throw;
    }
    editor->Title = path;
    UnixLineBreaks = editor->LoadedUnixLineBreaks;
    SchemeName = scheme ? scheme->Name : std::string();
    WordWrap = false;
    editor->SetParser(scheme);
    if (scheme) {
      FontName = scheme->Settings.FontName;
      FontSize = scheme->Settings.FontSize;
    }
    WrapColumn = static_cast<uint32_t>(editor->WrapAtColumn()) & 0xFFFF;
    ClientWidth = editor->viewport()->width();
  }
  StoreFromEditor(editor);
  TakeSavePoint();
  DiskStamp = stamp;
  if (Journal)
    Journal->Discard();
}

void TFileObject::ClearIntoEditor(TSyntaxMemo *editor) {
  {
    TQuietEditor quiet(editor, false);
    editor->Title = FileName;
    editor->Perform(WM_SETTEXT, 0, 0);
    editor->ClearUndo();
  }
  StoreFromEditor(editor);
  TakeSavePoint();
}

void TFileObject::TakeSavePoint() {
  const TUndoStack *u = TextStore->UndoStack();
  SavedCount = u ? u->DoneCount() : 0;
  SavedRecord = u ? static_cast<intptr_t>(u->CursorSerial()) : 0;
}

void TFileObject::SaveFile(TSyntaxMemo *editor, const std::string &path) {
  // The editor's save clears the undo history of the store it writes; the
  // history is taken away for the write and given back after it.
  auto *stack = reinterpret_cast<TUndoStack *>(editor->Perform(SM_UNDOSTACK, 0, 0));
  editor->Perform(SM_UNDOSTACK, 1, 0);
  const TSaveFormat format = editor->SaveFormat;
  editor->SaveFormat = UnixLineBreaks ? sfUNIX : sfTEXT;
  try {
    SaveFileSafely(path, [editor](TStream &s) { editor->SaveToStream(&s); });
  } catch (...) {
    editor->SaveFormat = format;
    editor->Perform(SM_UNDOSTACK, 1, reinterpret_cast<intptr_t>(stack));
    throw;
  }
  editor->SaveFormat = format;
  editor->Perform(SM_UNDOSTACK, 1, reinterpret_cast<intptr_t>(stack));
  FileName = path;
  editor->Title = path;
  SavedCount = stack ? stack->DoneCount() : 0;
  SavedRecord = stack ? static_cast<intptr_t>(stack->CursorSerial()) : 0;
  DiskStamp = TDiskStamp::Of(path);
  // Saved: nothing is left to recover.
  if (Journal)
    Journal->Discard();
}

bool TFileObject::IsModifiedShown(TSyntaxMemo *editor) const {
  if (!editor)
    return true;
  const auto *u = reinterpret_cast<const TUndoStack *>(editor->Perform(SM_UNDOSTACK, 0, 0));
  return IsModified(u, SavedCount, SavedRecord);
}

bool TFileObject::IsModifiedStored() const {
  return IsModified(TextStore ? TextStore->UndoStack() : nullptr, SavedCount, SavedRecord);
}
