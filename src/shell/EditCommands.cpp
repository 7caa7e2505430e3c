// The main window's editing, search and navigation commands: clipboard and
// undo, case conversion, block indent, bookmarks, go to line, Search Again,
// Show all, the find and replace dialogs, and the font and property dialogs.
#include "EditCommands.h"

#include "AsmListForm.h"
#include "CommandGuard.h"
#include "EdPersistent.h"
#include "EditorMainForm.h"
#include "FindDialog.h"
#include "GotoLineDialog.h"
#include "Prompter.h"
#include "ReplaceDialog.h"
#include "Search.h"
#include "SyntaxMemo.h"
#include "SyntaxMemoStrings.h"

#include <QAction>
#include <QMenu>
#include <QPainter>

#include <algorithm>
#include <cstdint>

namespace {

char Upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

// The dialog the program created at start-up, or this window's own (a window
// made on its own, as in a test, has no program-wide dialogs).
template <class T> T *DialogOf(TEditorMainForm *window, T *const &global) {
  // The program makes its dialogs right after the first frame; a request
  // that comes earlier has them made first rather than making one of its own.
  if (!global)
    window->FinishStartUp();
  if (global)
    return global;
  if (auto *own = window->findChild<T *>(QString(), Qt::FindDirectChildrenOnly))
    return own;
  return new T(window);
}

// The bookmark number of a submenu item: the last character of its caption.
int BookmarkNumber(QObject *sender) {
  const auto *item = qobject_cast<QAction *>(sender);
  if (!item || item->text().isEmpty())
    return -1;
  const QChar last = item->text().back();
  return (last >= QLatin1Char('0') && last <= QLatin1Char('9')) ? last.unicode() - '0' : -1;
}

TFontChoice ChoiceOf(const QFont &f) {
  TFontChoice c;
  c.Name = f.family().toStdString();
  c.Size = f.pointSize() > 0 ? f.pointSize() : c.Size;
  c.Bold = f.bold();
  c.Italic = f.italic();
  c.Underline = f.underline();
  c.StrikeOut = f.strikeOut();
  return c;
}

QFont FontOf(const TFontChoice &c, QFont f) {
  f.setFamily(QString::fromStdString(c.Name));
  f.setPointSize(c.Size);
  f.setBold(c.Bold);
  f.setItalic(c.Italic);
  f.setUnderline(c.Underline);
  f.setStrikeOut(c.StrikeOut);
  return f;
}

// The control's own find and replace requests (SM_FIND without the silent
// bit, SM_REPLACE) open the window's dialogs for that control.
void ConnectSearchRequests(TEditorMainForm &f, TSyntaxMemo &editor) {
  editor.OnFindDialog = [&f](TCustomSyntaxMemo *memo, const std::string &text, uint32_t flags) {
    RunCommand([&] {
      if (auto *e = dynamic_cast<TSyntaxMemo *>(memo))
        f.FindDialog()->Execute(text, flags, f.EdPersistent.get(), e);
    });
  };
  editor.OnReplaceDialog = [&f](TCustomSyntaxMemo *memo, const std::string &text, uint32_t flags) {
    RunCommand([&] {
      if (auto *e = dynamic_cast<TSyntaxMemo *>(memo))
        f.ReplaceDialog()->Execute(text, flags, f.EdPersistent.get(), e);
    });
  };
}

// Find or Replace for an editor: the dialog starts with its selection, else
// the last search text, and the last options.
void OpenSearchDialog(TEditorMainForm &f, TSearchDialog &dialog, TSyntaxMemo &editor) {
  std::string start = editor.SelText();
  if (start.empty() && f.EdPersistent)
    start = f.EdPersistent->LastSearchText;
  dialog.Execute(start, f.EdPersistent ? f.EdPersistent->SearchOptions : 0, f.EdPersistent.get(),
                 &editor);
}

// Runs with the control's line list in update mode, whatever happens.
class TUpdating {
public:
  explicit TUpdating(TSyntaxMemo &m) : m_(m) { m_.Lines().BeginUpdate(); }
  ~TUpdating() { m_.Lines().EndUpdate(); }
  TUpdating(const TUpdating &) = delete;
  TUpdating &operator=(const TUpdating &) = delete;

private:
  TSyntaxMemo &m_;
};

} // namespace

std::string UpperCaseText(const std::string &text) {
  std::string s = text;
  for (char &c : s)
    c = Upper(c);
  return s;
}

