// TFileObject: one open document, the object of its tab. While another
// document is shown, the record holds this document's text store (with its
// undo history and bookmarks), its selection, top line and layout state; a tab
// switch moves whole stores between the editor and the records.
#pragma once

#include "DiskStamp.h"

#include <cstdint>
#include <memory>
#include <string>

class TDocumentJournal;
class TSyntaxMemo;
class TSyntaxMemoParser;
class TTextStore;

inline constexpr const char *NoNameFileName = "No_name.bas";

class TFileObject {
public:
  TFileObject();
  ~TFileObject();
  TFileObject(const TFileObject &) = delete;
  TFileObject &operator=(const TFileObject &) = delete;

  // The document's store while it is not shown; a spare empty one while it is.
  std::unique_ptr<TTextStore> TextStore;
  int32_t Selection[2] = {0, 0}; // anchor, caret
  int32_t TopLine = 0;           // first visible line, from 1
  std::string SchemeName;
  std::string FileName = NoNameFileName;
  intptr_t SavedRecord = 0; // serial of the undo entry at the cursor when saved
  int64_t SavedCount = 0;
  std::string FontName = "Courier New";
  int32_t FontSize = 10;
  uint8_t FontCharset = 1;
  int32_t ClientWidth = 0;
  uint32_t WrapColumn = 0;
  bool WordWrap = false;
  bool ShowAllActive = false;
  // The file was loaded with LF line breaks only: it is saved with LF again
  // (the control's sfUNIX format), every other document with CR LF.
  bool UnixLineBreaks = false;
  // The file as it was on disk when last loaded or saved.
  TDiskStamp DiskStamp;
  // The crash-recovery journal of unsaved edits (none until the first edit);
  // removed with the record.
  std::unique_ptr<TDocumentJournal> Journal;

  void StoreFromEditor(TSyntaxMemo *editor);
  void LoadIntoEditor(TSyntaxMemo *editor);
  // Raises the editor's load error; the editor then keeps what it showed.
  void LoadFile(TSyntaxMemo *editor, const std::string &path);
  void ClearIntoEditor(TSyntaxMemo *editor);
  // Writes the editor's text to path through a temporary file renamed over
  // it, and takes the save point. A failure leaves the file on disk, the
  // record and the undo history as they were.
  void SaveFile(TSyntaxMemo *editor, const std::string &path);
  bool IsModifiedShown(TSyntaxMemo *editor) const;
  bool IsModifiedStored() const;
  // Modified until the next save, whatever undo does (a recovered text, a
  // file deleted on disk).
  void MarkModified() { SavedCount = -1; }

private:
  // The save point: the undo history of the document's own store as it is now.
  void TakeSavePoint();
};

// The schemes the documents are shown with ("TARNIC" for BASIC), loaded once
// from their stored forms.
TSyntaxMemoParser *FindScheme(const std::string &name);
// The program's built-in schemes, loaded from their stored form at first use.
class TParserRepository;
TParserRepository &ProgramRepository();
