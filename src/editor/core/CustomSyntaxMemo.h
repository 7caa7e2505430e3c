// The editor control without its toolkit: the shown text store, selection,
// replace-selection with undo logging, load and save, change notification and
// the message protocol through which the program drives the control.
#pragma once

#include "EditorView.h"
#include "Highlighter.h"
#include "Messages.h"
#include "TextStore.h"
#include "UndoStack.h"

#include "Clipboard.h"
#include "CodeTemplates.h"
#include "KeyMap.h"
#include "Search.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TStream;
class TSyntaxMemoStrings;

enum TSaveFormat : int32_t { sfTEXT = 0, sfRTF = 1, sfHTML = 2, sfUNIX = 3 };

// Options as the internal bit mask.
constexpr uint32_t smoLineNumbers = 0x1;
constexpr uint32_t smoSyntaxHighlight = 0x10;
constexpr uint32_t smoPrintWrap = 0x20;
constexpr uint32_t smoPrintLineNos = 0x40;
constexpr uint32_t smoPrintFilename = 0x80;
constexpr uint32_t smoPrintDate = 0x100;
constexpr uint32_t smoPrintPageNos = 0x200;
constexpr uint32_t smoWordWrap = 0x400;
constexpr uint32_t smoAutoIndent = 0x800;
constexpr uint32_t smoTabToColumn = 0x1000;
constexpr uint32_t smoWrapOverride = 0x2000;
constexpr uint32_t smoWordSelect = 0x4000;
constexpr uint32_t smoShowRMargin = 0x8000;
constexpr uint32_t smoShowGutter = 0x10000;
constexpr uint32_t smoShowWrapColumn = 0x20000;
constexpr uint32_t smoTitleAsFilename = 0x40000;
constexpr uint32_t smoProcessDroppedFiles = 0x80000;
constexpr uint32_t smoBlockOverwriteCursor = 0x100000;
constexpr uint32_t smoShowWrapGlyph = 0x200000;
constexpr uint32_t smoColumnTrack = 0x400000;
constexpr uint32_t smoUseTAB = 0x800000;
constexpr uint32_t smoSmartFill = 0x1000000;
constexpr uint32_t smoOLEDragSource = 0x2000000;
constexpr uint32_t smoShowAllChars = 0x4000000;
constexpr uint32_t smoCaretAfterEOL = 0x8000000;

// Change reasons.
constexpr uint32_t crSelection = 0x1;
constexpr uint32_t crText = 0x2;
constexpr uint32_t crSize = 0x4;
constexpr uint32_t crFont = 0x8;
constexpr uint32_t crOptions = 0x10;
constexpr uint32_t crKeyPress = 0x20; // every key press, so modes and pending keys show at once

// LogTransaction requests.
constexpr int ltText = 1;
constexpr int ltGroupStart = 2;
constexpr int ltGroupEnd = 3;
constexpr int ltStream = 4;
constexpr int ltEnable = 6;
constexpr int ltDisable = 7;
constexpr int ltClear = 8;
constexpr int ltRemoveBlanks = 9;
constexpr int ltInsertAt = 10;
constexpr int ltBegin = 1; // phases of requests 1 and 4
constexpr int ltEnd = 2;

// Group kinds the control uses.
constexpr int ugDragMove = 13;
constexpr int ugTyping = 14;
constexpr int ugCommand = 15;
constexpr int ugPaste = 16;
constexpr int ugCut = 17;
constexpr int ugTemplate = 18;
constexpr int ugIndent = 19;
constexpr int ugUnindent = 20;
constexpr int ugReplace = 23;
constexpr int ugReplaceSel = 24;
constexpr int ugCompound = 34;

// Data of requests 9 and 10: characters removed at / inserted at a position.
struct TLogPosText {
  int64_t Position = 0;
  const char *Text = nullptr;
  size_t Length = 0;
};

class TCustomSyntaxMemo;
using TNotifyEvent = std::function<void(TCustomSyntaxMemo *)>;
using TTextEvent = std::function<void(TCustomSyntaxMemo *, int64_t start, int64_t extent)>;
using TKeyboardActionEvent = std::function<void(TCustomSyntaxMemo *, int32_t &actionCode)>;
using TDataDropEvent = std::function<void(TCustomSyntaxMemo *, int &sourceTypes)>;
// TSM_Clipformat set of ClipCopyFormats.
constexpr uint32_t smTEXT = 0x1;
constexpr uint32_t smRTF = 0x2;

