// The main window's editing and navigation commands end to end: real key
// events on the editor reach the menu shortcuts, questions and messages go
// through the scripted prompter, and the pixels show the "Show all" marks.
#include "EditTestFixture.h"

#include "EditorOptionsDialog.h"

#include <QMenu>

using namespace kxedit;

namespace {

class EditCommands : public EditTest {};

// A text of `lines` numbered lines.
std::string Numbered(int lines) {
  std::string s;
  for (int i = 1; i <= lines; ++i)
    s += "line " + std::to_string(i) + "\r\n";
  return s;
}

} // namespace

TEST_F(EditCommands, CaseConversionsChangeOnlyLettersInOneUndoStepAndKeepTheSelection) {
  SetDoc("x <hELLO wORLD> y");
  Key(Qt::Key_F5); // Capitalise
  EXPECT_EQ(Doc(), "x <Hello world> y");
  Key(Qt::Key_F5, Qt::ControlModifier); // Upper
  EXPECT_EQ(Doc(), "x <HELLO WORLD> y");
  Key(Qt::Key_F5, Qt::ShiftModifier); // Lower
  EXPECT_EQ(Doc(), "x <hello world> y");
  // Each was one replace, so one undo step each.
  form->UndoButtonClick(nullptr);
  EXPECT_EQ(Memo()->Text(), "x HELLO WORLD y");
  form->UndoButtonClick(nullptr);
  EXPECT_EQ(Memo()->Text(), "x Hello world y");
  form->UndoButtonClick(nullptr);
  EXPECT_EQ(Memo()->Text(), "x hELLO wORLD y");
  EXPECT_FALSE(Memo()->Modified());

  // Only a-z and A-Z change: the characters next to them in the code table
  // and the accented letters stay as they are.
  SetDoc("<@AZ[`az{\xC9\xE9 9>");
  form->Upper1Click(nullptr);
  EXPECT_EQ(Memo()->Text(), "@AZ[`AZ{\xC9\xE9 9");
  form->Lower1Click(nullptr);
  EXPECT_EQ(Memo()->Text(), "@az[`az{\xC9\xE9 9");
  // Capitalise raises the first character only, not the first letter of each word.
  SetDoc("<2nd WORD>");
  form->Capitalise1Click(nullptr);
  EXPECT_EQ(Memo()->Text(), "2nd word");
  SetDoc(">zEBRA crossing<");
  form->Capitalise1Click(nullptr);
  EXPECT_EQ(Doc(), ">Zebra crossing<");
  // Nothing selected, or nothing to change: no edit, no undo step, not modified.
  SetDoc("ab|c");
  Key(Qt::Key_F5);
  SetDoc("<ABC>");
  form->Upper1Click(nullptr);
  EXPECT_FALSE(Memo()->Modified());
  EXPECT_EQ(Panel(1), "");
}