std::string LowerCaseText(const std::string &text) {
  std::string s = text;
  for (char &c : s)
    c = Lower(c);
  return s;
}

std::string CapitaliseText(const std::string &text) {
  std::string s = LowerCaseText(text);
  if (!s.empty())
    s[0] = Upper(s[0]);
  return s;
}

int64_t LogicalLineCount(TSyntaxMemo &editor) {
  const int64_t rows = editor.LineCount();
  return rows == 0 ? 0 : editor.LogicalLineNumber(rows - 1);
}

int64_t LogicalLineOfPos(TSyntaxMemo &editor, int64_t pos) {
  return editor.LogicalLineNumber(editor.LineFromPos(pos));
}

int64_t FirstRowOfLogicalLine(TSyntaxMemo &editor, int64_t line) {
  int64_t row = 0, number = 0;
  for (TLineNode *n = editor.Store()->First(); n; n = n->Next, ++row)
    if (!(n->Marks & nmContinued) && ++number == line)
      return row;
  return editor.LineCount();
}

// ---- editor events ---------------------------------------------------------

void TEditorMainForm::ConnectEditCommands() {
  SyntaxMemo1->OnTextChange = [this](TCustomSyntaxMemo *, int64_t start, int64_t extent) {
    SyntaxMemo1TextChange(start, extent);
  };
  SyntaxMemo1->OnDrawMark = [this](TSyntaxMemo *, QPainter &dc, const QRect &rect, int mark) {
    SyntaxMemo1DrawMark(dc, rect, mark);
  };
  SyntaxMemo1->OnCommandRecognised = [this](TCustomSyntaxMemo *, int32_t &code) {
    SyntaxMemo1CommandRecognised(code);
  };
  ConnectSearchRequests(*this, *SyntaxMemo1);
}

// The listing window's editor searches through this window's dialogs too:
// its own requests and its Ctrl+F and Ctrl+R, which work as Find and Replace
// do here, for the listing's text.
void TEditorMainForm::ConnectListingSearch() {
  TASMList *listing = ASMList;
  if (!listing)
    return;
  ConnectSearchRequests(*this, *listing->SyntaxMemo);
  connect(listing->FindKey, &QAction::triggered, this, Guarded([this, listing] {
            OpenSearchDialog(*this, *FindDialog(), *listing->SyntaxMemo);
          }));
  connect(listing->ReplaceKey, &QAction::triggered, this, Guarded([this, listing] {
            OpenSearchDialog(*this, *ReplaceDialog(), *listing->SyntaxMemo);
          }));
  listing->FindKey->setEnabled(true);
  listing->ReplaceKey->setEnabled(true);
}

void TEditorMainForm::SyntaxMemo1TextChange(int64_t, int64_t) {
  // The first edit after "Show all" takes every one of its marks away. They
  // go in one removal with one repaint, so no update bracket is needed here,
  // in the middle of the edit.
  if (!ShowAllActive)
    return;
  SyntaxMemo1->RemoveMarksTagged(ShowAllTag);
  ShowAllActive = false;
}

void TEditorMainForm::SyntaxMemo1DrawMark(QPainter &aDC, const QRect &aRect, int aMark) {
  if (aMark != ShowAllTag) {
    SyntaxMemo1->DrawDefaultMark(aDC, aRect);
    return;
  }
  // Inverted colours: the rectangle exclusive-ored with white.
  aDC.save();
  aDC.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  aDC.fillRect(aRect, Qt::white);
  aDC.restore();
}

void TEditorMainForm::SyntaxMemo1CommandRecognised(int32_t &actionCode) {
  if (actionCode == 41) {
    RunCommand([this] { UndoButtonClick(SyntaxMemo1); });
    actionCode = -1;
  } else if (actionCode == 42) {
    RunCommand([this] { RedoButtonClick(SyntaxMemo1); });
    actionCode = -1;
  }
}

TEdFindDlg *TEditorMainForm::FindDialog() {
  TEdFindDlg *d = DialogOf(this, EdFindDlg);
  d->OnSearched = [this] { SyntaxMemo1Change(this); };
  return d;
}

TEdReplDlg *TEditorMainForm::ReplaceDialog() {
  TEdReplDlg *d = DialogOf(this, EdReplDlg);
  d->OnSearched = [this] { SyntaxMemo1Change(this); };
  return d;
}