class TCustomSyntaxMemo {
public:
  TCustomSyntaxMemo();
  virtual ~TCustomSyntaxMemo();
  TCustomSyntaxMemo(const TCustomSyntaxMemo &) = delete;
  TCustomSyntaxMemo &operator=(const TCustomSyntaxMemo &) = delete;

  // The single entry point of the message protocol (see Messages.h).
  intptr_t Perform(uint32_t msg, intptr_t wParam = 0, intptr_t lParam = 0);

  // --- Store ---
  TTextStore *Store() const { return store_; }
  // Shows another store; the caller keeps the previous one (read it first).
  void AttachStore(TTextStore *store);

  // --- Selection (positions in stored characters) ---
  int64_t Anchor() const { return anchor_; }
  int64_t Caret() const { return caret_; }
  // Clamps both to 0..TextLength; notify = false: no repaint and no OnChange.
  void SetSelection(int64_t anchor, int64_t caret, bool notify = true);
  void SelectAll() { SetSelection(0, TextLength()); }
  int64_t SelStart() const { return anchor_ < caret_ ? anchor_ : caret_; }
  int64_t SelEnd() const { return anchor_ < caret_ ? caret_ : anchor_; }
  void SetSelStart(int64_t value) { SetSelection(value, value); }
  // Under lsCRLF each line break inside the selection counts 2.
  int64_t SelLength();
  void SetSelLength(int64_t value) { SetSelection(anchor_, SelStart() + value); }
  bool SelAvail() const { return anchor_ != caret_; }
  std::string SelText();

  // Replaces the selection (logged for undo in group 24); raw bytes are
  // normalised. The caret ends after the inserted text.
  void ReplaceSel(const char *text, size_t len, bool repaint = true);
  void ReplaceSel(const std::string &text, bool repaint = true) {
    ReplaceSel(text.data(), text.size(), repaint);
  }
  // Edits without undo logging or selection change, with every other
  // consequence (lists shifted, OnTextChange, changed line). For block indent.
  void RawInsert(int64_t pos, const char *text, size_t len);
  void RawDelete(int64_t pos, int64_t count);

  // --- Text access ---
  int64_t TextLength() const { return store_->CharCount(); }
  std::string Text(); // stored text (CR line breaks)
  std::string GetTextRange(int64_t start, int64_t end) { return store_->GetText(start, end); }
  char CharAt(int64_t pos) { return store_->CharAt(pos); }
  // Text with line breaks per SelLineStyle.
  std::string GetTextLS();
  int64_t LineCount() const { return store_->LineCount(); }
  int64_t LineFromPos(int64_t pos) { return store_->LineOfPos(pos); }
  int64_t LineStart(int64_t line) { return store_->LineStart(line); }
  // Characters of the line without its CR (0 past the end).
  int LineLength(int64_t line);
  std::string LineText(int64_t line);
  // Visual column of a position, and the position of a column on a line.
  int PosToColumn(int64_t pos);
  int64_t ColumnToPos(int64_t line, int column);
  TTabStops &Tabs() { return tabs_; }
  void SetTabColumns(const std::string &text) { tabs_.SetColumns(text); }
  std::string TabColumns() const { return tabs_.Columns(); }
  void SetTabDefault(int value) { tabs_.SetDefault(value); }
  int TabDefault() const { return tabs_.Default(); }

  // --- Undo ---
  // Requests 1..10 (see UndoStack.h); data as each request takes it.
  void LogTransaction(int request, int kindOrPhase, const void *data);
  void BeginGroup(int kind);
  void EndGroup(int kind);
  bool CanUndo() const;
  bool CanRedo() const;
  void Undo();
  void Redo();
  void ClearUndo() { LogTransaction(ltClear, 0, nullptr); }
  bool Undoing() const { return undoing_; }
  bool LoggingEnabled() const { return logging_; }
  bool Modified() const;
  // False clears the history; true does nothing.
  void SetModified(bool value);