TEST_F(EditCommands, GoToLineRefusesValuesOutOfRangeAndKeepsTheDialogOpen) {
  SetDoc("|" + std::string("a\nb\nc\nd\ne"));
  int shownWith = 0;
  std::vector<std::string> afterEach;
  bool stillOpenAfterErrors = false;
  WhenModal([&](QWidget *modal) {
    auto *d = qobject_cast<TGotoLineDialog *>(modal);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->windowTitle(), "Go to line number");
    shownWith = d->LineNumberBox->text().toInt();
    EXPECT_EQ(d->LineNumberBox->selectedText(), d->LineNumberBox->text());
    for (const char *typed : {"0", "7", "abc", "", "3x", "99999999999"}) {
      d->LineNumberBox->selectAll();
      QTest::keyClick(d->LineNumberBox, Qt::Key_Delete);
      QTest::keyClicks(d->LineNumberBox, QString::fromLatin1(typed));
      Enter(d->LineNumberBox);
      const auto m = NewMessages();
      afterEach.push_back(m.size() == 1 ? m[0].Type + ": " + m[0].Text : "none");
      // The box is selected again for the next try.
      EXPECT_EQ(d->LineNumberBox->selectedText(), QString::fromLatin1(typed));
    }
    stillOpenAfterErrors = d->isVisible();
    d->LineNumberBox->selectAll();
    QTest::keyClicks(d->LineNumberBox, QStringLiteral("6"));
    Enter(d->LineNumberBox);
  });
  Key(Qt::Key_G, Qt::AltModifier);
  EXPECT_EQ(shownWith, 1);
  // Five lines: 1 to 6, where 6 is the place after the last line.
  const std::string refused = "Warning: Value must be between 1 and 6";
  EXPECT_EQ(afterEach, std::vector<std::string>(6, refused));
  EXPECT_TRUE(stillOpenAfterErrors);
  EXPECT_EQ(Doc(), "a\nb\nc\nd\ne|");

  // Line 3, from the middle of line 5 (the box starts at 5); Cancel moves nothing.
  WhenModal([&](QWidget *modal) {
    auto *d = qobject_cast<TGotoLineDialog *>(modal);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->LineNumberBox->text(), "5");
    QTest::keyClicks(d->LineNumberBox, QStringLiteral("3"));
    Enter(d->LineNumberBox);
  });
  form->Gotolinenumber1Click(nullptr);
  EXPECT_EQ(Doc(), "a\nb\n|c\nd\ne");
  WhenModal([&](QWidget *modal) {
    auto *d = qobject_cast<TGotoLineDialog *>(modal);
    ASSERT_NE(d, nullptr);
    QTest::keyClicks(d->LineNumberBox, QStringLiteral("1"));
    Escape(d->LineNumberBox);
  });
  form->Gotolinenumber1Click(nullptr);
  EXPECT_EQ(Doc(), "a\nb\n|c\nd\ne");
  EXPECT_TRUE(NewMessages().empty());
}

TEST_F(EditCommands, GoingToAFarLineCentresIt) {
  Open(Put("long.bas", Numbered(2000)));
  auto goTo = [&](int line) {
    WhenModal([line](QWidget *modal) {
      auto *d = qobject_cast<TGotoLineDialog *>(modal);
      ASSERT_NE(d, nullptr);
      QTest::keyClicks(d->LineNumberBox, QString::number(line));
      QTest::keyClick(d->LineNumberBox, Qt::Key_Return);
    });
    form->Gotolinenumber1Click(nullptr);
  };
  goTo(1500);
  const int rows = Memo()->viewport()->height() / Memo()->LineHeight();
  ASSERT_GT(rows, 4);
  EXPECT_EQ(Memo()->LineFromPos(Memo()->Caret()), 1499);
  EXPECT_FALSE(Memo()->SelAvail());
  EXPECT_EQ(Memo()->TopLine(), 1499 - rows / 2);
  EXPECT_EQ(Memo()->LineText(1499), "line 1500");
  EXPECT_EQ(Panel(0), QString::asprintf("%6d:%4d", 1500, 1));
  // Near the top the view cannot scroll above the first line.
  goTo(3);
  EXPECT_EQ(Memo()->TopLine(), 0);
  EXPECT_EQ(Memo()->LineFromPos(Memo()->Caret()), 2);
}

TEST_F(EditCommands, GoToLineCountsLinesAsTheGutterDoesWhenLinesWrap) {
  // One long line cut into rows, then two short lines.
  SetDoc("|" + std::string(300, 'w') + "\nsecond\nthird");
  Memo()->SetWrapAtColumn(40);
  Memo()->SetWordWrap(true);
  ASSERT_GT(Memo()->LineCount(), 3);
  int max = 0;
  WhenModal([&](QWidget *modal) {
    auto *d = qobject_cast<TGotoLineDialog *>(modal);
    ASSERT_NE(d, nullptr);
    max = d->Maximum;
    QTest::keyClicks(d->LineNumberBox, QStringLiteral("2"));
    Enter(d->LineNumberBox);
  });
  form->Gotolinenumber1Click(nullptr);
  EXPECT_EQ(max, 4);
  EXPECT_EQ(Memo()->Caret(), 301);
  EXPECT_EQ(Memo()->LineText(Memo()->LineFromPos(Memo()->Caret())), "second");
}