void TEditorMainForm::CloseSearchDialogs() {
  for (TSearchDialog *d : findChildren<TSearchDialog *>(QString(), Qt::FindDirectChildrenOnly))
    if (d->isVisible())
      RunCommand([d] { d->reject(); });
}

TGotoLineDialog *TEditorMainForm::GotoDialog() {
  return DialogOf(this, GotoLineDialog);
}

// ---- menu states -----------------------------------------------------------

void TEditorMainForm::Edit1Click(QObject *) {
  // The buttons as the editor stands now (the clipboard may have changed
  // since the last edit), then the menu as the buttons.
  SyntaxMemo1Change(this);
  Undo1->setEnabled(UndoButton->isEnabled());
  Redo1->setEnabled(RedoButton->isEnabled());
  Paste1->setEnabled(PasteButton->isEnabled());
  Cut1->setEnabled(CutButton->isEnabled());
  Copy1->setEnabled(CopyButton->isEnabled());
  Delete1->setEnabled(SyntaxMemo1->SelLength() > 0);
}

void TEditorMainForm::PopupMenu1Popup(QObject *) {
  SyntaxMemo1Change(this);
  PopupPaste->setEnabled(PasteButton->isEnabled());
  PopupCut->setEnabled(CutButton->isEnabled());
  PopupCopy->setEnabled(CopyButton->isEnabled());
  PopupDelete->setEnabled(SyntaxMemo1->SelLength() > 0);
}

// ---- clipboard, undo, delete, select all -------------------------------------

void TEditorMainForm::UndoButtonClick(QObject *) {
  if (!SyntaxMemo1->ReadOnly())
    SyntaxMemo1->Perform(EM_UNDO);
}

void TEditorMainForm::RedoButtonClick(QObject *) {
  if (!SyntaxMemo1->ReadOnly())
    SyntaxMemo1->Perform(SM_REDO);
}

void TEditorMainForm::CutButtonClick(QObject *) {
  SyntaxMemo1->Perform(WM_CUT);
}

void TEditorMainForm::CopyButtonClick(QObject *) {
  SyntaxMemo1->Perform(WM_COPY);
}

void TEditorMainForm::PasteButtonClick(QObject *) {
  SyntaxMemo1->Perform(WM_PASTE);
}

void TEditorMainForm::Delete1Click(QObject *) {
  if (SyntaxMemo1->SelLength() > 0 && !SyntaxMemo1->ReadOnly())
    SyntaxMemo1->ReplaceSel(std::string());
}

void TEditorMainForm::SelectAll1Click(QObject *) {
  SyntaxMemo1->Perform(EM_SETSEL, 0, -1);
}

// ---- case conversion ---------------------------------------------------------

namespace {

// One replace of the selection, so one undo step; the converted text stays
// selected so that another conversion can follow. A selection that would not
// change is left alone (no undo step, no "Modified").
void ConvertSelection(TSyntaxMemo &m, std::string (*convert)(const std::string &)) {
  if (!m.SelAvail() || m.ReadOnly())
    return;
  const std::string before = m.SelText();
  const std::string after = convert(before);
  if (after == before)
    return;
  const int64_t anchor = m.Anchor(), caret = m.Caret();
  m.ReplaceSel(after);
  m.SetSelection(anchor, caret);
}

} // namespace

void TEditorMainForm::Upper1Click(QObject *) {
  ConvertSelection(*SyntaxMemo1, UpperCaseText);
}

void TEditorMainForm::Lower1Click(QObject *) {
  ConvertSelection(*SyntaxMemo1, LowerCaseText);
}

void TEditorMainForm::Capitalise1Click(QObject *) {
  ConvertSelection(*SyntaxMemo1, CapitaliseText);
}

// ---- block indent --------------------------------------------------------------

void TEditorMainForm::IndentButtonClick(QObject *) {
  if (!SyntaxMemo1->ReadOnly())
    SyntaxMemo1->Perform(SM_INDENT, 0, 0);
}

void TEditorMainForm::UndentButtonClick(QObject *) {
  if (!SyntaxMemo1->ReadOnly())
    SyntaxMemo1->Perform(SM_UNINDENT, 0, 0);
}

// ---- bookmarks -------------------------------------------------------------------

void TEditorMainForm::Bookmark91Click(QObject *Sender) {
  const int n = BookmarkNumber(Sender);
  if (n >= 0)
    SyntaxMemo1->SetBookmark(n);
}