  // --- Load and save ---
  void LoadFromStream(TStream &stream);
  void LoadFromFile(const std::string &name);
  void SaveToStream(TStream *stream);
  void SaveToFile(const std::string &name);
  // Inserts the stream's remaining bytes at the selection (logged, kind 4).
  void InsertStream(TStream &stream);
  // Writes the selection in a format; returns the bytes the stream took.
  int64_t WriteSelection(TStream &stream, TSaveFormat format);
  TSaveFormat SaveFormat = sfTEXT;
  // Every line break of the last loaded text was a lone LF (and there was at
  // least one): the text came from a Unix file.
  bool LoadedUnixLineBreaks = false;
  TSelLineStyle SelLineStyle() const { return store_->LineStyle; }
  void SetSelLineStyle(TSelLineStyle s) { store_->LineStyle = s; }
  std::string Title; // the print title / file name property

  // --- State ---
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value);
  uint32_t OptionsMask() const { return options_; }
  void SetOptionsMask(uint32_t mask);
  bool Loading() const { return loading_; }
  bool Updating() const { return updating_; }
  void SetUpdating(bool value);
  bool Redraw() const { return redraw_; }
  void SetRedraw(bool value);

  // --- View ---
  // Not owned; null gives the default 80 by 40 view.
  void SetView(TEditorView *view) { view_ = view ? view : &defaultView_; }
  TEditorView *View() const { return view_; }
  int64_t TopLine() const { return topLine_; }
  void SetTopLine(int64_t line, bool repaint = true);
  int LeftColumn() const { return leftColumn_; }
  void SetLeftColumn(int column, bool repaint = true);
  // Client point of a position and the position under a point (-1 outside).
  TSMPoint PosFromChar(int64_t pos);
  int64_t CharFromPos(TSMPoint pt);

  // --- Highlighting and styles ---
  THighlighter *Highlighter = nullptr; // not owned
  uint32_t DefTextColor = 0x000000;
  uint32_t DefBackColor = 0xFFFFFF;
  uint8_t DefFontStyle = 0;
  std::string FontName = "Courier New";
  int FontSize = 10;
  virtual void ApplySettings();

  // --- Change notification ---
  void Change();
  void AddChangeReason(uint32_t reason) { reasons_ |= reason; }
  uint32_t ChangeReasons() const { return reasons_; }
  // First changed line (-1 none); marking keeps the smallest.
  void MarkChangedLine(int64_t line);
  int64_t ChangedLine() const { return changedLine_; }
  void ClearChangedLine() { changedLine_ = -1; }
  TNotifyEvent OnChange;
  TTextEvent OnTextChange;

  // The Lines adapter.
  TSyntaxMemoStrings &Lines() { return *lines_; }

  static const char *VersionText();

  // --- Editing engine (caret, commands, typing, clipboard, search) ---
  // The messages the engine answers call these; their bodies live in the
  // engine's files (EditEngine*.cpp).
  void CutToClipboard();
  void CopyToClipboard();
  void PasteFromClipboard();
  bool CanPaste(intptr_t format);
  int64_t FindText(uint32_t flags, const char *pattern);
  void ReplaceDialog(uint32_t flags);
  void IndentBlock(int count, bool allowTab);
  void UnindentBlock(int count);
  void LineScroll(int columns, int64_t lines);
  void ScrollCaret();

  // Keyboard: the key-down handler (key = virtual key plus scShift/scCtrl/scAlt
  // bits) returns true when the key was used and must type nothing; the
  // character handler types what a key produced.
  bool KeyDown(uint16_t key);
  void KeyPress(char c);
  // Runs one key-map command; count 0 means once; extend = Shift held.
  void ExecuteCommand(int32_t code, int count = 0, bool extend = false);
  // Not owned; null uses the process-wide default map.
  void SetKeyMap(TKeyboardActionContoller *map) { keyMap_ = map; }
  TKeyboardActionContoller &KeyMap() const { return keyMap_ ? *keyMap_ : DefaultKeyMap(); }
  // The first key of a two-key sequence waiting for its second (0: none).
  uint16_t PendingKey() const { return pendingKey_; }
  // Abandons a waiting sequence (the control lost the focus).
  void ResetPendingKey();
  // Sees every key first; may change it (0 swallows it).
  std::function<void(TCustomSyntaxMemo *, uint16_t &key)> OnKeyDown;
  TKeyboardActionEvent OnCommandRecognised;

  // The options as a set of the internal bits (through SM_OPTIONS).
  uint32_t Options() { return static_cast<uint32_t>(Perform(SM_OPTIONS, 0, 0)); }
  void SetOptions(uint32_t options) { Perform(SM_OPTIONS, 1, static_cast<intptr_t>(options)); }
  bool WordWrap() { return (Options() & smoWordWrap) != 0; }
  void SetWordWrap(bool on) { SetOptions(on ? Options() | smoWordWrap : Options() & ~smoWordWrap); }

  // Caret state beyond the selection.
  bool InsertMode() const { return insertMode_; }
  void SetInsertMode(bool value);
  bool WantTab = true;
  bool WantReturns = true;
  int IndentStep() const { return indentStep_; }
  void SetIndentStep(int value) {
    if (value >= 1 && value <= 19)
      indentStep_ = value;
  }
  // The caret stands beyond its line's end (only with smoCaretAfterEOL).
  bool CaretIsVirtual();
  // Visual column of the caret, virtual space included.
  int CaretColumn();
  // Puts the caret at a visual column of a line (mouse clicks); beyond the
  // line's end only with smoCaretAfterEOL.
  void SetCaretAtColumn(int64_t line, int column, bool extend = false);
  TCharTest fn_CharStartsWord;
  TCharTest fn_CharIsInWord;
  bool CharStartsWord(char c) const {
    return fn_CharStartsWord ? fn_CharStartsWord(c) : DefaultCharStartsWord(c);
  }
  bool CharIsInWord(char c) const {
    return fn_CharIsInWord ? fn_CharIsInWord(c) : DefaultCharIsInWord(c);
  }
  // Word boundaries used by word movement, deletion and selection.
  int64_t WordLeftOf(int64_t pos);
  int64_t WordRightOf(int64_t pos);
  void SelectWordAt(int64_t pos);

  // Clipboard. Plain text travels with LF line breaks.
  TClipboard *Clipboard = nullptr; // not owned; none: the commands do nothing
  uint32_t ClipCopyFormats = smTEXT | smRTF;
  TDataDropEvent OnDataDrop;

  // Search for the find and replace dialogs: searches from the selection,
  // selects the match and gives its length; false when nothing was found.
  bool SearchAndSelect(const std::string &pattern, uint32_t flags, int64_t &matchLength);
  // The same, giving the text to put in place of the match (groups filled in
  // for a regular expression).
  bool SearchForReplace(const std::string &pattern, const std::string &replacement,
                        uint32_t flags, std::string &toInsert);
  // Every match of a forward search from `from` on, as searching again from
  // the end of each match would find them one by one, without touching the
  // selection; f returns false to stop. Returns the number of matches.
  int64_t FindEach(const std::string &pattern, uint32_t flags, int64_t from,
                   const std::function<bool(const TSearchMatch &)> &f);
  // The next search from pos takes no empty match there: called after an
  // empty match was replaced, so that a replace-all run moves past it.
  void SkipEmptyMatchAt(int64_t pos) { lastEmptyMatch_ = pos; }
  // The control's own dialogs (SM_FIND without the silent bit, SM_REPLACE).
  std::function<void(TCustomSyntaxMemo *, const std::string &text, uint32_t flags)> OnFindDialog;
  std::function<void(TCustomSyntaxMemo *, const std::string &text, uint32_t flags)> OnReplaceDialog;

  // Code templates and auto-replace.
  std::vector<TSM_CodeTemplate> CodeTemplates;
  std::vector<TSM_AutoReplace> AutoReplaceList;
  uint16_t TemplateHotKey = kDefaultTemplateHotKey;
  // Expands the template named before the caret; otherwise offers the list
  // through OnTemplateList. Returns true when one was expanded.
  bool ExpandCodeTemplate();
  // Inserts a template chosen from the list in place of the word before the caret.
  void InsertCodeTemplate(int index);
  std::function<void(TCustomSyntaxMemo *, const std::vector<int> &candidates,
                     const std::string &word)>
      OnTemplateList;

  // Numbered bookmarks 0..9. Given lines and columns are 1-based character
  // positions (below 1 counts as 1); -1 takes the caret's. GetBookmark gives
  // the 0-based line and the stored 1-based column.
  void SetBookmark(int n, int64_t line = -1, int column = -1);
  void GotoBookmark(int n);
  bool GetBookmark(int n, int64_t &line, int &column);
  std::function<void(TCustomSyntaxMemo *, int index)> OnBookmarkSet;
  std::function<void(TCustomSyntaxMemo *, int index)> OnBookmarkClear;
  // Command 44.
  TNotifyEvent OnPrintSelection;