TEST_F(EditCommands, SearchAgainMovesOnAndSaysWhenThereIsNoMore) {
  SetDoc("|one ab two ab\nAB three");
  // The first search through the find dialog, then F3 for the rest.
  Key(Qt::Key_F, Qt::ControlModifier);
  TypeInto(FindDlg()->FindHistoryBox, QStringLiteral("ab"));
  Enter(FindDlg()->FindHistoryBox);
  EXPECT_EQ(Doc(), "one <ab> two ab\nAB three");
  Escape(FindDlg()->FindHistoryBox);
  EXPECT_FALSE(FindDlg()->isVisible());
  EXPECT_TRUE(form->Searchagain1->isEnabled());
  Key(Qt::Key_F3);
  EXPECT_EQ(Doc(), "one ab two <ab>\nAB three");
  Key(Qt::Key_F3);
  EXPECT_EQ(Doc(), "one ab two ab\n<AB> three");
  Key(Qt::Key_F3);
  EXPECT_EQ(NewMessageTexts(), std::vector<std::string>{"\"ab\" not found"});
  // Nothing found: the last match stays selected.
  EXPECT_EQ(Doc(), "one ab two ab\n<AB> three");
}

TEST_F(EditCommands, SearchAgainBackwardsPassesAOneCharacterMatch) {
  SetDoc("x-x-|x");
  form->EdPersistent->LastSearchText = "x";
  form->EdPersistent->SearchOptions = sfBackwards | sfSilent;
  form->Searchagain1Click(nullptr);
  EXPECT_EQ(Doc(), "x-<x>-x");
  form->Searchagain1Click(nullptr);
  EXPECT_EQ(Doc(), "<x>-x-x");
  form->Searchagain1Click(nullptr);
  EXPECT_EQ(NewMessageTexts(), std::vector<std::string>{"\"x\" not found"});
  // With a regular expression the match is selected whole.
  SetDoc("|a1 b22 c333");
  form->EdPersistent->LastSearchText = "[a-z]\\d+";
  form->EdPersistent->SearchOptions = sfRegExp | sfSilent;
  form->Searchagain1Click(nullptr);
  form->Searchagain1Click(nullptr);
  EXPECT_EQ(Doc(), "a1 <b22> c333");
}

TEST_F(EditCommands, ShowAllInvertsEveryMatchUntilTheNextEdit) {
  Memo()->resize(600, 300);
  SetDoc("|abc x abc y abc\nzzz");
  form->EdPersistent->LastSearchText = "ABC";
  form->EdPersistent->SearchOptions = sfSilent;
  const QRgb white = qRgb(255, 255, 255), black = qRgb(0, 0, 0);
  const std::vector<int64_t> starts = {0, 6, 12};
  auto backgroundAt = [&](const QImage &img, int64_t pos) {
    // The top of the cell's middle: background above the glyph, clear of the caret.
    const QPoint p = CellOf(pos);
    return img.pixel(p.x() + Memo()->CharWidth() / 2, p.y() + 1);
  };
  QImage before = Shown();
  for (int64_t s : starts)
    ASSERT_EQ(backgroundAt(before, s), white);

  form->Showall1Click(nullptr);
  EXPECT_TRUE(form->ShowAllActive);
  EXPECT_EQ(Memo()->Store()->TextMarks.CountTagged(ShowAllTag), 3u);
  QImage shown = Shown();
  for (int64_t s : starts) {
    EXPECT_EQ(backgroundAt(shown, s), black) << s;
    EXPECT_EQ(backgroundAt(shown, s + 2), black) << s; // the whole match
  }
  // Between and after the matches nothing is inverted.
  for (int64_t s : {3, 4, 9, 15, 17})
    EXPECT_EQ(backgroundAt(shown, s), white) << s;
  // The caret stands after the last match.
  EXPECT_EQ(Doc(), "abc x abc y abc|\nzzz");

  // Show all again: still three marks, still inverted (not twice, which
  // would show nothing).
  form->Showall1Click(nullptr);
  EXPECT_EQ(Memo()->Store()->TextMarks.CountTagged(ShowAllTag), 3u);
  EXPECT_EQ(backgroundAt(Shown(), 6), black);

  // One typed character removes all three.
  Type("!");
  EXPECT_FALSE(form->ShowAllActive);
  EXPECT_TRUE(Memo()->Store()->TextMarks.Empty());
  QImage after = Shown();
  for (int64_t s : starts)
    EXPECT_EQ(backgroundAt(after, s), white) << s;
  EXPECT_TRUE(NewMessages().empty());
}