void TEditorMainForm::Bookmark92Click(QObject *Sender) {
  const int n = BookmarkNumber(Sender);
  int64_t line = 0;
  int column = 0;
  if (n >= 0 && SyntaxMemo1->GetBookmark(n, line, column))
    SyntaxMemo1->GotoBookmark(n);
}

// ---- go to line --------------------------------------------------------------------

void TEditorMainForm::Gotolinenumber1Click(QObject *) {
  TSyntaxMemo &m = *SyntaxMemo1;
  TGotoLineDialog *d = GotoDialog();
  // Lines as the gutter numbers them, so a wrapped line counts once.
  d->Minimum = 1;
  d->Maximum = static_cast<int32_t>(std::min<int64_t>(LogicalLineCount(m) + 1, INT32_MAX));
  d->Current =
      static_cast<int32_t>(std::min<int64_t>(LogicalLineOfPos(m, m.SelStart()), INT32_MAX));
  if (!d->Execute())
    return;
  const int64_t row = FirstRowOfLogicalLine(m, d->Current);
  const int64_t pos = row >= m.LineCount() ? m.TextLength() : m.LineStart(row);
  m.SetSelection(pos, pos, false);
  m.SetLeftColumn(0, false);
  const int rows = m.viewport()->height() / std::max(1, m.LineHeight());
  m.SetTopLine(std::max<int64_t>(0, m.LineFromPos(pos) - rows / 2));
  m.Change();
  m.setFocus();
}

// ---- Search Again and Show all ---------------------------------------------------

void TEditorMainForm::Searchagain1Click(QObject *) {
  if (!EdPersistent || EdPersistent->LastSearchText.empty())
    return;
  const std::string text = EdPersistent->LastSearchText;
  const uint32_t options = EdPersistent->SearchOptions;
  SearchFromSelection(*SyntaxMemo1, text, options, TSameMatch::AsSearched, [&] {
    int64_t length = 0;
    return SyntaxMemo1->SearchAndSelect(text, options | sfSilent, length);
  });
}

void TEditorMainForm::Showall1Click(QObject *) {
  if (!EdPersistent)
    return;
  if (EdPersistent->LastSearchText.empty()) {
    // The find dialog does not block: its first search is the one that
    // "Show all" can show next time.
    Find1Click(this);
    return;
  }
  const std::string text = EdPersistent->LastSearchText;
  const uint32_t options = (EdPersistent->SearchOptions | sfSilent) & ~sfBackwards;
  TSyntaxMemo &m = *SyntaxMemo1;
  std::vector<TTextMark> marks;
  try {
    TUpdating updating(m);
    // Marks of an earlier "Show all" go first: inverted twice they would vanish.
    m.RemoveMarksTagged(ShowAllTag);
    m.SetSelection(0, 0, false);
    m.FindEach(text, options, 0, [&](const TSearchMatch &match) {
      marks.push_back({match.Start, match.Start + match.Length, ShowAllTag});
      return true;
    });
    m.AddMarks(marks);
    if (!marks.empty())
      m.SetSelection(marks.back().End, marks.back().End, false);
  } catch (const ERegExpError &e) {
    ShowSearchError(e.what());
    return;
  }
  ShowAllActive = true;
  m.Change();
}

// ---- the find and replace dialogs -----------------------------------------------

void TEditorMainForm::Find1Click(QObject *) {
  OpenSearchDialog(*this, *FindDialog(), *SyntaxMemo1);
}

void TEditorMainForm::Replace1Click(QObject *) {
  OpenSearchDialog(*this, *ReplaceDialog(), *SyntaxMemo1);
}

// ---- fonts and properties ---------------------------------------------------------

void TEditorMainForm::Font1Click(QObject *) {
  TFontChoice choice = ChoiceOf(SyntaxMemo1->Font());
  if (Prompter().FontDialog(choice))
    SyntaxMemo1->SetFont(FontOf(choice, SyntaxMemo1->Font()));
}

void TEditorMainForm::LineNumberFont1Click(QObject *) {
  TFontChoice choice = ChoiceOf(SyntaxMemo1->GutterFont());
  if (Prompter().FontDialog(choice))
    SyntaxMemo1->SetGutterFont(FontOf(choice, SyntaxMemo1->GutterFont()));
}

void TEditorMainForm::Properties1Click(QObject *) {
  SyntaxMemo1->ModifyProperties();
}