private:
  // Engine helpers.
  int64_t LastLine();
  int64_t LineEndPos(int64_t line);
  bool AtLineEnd(int64_t pos);
  bool IsWordStart(int64_t pos);
  void MoveCaret(int64_t pos, bool extend, bool keepColumn = false);
  void MoveVertically(int64_t lines, bool extend);
  void MoveToVirtual(int64_t linePos, int column, bool extend);
  std::string BlankFill(int from, int to);
  int TabTarget(int64_t line, int column);
  int AutoIndentColumn(int64_t line, int caretColumn);
  void TypeChar(char c);
  void TypeText(const std::string &text);
  void FillVirtualSpace();
  void DeleteRange(int64_t start, int64_t end);
  bool TryAutoReplace();
  void ApplyTemplate(const TSM_CodeTemplate &t, int64_t replaceCount);
  int64_t LogicalLineStart(int64_t pos);
  int64_t NextLogicalLineStart(int64_t lineStart);
  TTextSearcher &Searcher(const std::string &pattern, uint32_t flags);
  bool SearchFromSelection(const std::string &pattern, uint32_t flags, TSearchMatch &m,
                           TTextSearcher *&used);
  void SelectFound(const TSearchMatch &m);

  TKeyboardActionContoller *keyMap_ = nullptr;
  uint16_t pendingKey_ = 0;
  std::string lastPattern_; // lastSearch_ was compiled from these
  uint32_t lastFlags_ = 0;
  int64_t lastEmptyMatch_ = -1; // where the last search found an empty match
  bool insertMode_ = true;
  int indentStep_ = 2;
  // Virtual caret: valid while the caret still stands at vcPos_, a line end.
  int vcColumn_ = -1;
  int64_t vcPos_ = -1;
  // Remembered column of vertical movement: valid while the caret stays at rcPos_.
  int rcColumn_ = -1;
  int64_t rcPos_ = -1;
  std::unique_ptr<TTextSearcher> lastSearch_;