TEST_F(EditCommands, ShowAllWithoutASearchOpensTheFindDialog) {
  SetDoc("|abc");
  ASSERT_TRUE(form->EdPersistent->LastSearchText.empty());
  form->Showall1Click(nullptr);
  EXPECT_TRUE(FindDlg()->isVisible());
  EXPECT_FALSE(form->ShowAllActive);
  EXPECT_TRUE(Memo()->Store()->TextMarks.Empty());
  // A bad regular expression is told, and leaves no marks and no frozen view.
  form->EdPersistent->LastSearchText = "a(";
  form->EdPersistent->SearchOptions = sfRegExp | sfSilent;
  form->Showall1Click(nullptr);
  const auto m = NewMessages();
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(m[0].Type, "Error");
  EXPECT_NE(m[0].Text.find("\na(\n  ^"), std::string::npos) << m[0].Text;
  EXPECT_FALSE(form->ShowAllActive);
  EXPECT_TRUE(Memo()->Redraw());
}

TEST_F(EditCommands, ShowAllMarksStayWithTheirDocumentAcrossTabs) {
  SetDoc("|abc abc");
  form->EdPersistent->LastSearchText = "abc";
  form->Showall1Click(nullptr);
  form->NewButtonClick(nullptr);
  EXPECT_TRUE(Memo()->Store()->TextMarks.Empty());
  EXPECT_FALSE(form->ShowAllActive);
  SelectTab(0);
  EXPECT_TRUE(form->ShowAllActive);
  EXPECT_EQ(Memo()->Store()->TextMarks.CountTagged(ShowAllTag), 2u);
  Type("x");
  EXPECT_TRUE(Memo()->Store()->TextMarks.Empty());
}

TEST_F(EditCommands, ToolbarAndMenuCommandsActOnTheEditor) {
  SetDoc("one <two> three");
  form->SyntaxMemo1Change(nullptr);
  for (QAction *a : {form->CutButton, form->CopyButton, form->IndentButton, form->UndentButton})
    EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
  form->CopyButton->trigger();
  form->CutButton->trigger();
  EXPECT_EQ(Doc(), "one | three");
  form->SyntaxMemo1Change(nullptr);
  EXPECT_TRUE(form->PasteButton->isEnabled());
  EXPECT_TRUE(form->UndoButton->isEnabled());
  form->PasteButton->trigger();
  form->PasteButton->trigger();
  EXPECT_EQ(Doc(), "one twotwo| three");
  form->UndoButton->trigger();
  EXPECT_EQ(Memo()->Text(), "one two three");
  form->SyntaxMemo1Change(nullptr);
  EXPECT_TRUE(form->RedoButton->isEnabled());
  form->RedoButton->trigger();
  EXPECT_EQ(Memo()->Text(), "one twotwo three");

  SetDoc("<a\nb\n>c");
  const std::string step(static_cast<size_t>(Memo()->IndentStep()), ' ');
  form->IndentButton->trigger();
  EXPECT_EQ(Memo()->Text(), step + "a\r" + step + "b\rc");
  form->UndentButton->trigger();
  form->UndentButton->trigger();
  EXPECT_EQ(Memo()->Text(), "a\rb\rc");

  Key(Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(Doc(), "<a\nb\nc>");
  emit form->Edit1->aboutToShow();
  form->Delete1->trigger();
  EXPECT_EQ(Doc(), "|");
  // Delete without a selection deletes nothing.
  SetDoc("ab|c");
  form->Delete1Click(nullptr);
  EXPECT_EQ(Doc(), "ab|c");
  // A read-only editor is left alone.
  SetDoc("<ab>c");
  Memo()->SetReadOnly(true);
  form->Delete1Click(nullptr);
  form->Upper1Click(nullptr);
  form->IndentButtonClick(nullptr);
  EXPECT_EQ(Memo()->Text(), "abc");
}

TEST_F(EditCommands, KeyboardUndoAndRedoRunTheWindowsCommands) {
  SetDoc("|");
  Type("a");
  int32_t code = 41;
  form->SyntaxMemo1CommandRecognised(code);
  EXPECT_EQ(code, -1); // the editor does not run it a second time
  EXPECT_EQ(Memo()->Text(), "");
  code = 42;
  form->SyntaxMemo1CommandRecognised(code);
  EXPECT_EQ(code, -1);
  EXPECT_EQ(Memo()->Text(), "a");
  code = 15;
  form->SyntaxMemo1CommandRecognised(code);
  EXPECT_EQ(code, 15); // every other command passes unchanged
  // The keys themselves.
  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Memo()->Text(), "");
  Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(Memo()->Text(), "a");
  Memo()->SetReadOnly(true);
  Key(Qt::Key_Z, Qt::ControlModifier);
  form->UndoButtonClick(nullptr);
  EXPECT_EQ(Memo()->Text(), "a");
}