public:
  // --- end of the editing engine section ---

protected:
  void SetStoreSelection(int64_t anchor, int64_t caret);
  // Store edits with the notifications every edit sends.
  void DoInsert(int64_t pos, const char *normalised, size_t len);
  void DoDelete(int64_t pos, int64_t count);
  // The unlogged core of ReplaceSel: inserts in pieces of kInsertPiece.
  void ReplaceSelRaw(const char *text, size_t len);
  void UndoStep(bool redo);
  // Writes the open group's start bracket before its first change.
  void FlushGroupStart();
  // Runs after each undo or redo step inside a group (the widget highlights).
  virtual void UndoStepDone() {}
  void Beep() { view_->Beep(); }
  // A failure a message cannot raise (SM_FIND's bad regular expression); the
  // widget shows it to the user.
  virtual void ShowErrorMessage(const std::string &text) { (void)text; }
  void Repaint();

private:
  TTextStore *store_ = nullptr;
  std::unique_ptr<TTextStore> ownStore_; // until another store is attached
  std::unique_ptr<TSyntaxMemoStrings> lines_;
  TEditorView defaultView_;
  TEditorView *view_ = &defaultView_;
  TTabStops tabs_;
  int64_t anchor_ = 0;
  int64_t caret_ = 0;
  int64_t topLine_ = 0;
  int leftColumn_ = 0;
  uint32_t options_ = smoSyntaxHighlight | smoShowGutter | smoAutoIndent;
  uint32_t reasons_ = 0;
  int64_t changedLine_ = -1;
  bool readOnly_ = false;
  bool loading_ = false;
  bool destroying_ = false;
  bool updating_ = false;
  bool redraw_ = true;
  bool undoing_ = false;
  bool logging_ = true;
  // The open transaction (requests 1 and 4, phase 1).
  bool txOpen_ = false;
  int txKind_ = 0;
  int64_t txAnchor_ = 0, txCaret_ = 0;
  std::string txRemoved_;
  std::string txInserted_;
  TStream *txStream_ = nullptr;
  // A group begun but not yet written (nothing changed in it so far).
  bool groupPending_ = false;
  int64_t groupAnchor_ = 0, groupCaret_ = 0;
};