TEST_F(EditCommands, EditMenuAndPopupTakeTheButtonStatesWhenTheyOpen) {
  SetDoc("ab|c");
  Memo()->Perform(WM_COPY); // nothing selected: the clipboard keeps what it had
  emit form->Edit1->aboutToShow();
  EXPECT_FALSE(form->Cut1->isEnabled());
  EXPECT_FALSE(form->Copy1->isEnabled());
  EXPECT_FALSE(form->Delete1->isEnabled());
  EXPECT_FALSE(form->Undo1->isEnabled());
  EXPECT_FALSE(form->Redo1->isEnabled());
  for (QAction *a : {form->SelectAll1, form->Upper1, form->Lower1, form->Capitalise1, form->Font1,
                     form->LineNumberFont1, form->Properties1, form->Find1, form->Replace1,
                     form->Showall1, form->Gotolinenumber1})
    EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
  EXPECT_FALSE(form->Searchagain1->isEnabled());

  SetDoc("<ab>c");
  Type("x");
  Memo()->SetSelection(0, 1);
  emit form->Edit1->aboutToShow();
  EXPECT_TRUE(form->Cut1->isEnabled());
  EXPECT_TRUE(form->Copy1->isEnabled());
  EXPECT_TRUE(form->Delete1->isEnabled());
  EXPECT_TRUE(form->Undo1->isEnabled());
  EXPECT_EQ(form->Paste1->isEnabled(), Memo()->Perform(EM_CANPASTE, 0, 0) != 0);
  emit form->PopupMenu1->aboutToShow();
  EXPECT_TRUE(form->PopupCut->isEnabled());
  EXPECT_TRUE(form->PopupCopy->isEnabled());
  EXPECT_TRUE(form->PopupDelete->isEnabled());
  EXPECT_TRUE(form->PopupSelectAll->isEnabled());
  EXPECT_TRUE(form->ToggleBookmark1->isEnabled());
  EXPECT_TRUE(form->GotoBookmark1->isEnabled());
  form->PopupDelete->trigger();
  EXPECT_EQ(Doc(), "|c");
  emit form->PopupMenu1->aboutToShow();
  EXPECT_FALSE(form->PopupDelete->isEnabled());
  EXPECT_FALSE(form->PopupCut->isEnabled());
}

TEST_F(EditCommands, PopupBookmarksToggleAndGoTo) {
  Open(Put("marks.bas", Numbered(300)));
  const QList<QAction *> toggle = form->ToggleBookmark1->actions();
  const QList<QAction *> go = form->GotoBookmark1->actions();
  ASSERT_EQ(toggle.size(), 10);
  ASSERT_EQ(go.size(), 10);
  EXPECT_EQ(toggle[3]->text(), "Bookmark &3");
  Memo()->SetSelection(Memo()->LineStart(250) + 2, Memo()->LineStart(250) + 2);
  toggle[3]->trigger();
  int64_t line = 0;
  int column = 0;
  ASSERT_TRUE(Memo()->GetBookmark(3, line, column));
  EXPECT_EQ(line, 250);
  Key(Qt::Key_Home, Qt::ControlModifier);
  go[3]->trigger();
  EXPECT_EQ(Memo()->Caret(), Memo()->LineStart(250) + 2);
  EXPECT_GT(Memo()->TopLine(), 200);
  // A bookmark never set goes nowhere.
  Key(Qt::Key_Home, Qt::ControlModifier);
  go[7]->trigger();
  EXPECT_EQ(Memo()->Caret(), 0);
  // Toggling on the same line removes it.
  go[3]->trigger();
  toggle[3]->trigger();
  EXPECT_FALSE(Memo()->GetBookmark(3, line, column));
  // Only a caption ending in a digit names a bookmark.
  QAction other(QStringLiteral("Bookmark"));
  form->Bookmark91Click(&other);
  form->Bookmark91Click(nullptr);
  for (int n = 0; n < 10; ++n)
    EXPECT_FALSE(Memo()->GetBookmark(n, line, column)) << n;
}

TEST_F(EditCommands, FontDialogsStartFromTheEditorsFontsAndAssignTheChoice) {
  const QFont was = Memo()->Font();
  Answer({"Cancel"});
  form->Font1->trigger();
  ASSERT_FALSE(rec->Records.empty());
  EXPECT_EQ(rec->Records.back().Kind, "FONT");
  EXPECT_EQ(rec->Records.back().Text,
            was.family().toStdString() + "," + std::to_string(was.pointSize()));
  EXPECT_EQ(Memo()->Font(), was);
  Answer({"Liberation Mono,14"});
  form->Font1->trigger();
  EXPECT_EQ(Memo()->Font().family(), "Liberation Mono");
  EXPECT_EQ(Memo()->Font().pointSize(), 14);
  Answer({"Cancel"});
  form->Font1->trigger();
  EXPECT_EQ(Memo()->Font().pointSize(), 14);
  Answer({"DejaVu Sans,7"});
  form->LineNumberFont1->trigger();
  EXPECT_EQ(Memo()->GutterFont().pointSize(), 7);
  EXPECT_EQ(Memo()->Font().pointSize(), 14);
}

TEST_F(EditCommands, PropertiesRaisesTheEditorsOwnDialog) {
  QString seen;
  WhenModal([&](QWidget *modal) {
    if (modal)
      seen = QString::fromLatin1(modal->metaObject()->className());
  });
  form->Properties1->trigger();
  EXPECT_EQ(seen, "TEditorOptionsDialog");
}

TEST_F(EditCommands, TheEditorsOwnFindAndReplaceRequestsOpenTheDialogs) {
  SetDoc("one <two> three");
  Memo()->Perform(SM_FIND, sfMatchCase, reinterpret_cast<intptr_t>("given"));
  ASSERT_TRUE(FindDlg()->isVisible());
  EXPECT_EQ(FindDlg()->FindHistoryBox->currentText(), "given");
  EXPECT_TRUE(FindDlg()->UseCaseBox->isChecked());
  EXPECT_EQ(FindDlg()->Editor(), Memo());
  Enter(FindDlg()->FindHistoryBox);
  EXPECT_EQ(NewMessageTexts(), std::vector<std::string>{"\"given\" not found"});
  Memo()->Perform(SM_REPLACE, sfMatchCase);
  ASSERT_TRUE(ReplDlg()->isVisible());
  EXPECT_EQ(ReplDlg()->FindHistoryBox->currentText(), "two");
  EXPECT_TRUE(ReplDlg()->UseCaseBox->isChecked());
  Memo()->Perform(SM_REPLACE, sfRegExp);
  EXPECT_EQ(ReplDlg()->FindHistoryBox->currentText(), "");
  EXPECT_FALSE(ReplDlg()->OKButton->isEnabled());
  // A silent search with a bad regular expression is told by the editor itself.
  EXPECT_EQ(Memo()->Perform(SM_FIND, sfSilent | sfRegExp, reinterpret_cast<intptr_t>("[t")), -1);
  const auto m = NewMessages();
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(m[0].Type, "Error");
  EXPECT_EQ(m[0].Text.substr(m[0].Text.find('\n')), "\n[t\n  ^");
}
