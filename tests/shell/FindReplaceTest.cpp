// The find and replace dialogs end to end: typed into and answered with real
// key events, questions answered by the scripted prompter, histories read
// back from "KORVEX.DAT" and the place from "KORVEX.INI".
#include "EditTestFixture.h"

#include "IniFile.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>

using namespace kxedit;

namespace {

class FindReplace : public EditTest {
protected:
  // Opens the find dialog with Ctrl+F and searches for text with Enter.
  void Find(const QString &text) {
    if (!FindDlg()->isVisible())
      Key(Qt::Key_F, Qt::ControlModifier);
    TypeInto(FindDlg()->FindHistoryBox, text);
    Enter(FindDlg()->FindHistoryBox);
  }
  void OpenReplace(const QString &text, const QString &with) {
    Key(Qt::Key_R, Qt::ControlModifier);
    TypeInto(ReplDlg()->FindHistoryBox, text);
    TypeInto(ReplDlg()->ReplHistoryBox, with);
  }
  QStringList BoxItems(QComboBox *box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
      out << box->itemText(i);
    return out;
  }
  std::vector<std::string> Section(const std::string &header) {
    TEdPersistent reread(dir + "KORVEX.DAT");
    return reread.GetSection(header);
  }
};

} // namespace

TEST_F(FindReplace, FindDialogControlsAndStartState) {
  SetDoc("|");
  Key(Qt::Key_F, Qt::ControlModifier);
  TEdFindDlg *d = FindDlg();
  ASSERT_TRUE(d->isVisible());
  EXPECT_EQ(d->windowTitle(), "Find text...");
  EXPECT_TRUE(d->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_FALSE(d->windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(d->isModal());
  EXPECT_EQ(d->FindLabel->text(), "&Text to find");
  EXPECT_EQ(d->OptionsGroup->title(), "Options");
  EXPECT_EQ(d->DirectionGroup->title(), "Direction");
  EXPECT_EQ(d->UseCaseBox->text(), "&Case sensitive");
  EXPECT_EQ(d->RegExBox->text(), "&Regular expressions");
  EXPECT_EQ(d->WholeWordBox->text(), "&Whole words");
  EXPECT_EQ(d->FwdDirection->text(), "Forwar&d");
  EXPECT_EQ(d->BackDirection->text(), "&Back");
  // No selection and no earlier search: an empty box and a disabled OK.
  EXPECT_EQ(d->FindHistoryBox->currentText(), "");
  EXPECT_FALSE(d->OKButton->isEnabled());
  EXPECT_TRUE(d->FwdDirection->isChecked());
  EXPECT_TRUE(d->focusWidget() == d->FindHistoryBox ||
              d->focusWidget() == d->FindHistoryBox->lineEdit());
  // The OK rule follows every change of the text; Enter in an empty box does nothing.
  QTest::keyClicks(d->FindHistoryBox->lineEdit(), QStringLiteral("a"));
  EXPECT_TRUE(d->OKButton->isEnabled());
  QTest::keyClick(d->FindHistoryBox->lineEdit(), Qt::Key_Backspace);
  EXPECT_FALSE(d->OKButton->isEnabled());
  Enter(d->FindHistoryBox);
  EXPECT_TRUE(NewMessages().empty());
  // The editor shows its selection while the dialog is open.
  EXPECT_FALSE(Memo()->HideSelection);
  Escape(d->UseCaseBox); // from any control
  EXPECT_FALSE(d->isVisible());
  EXPECT_TRUE(Memo()->HideSelection);
}

TEST_F(FindReplace, FindTwiceThenNotFoundAndTheOptionsOfTheLastSearchStay) {
  SetDoc("|x Foo y foo z");
  Find(QStringLiteral("foo"));
  EXPECT_EQ(Doc(), "x <Foo> y foo z");
  Enter(FindDlg()->FindHistoryBox);
  EXPECT_EQ(Doc(), "x Foo y <foo> z");
  Enter(FindDlg()->FindHistoryBox);
  EXPECT_EQ(NewMessageTexts(), std::vector<std::string>{"\"foo\" not found"});
  EXPECT_EQ(Doc(), "x Foo y <foo> z");
  EXPECT_TRUE(FindDlg()->isVisible()); // OK never closes it
  EXPECT_EQ(form->EdPersistent->LastSearchText, "foo");
  EXPECT_EQ(form->EdPersistent->SearchOptions, sfSilent);
  // Case sensitive: only the lower-case one.
  Key(Qt::Key_Home, Qt::ControlModifier);
  FindDlg()->UseCaseBox->setChecked(true);
  Enter(FindDlg()->FindHistoryBox);
  EXPECT_EQ(Doc(), "x Foo y <foo> z");
  EXPECT_EQ(form->EdPersistent->SearchOptions, sfSilent | sfMatchCase);
  // The next Ctrl+F starts with the selection and the last options.
  Escape(FindDlg()->FindHistoryBox);
  Memo()->SetSelection(2, 5);
  Key(Qt::Key_F, Qt::ControlModifier);
  EXPECT_EQ(FindDlg()->FindHistoryBox->currentText(), "Foo");
  EXPECT_TRUE(FindDlg()->UseCaseBox->isChecked());
}

TEST_F(FindReplace, BackSearchesTowardsTheStart) {
  SetDoc("ab1 ab2 ab3|");
  Key(Qt::Key_F, Qt::ControlModifier);
  QTest::mouseClick(FindDlg()->BackDirection, Qt::LeftButton);
  EXPECT_TRUE(FindDlg()->BackDirection->isChecked());
  EXPECT_FALSE(FindDlg()->FwdDirection->isChecked());
  Find(QStringLiteral("ab"));
  EXPECT_EQ(Doc(), "ab1 ab2 <ab>3");
  Enter(FindDlg()->FindHistoryBox);
  EXPECT_EQ(Doc(), "ab1 <ab>2 ab3");
  Enter(FindDlg()->FindHistoryBox);
  EXPECT_EQ(Doc(), "<ab>1 ab2 ab3");
  Enter(FindDlg()->FindHistoryBox);
  EXPECT_EQ(NewMessageTexts(), std::vector<std::string>{"\"ab\" not found"});
  EXPECT_EQ(form->EdPersistent->SearchOptions, sfSilent | sfBackwards);
  QTest::mouseClick(FindDlg()->FwdDirection, Qt::LeftButton);
  EXPECT_FALSE(FindDlg()->BackDirection->isChecked());
}

TEST_F(FindReplace, CaselessSearchMeetsBothEndsOfTheLetterRangesAndNothingBeside) {
  // The letters a, z, A, Z among their neighbours in the code table.
  SetDoc("|@ [ ` { a z A Z");
  for (const auto &[pattern, expected] :
       std::vector<std::pair<QString, std::vector<int64_t>>>{{QStringLiteral("a"), {8, 12}},
                                                             {QStringLiteral("Z"), {10, 14}},
                                                             {QStringLiteral("@"), {0}},
                                                             {QStringLiteral("["), {2}},
                                                             {QStringLiteral("`"), {4}},
                                                             {QStringLiteral("{"), {6}}}) {
    Memo()->SetSelection(0, 0);
    std::vector<int64_t> found;
    Find(pattern);
    while (NewMessages().empty() && found.size() < 5) {
      found.push_back(Memo()->SelStart());
      Enter(FindDlg()->FindHistoryBox);
    }
    EXPECT_EQ(found, expected) << pattern.toStdString();
  }
}

TEST_F(FindReplace, ABadRegularExpressionShowsItsThreeLines) {
  SetDoc("|abc");
  Key(Qt::Key_F, Qt::ControlModifier);
  FindDlg()->RegExBox->setChecked(true);
  Find(QStringLiteral("ab[c"));
  const auto m = NewMessages();
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(m[0].Type, "Error");
  const size_t nl = m[0].Text.find('\n');
  ASSERT_NE(nl, std::string::npos);
  EXPECT_EQ(m[0].Text.substr(nl), "\nab[c\n    ^");
  EXPECT_EQ(Doc(), "|abc");
  // The next good one works.
  Find(QStringLiteral("b."));
  EXPECT_EQ(Doc(), "a<bc>");
}

TEST_F(FindReplace, HistoryNewestFirstAtMostTwentyAndCaseInsensitive) {
  SetDoc("|text");
  for (int i = 1; i <= 22; ++i)
    Find(QStringLiteral("word%1").arg(i));
  NewMessages();
  // Known in another case: not added again, and it keeps its place.
  EXPECT_EQ(FindDlg()->FindHistoryBox->count(), 22);
  Find(QStringLiteral("WORD5"));
  EXPECT_EQ(FindDlg()->FindHistoryBox->itemText(0), "word22");
  EXPECT_EQ(FindDlg()->FindHistoryBox->count(), 22);
  Escape(FindDlg()->FindHistoryBox);
  std::vector<std::string> want;
  for (int i = 22; i >= 3; --i)
    want.push_back("word" + std::to_string(i));
  EXPECT_EQ(Section("[FindHistory]"), want);
  // Reopened: the stored order, newest on top.
  Key(Qt::Key_F, Qt::ControlModifier);
  QStringList items = BoxItems(FindDlg()->FindHistoryBox);
  ASSERT_EQ(items.size(), 20);
  EXPECT_EQ(items.front(), "word22");
  EXPECT_EQ(items.back(), "word3");
  // A new text goes on top; the start text from the selection, when new,
  // waits at the end until it is searched for.
  Find(QStringLiteral("fresh"));
  Escape(FindDlg()->FindHistoryBox);
  Memo()->SetSelection(0, 4);
  Key(Qt::Key_F, Qt::ControlModifier);
  items = BoxItems(FindDlg()->FindHistoryBox);
  EXPECT_EQ(items.front(), "fresh");
  EXPECT_EQ(items.back(), "text");
  EXPECT_EQ(FindDlg()->FindHistoryBox->currentText(), "text");
  Escape(FindDlg()->FindHistoryBox);
  EXPECT_EQ(Section("[FindHistory]").front(), "fresh");
  EXPECT_EQ(Section("[FindHistory]").size(), 20u);
}

TEST_F(FindReplace, ShownAgainWhileOpenKeepsWhatItAdded) {
  SetDoc("|one two");
  Find(QStringLiteral("one"));
  Find(QStringLiteral("two"));
  // Ctrl+F again while the dialog is open reloads the lists: nothing is lost.
  Memo()->SetSelection(0, 3);
  Key(Qt::Key_F, Qt::ControlModifier);
  EXPECT_EQ(BoxItems(FindDlg()->FindHistoryBox), (QStringList{"two", "one"}));
  EXPECT_EQ(FindDlg()->FindHistoryBox->currentText(), "one");
}

TEST_F(FindReplace, TheHistoryOffersItselfAsTheUserTypes) {
  SetDoc("|x");
  Find(QStringLiteral("PORTB.0"));
  Find(QStringLiteral("pause"));
  Find(QStringLiteral("portA"));
  TypeInto(FindDlg()->FindHistoryBox, QStringLiteral("po"));
  QCompleter *c = FindDlg()->FindHistoryBox->completer();
  ASSERT_NE(c, nullptr);
  QStringList offered;
  for (int i = 0; i < c->completionCount(); ++i) {
    c->setCurrentRow(i);
    offered << c->currentCompletion();
  }
  EXPECT_EQ(offered, (QStringList{"portA", "PORTB.0"}));
}

TEST_F(FindReplace, ReplaceDialogControlsAndOKReplacesTheNextMatchOnce) {
  SetDoc("|one ab two ab three ab");
  Key(Qt::Key_R, Qt::ControlModifier);
  TEdReplDlg *d = ReplDlg();
  ASSERT_TRUE(d->isVisible());
  EXPECT_EQ(d->windowTitle(), "Find and replace text...");
  EXPECT_EQ(d->ReplLabel->text(), "Replace with");
  EXPECT_EQ(d->PromptOnReplBox->text(), "&Prompt on Replace");
  EXPECT_EQ(d->ReplaceAllButton->text(), "Replace All");
  EXPECT_FALSE(d->OKButton->isEnabled());
  EXPECT_FALSE(d->ReplaceAllButton->isEnabled());
  TypeInto(d->FindHistoryBox, QStringLiteral("ab"));
  EXPECT_TRUE(d->ReplaceAllButton->isEnabled());
  // Tab goes on to the replacement box, then the options as they stand.
  ClosePopups();
  QTest::keyClick(d->FindHistoryBox->lineEdit(), Qt::Key_Tab);
  EXPECT_TRUE(d->focusWidget() == d->ReplHistoryBox ||
              d->focusWidget() == d->ReplHistoryBox->lineEdit());
  QTest::keyClick(d->focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(d->focusWidget(), d->UseCaseBox);
  QTest::keyClick(d->focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(d->focusWidget(), d->WholeWordBox);
  TypeInto(d->ReplHistoryBox, QStringLiteral("XY"));
  Enter(d->ReplHistoryBox);
  EXPECT_EQ(Doc(), "one XY| two ab three ab");
  EXPECT_TRUE(form->EdPersistent->LastSearchText.empty()); // OK leaves the last search alone
  // With the question: No keeps the match, Yes replaces it.
  d->PromptOnReplBox->setChecked(true);
  Answer({"No"});
  Enter(d->ReplHistoryBox);
  EXPECT_EQ(Doc(), "one XY two <ab> three ab");
  Answer({"Yes"});
  Enter(d->ReplHistoryBox);
  EXPECT_EQ(Doc(), "one XY two ab three XY|");
  const auto m = NewMessages();
  ASSERT_EQ(m.size(), 2u);
  EXPECT_EQ(m[0].Text, "Replace this instance of \"ab\" with \"XY\" ?");
  EXPECT_EQ(m[0].Type, "Confirmation");
  EXPECT_EQ(m[0].Buttons, "Yes,No,Cancel");
  EXPECT_EQ(m[0].Answer, "No");
  // The "ab" at 11 stands selected but was passed by; there is no other.
  Memo()->SetSelection(11, 13);
  Answer({"Yes"});
  Enter(d->ReplHistoryBox);
  EXPECT_EQ(NewMessageTexts(), std::vector<std::string>{"\"ab\" not found"});
  EXPECT_EQ(Doc(), "one XY two <ab> three XY");
}

TEST_F(FindReplace, ReplaceOKSameMatchRuleIsCaseSensitive) {
  // The selection counts as the match just found only when it is exactly the
  // text; then the search goes on inside it and finds the overlapping match.
  SetDoc("a<aa>a");
  OpenReplace(QStringLiteral("aa"), QStringLiteral("-"));
  Memo()->SetSelection(1, 3);
  Enter(ReplDlg()->FindHistoryBox);
  EXPECT_EQ(Memo()->Text(), "aa-");
  // "AA" is not exactly "aa", even searching caselessly: the search starts
  // after the selection and finds nothing there.
  SetDoc("a<AA>a");
  Enter(ReplDlg()->FindHistoryBox);
  EXPECT_EQ(NewMessageTexts(), std::vector<std::string>{"\"aa\" not found"});
  EXPECT_EQ(Doc(), "a<AA>a");
  // The find dialog compares caselessly and finds the overlapping one.
  Escape(ReplDlg()->FindHistoryBox);
  Key(Qt::Key_F, Qt::ControlModifier);
  EXPECT_EQ(FindDlg()->FindHistoryBox->currentText(), "AA");
  FindDlg()->FindHistoryBox->setEditText(QStringLiteral("aa"));
  Enter(FindDlg()->FindHistoryBox);
  EXPECT_EQ(Doc(), "aA<Aa>");
}

TEST_F(FindReplace, ReplaceAllOfFiveMatchesIsUndoneByOneUndo) {
  SetDoc("GOSUB a\ngosub b\nx GOSUB c\ngosub d gosub e|");
  OpenReplace(QStringLiteral("gosub"), QStringLiteral("CALL"));
  // The direction does not matter: the run sweeps forward from the start.
  ReplDlg()->BackDirection->setChecked(true);
  QTest::mouseClick(ReplDlg()->ReplaceAllButton, Qt::LeftButton);
  EXPECT_EQ(Memo()->Text(), "CALL a\rCALL b\rx CALL c\rCALL d CALL e");
  EXPECT_TRUE(NewMessages().empty()); // no count, no message
  EXPECT_TRUE(Memo()->Redraw());
  EXPECT_TRUE(ReplDlg()->PromptOnReplBox->isEnabled());
  EXPECT_EQ(form->EdPersistent->LastSearchText, "gosub");
  EXPECT_EQ(Panel(1), "Modified");
  form->UndoButtonClick(nullptr);
  EXPECT_EQ(Memo()->Text(), "GOSUB a\rgosub b\rx GOSUB c\rgosub d gosub e");
  EXPECT_FALSE(Memo()->Modified());
  form->RedoButtonClick(nullptr);
  EXPECT_EQ(Memo()->Text(), "CALL a\rCALL b\rx CALL c\rCALL d CALL e");
  // Nothing to replace: nothing said.
  QTest::mouseClick(ReplDlg()->ReplaceAllButton, Qt::LeftButton);
  EXPECT_TRUE(NewMessages().empty());
}

namespace {

// Passes every question on to the recording prompter, running a probe first.
class TProbingPrompter : public TPrompter {
public:
  TProbingPrompter(std::unique_ptr<TPrompter> inner, std::function<void()> probe)
      : inner_(std::move(inner)), probe_(std::move(probe)) {}
  TModalResult Message(const std::string &text, TMsgDlgType type, TMsgDlgButtons buttons,
                       const std::string &caption) override {
    probe_();
    return inner_->Message(text, type, buttons, caption);
  }
  bool OpenFileDialog(TFileDialogRequest &r) override { return inner_->OpenFileDialog(r); }
  bool SaveFileDialog(TFileDialogRequest &r) override { return inner_->SaveFileDialog(r); }
  bool FontDialog(TFontChoice &f) override { return inner_->FontDialog(f); }
  bool PrintDialog(TPrintChoice &c) override { return inner_->PrintDialog(c); }
  bool PageSetupDialog(TPageSetupChoice &s) override { return inner_->PageSetupDialog(s); }

private:
  std::unique_ptr<TPrompter> inner_;
  std::function<void()> probe_;
};

} // namespace

TEST_F(FindReplace, ReplaceAllWithQuestionsNoAtTheSecondCancelAtTheThird) {
  SetDoc("|v1 v2 v3 v4 v5");
  OpenReplace(QStringLiteral("v"), QStringLiteral("w"));
  ReplDlg()->PromptOnReplBox->setChecked(true);
  Answer({"Yes", "No", "Cancel"});
  // While the questions are asked: the box is disabled, the match selected,
  // and the editor draws (each match is shown).
  std::vector<std::string> seen;
  SetPrompter(std::make_unique<TProbingPrompter>(SetPrompter(nullptr), [&] {
    seen.push_back(std::string(ReplDlg()->PromptOnReplBox->isEnabled() ? "enabled " : "disabled ") +
                   Memo()->SelText() + (Memo()->Redraw() ? " drawn" : " frozen"));
  }));
  QTest::mouseClick(ReplDlg()->ReplaceAllButton, Qt::LeftButton);
  EXPECT_EQ(seen,
            (std::vector<std::string>{"disabled v drawn", "disabled v drawn", "disabled v drawn"}));
  const auto m = NewMessages();
  ASSERT_EQ(m.size(), 3u);
  for (const auto &r : m)
    EXPECT_EQ(r.Text, "Replace this instance of \"v\" with \"w\" ?");
  EXPECT_EQ(Memo()->Text(), "w1 v2 v3 v4 v5");
  EXPECT_TRUE(ReplDlg()->PromptOnReplBox->isEnabled());
  // The one replacement is one undo step.
  form->UndoButtonClick(nullptr);
  EXPECT_EQ(Memo()->Text(), "v1 v2 v3 v4 v5");
}

TEST_F(FindReplace, ReplaceAllOfEmptyMatchesEndsAndGroupsFillIn) {
  SetDoc("|ab");
  OpenReplace(QStringLiteral("x*"), QStringLiteral("y"));
  ReplDlg()->RegExBox->setChecked(true);
  QTest::mouseClick(ReplDlg()->ReplaceAllButton, Qt::LeftButton);
  EXPECT_EQ(Memo()->Text(), "yayby");
  SetDoc("|GOSUB a1\ngosub b22");
  ReplDlg()->FindHistoryBox->setEditText(QStringLiteral("gosub (\\w)(\\d+)"));
  ReplDlg()->ReplHistoryBox->setEditText(QStringLiteral("CALL \\1_\\2"));
  QTest::mouseClick(ReplDlg()->ReplaceAllButton, Qt::LeftButton);
  EXPECT_EQ(Memo()->Text(), "CALL a_1\rCALL b_22");
  // A bad pattern: told once, and the editor is left drawing and undoable.
  ReplDlg()->FindHistoryBox->setEditText(QStringLiteral("(b"));
  QTest::mouseClick(ReplDlg()->ReplaceAllButton, Qt::LeftButton);
  ASSERT_EQ(NewMessages().size(), 1u);
  EXPECT_TRUE(Memo()->Redraw());
  EXPECT_TRUE(ReplDlg()->PromptOnReplBox->isEnabled());
  Type("!");
  Memo()->Undo();
  EXPECT_EQ(Memo()->Text(), "CALL a_1\rCALL b_22");
}

TEST_F(FindReplace, ReplaceHistoriesAreWrittenOnClose) {
  SetDoc("|a b");
  OpenReplace(QStringLiteral("a"), QStringLiteral("A"));
  Enter(ReplDlg()->ReplHistoryBox);
  ReplDlg()->FindHistoryBox->setEditText(QStringLiteral("b"));
  ReplDlg()->ReplHistoryBox->setEditText(QString());
  Enter(ReplDlg()->ReplHistoryBox);
  EXPECT_EQ(Memo()->Text(), "A ");
  QTest::mouseClick(ReplDlg()->CancelButton, Qt::LeftButton);
  EXPECT_FALSE(ReplDlg()->isVisible());
  EXPECT_EQ(Section("[FindHistory]"), (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(Section("[ReplaceHistory]"), (std::vector<std::string>{"A"}));
  Key(Qt::Key_R, Qt::ControlModifier);
  EXPECT_EQ(BoxItems(ReplDlg()->ReplHistoryBox), (QStringList{"A"}));
  // Both dialogs open: the one closed last keeps what the other added.
  Find(QStringLiteral("zzz"));
  NewMessages();
  Escape(FindDlg()->FindHistoryBox);
  EXPECT_EQ(Section("[FindHistory]"), (std::vector<std::string>{"zzz", "b", "a"}));
  ReplDlg()->FindHistoryBox->setEditText(QStringLiteral("qq"));
  ASSERT_TRUE(ReplDlg()->isVisible());
  Enter(ReplDlg()->FindHistoryBox);
  EXPECT_EQ(NewMessageTexts(), std::vector<std::string>{"\"qq\" not found"});
  // Closing the main window closes the dialog, and it writes its lists.
  form->hide();
  EXPECT_FALSE(ReplDlg()->isVisible());
  EXPECT_EQ(Section("[FindHistory]"), (std::vector<std::string>{"qq", "b", "a", "zzz"}));
}

TEST_F(FindReplace, DialogsRememberTheirPlace) {
  SetDoc("|x");
  Key(Qt::Key_F, Qt::ControlModifier);
  FindDlg()->move(123, 87);
  QApplication::processEvents();
  const QPoint at = FindDlg()->pos();
  Escape(FindDlg()->FindHistoryBox);
  const TIniFile ini(dir + "KX_INC/KORVEX.INI");
  EXPECT_EQ(ini.ReadInteger("FIND_DIALOG", "FIND_LEFT", -1), at.x());
  EXPECT_EQ(ini.ReadInteger("FIND_DIALOG", "FIND_TOP", -1), at.y());
  EXPECT_GT(ini.ReadInteger("FIND_DIALOG", "FIND_WIDTH", -1), 0);
  // The settings that were there stay.
  EXPECT_EQ(ini.ReadString("PROGRAMMER", "TYPE", ""), "EPIC");
  // A new window (a new run) puts the dialog where it was.
  Start(std::string());
  Key(Qt::Key_F, Qt::ControlModifier);
  EXPECT_EQ(FindDlg()->pos(), at);
  // A place off every screen is brought back onto one.
  Escape(FindDlg()->FindHistoryBox);
  SetIni("FIND_DIALOG", "FIND_LEFT", "-5000");
  SetIni("FIND_DIALOG", "FIND_TOP", "90000");
  Start(std::string());
  Key(Qt::Key_F, Qt::ControlModifier);
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_TRUE(screen.contains(FindDlg()->pos()))
      << FindDlg()->pos().x() << "," << FindDlg()->pos().y();
}

TEST_F(FindReplace, ReplacingBackwardsGoesOnBeforeTheNewText) {
  // The new text holds the searched one: searching backwards from its end
  // would find it again.
  SetDoc("a-a|");
  OpenReplace(QStringLiteral("a"), QStringLiteral("ba"));
  ReplDlg()->BackDirection->setChecked(true);
  Enter(ReplDlg()->ReplHistoryBox);
  EXPECT_EQ(Doc(), "a-|ba");
  Enter(ReplDlg()->ReplHistoryBox);
  EXPECT_EQ(Doc(), "|ba-ba");
  Enter(ReplDlg()->ReplHistoryBox);
  EXPECT_EQ(NewMessageTexts(), std::vector<std::string>{"\"a\" not found"});
  EXPECT_EQ(Memo()->Text(), "ba-ba");
}

TEST_F(FindReplace, ASelectionOverSeveralLinesOffersItsFirstLine) {
  SetDoc("<HIGH PORTB.0\nLOW> PORTB.0");
  Key(Qt::Key_F, Qt::ControlModifier);
  EXPECT_EQ(FindDlg()->FindHistoryBox->currentText(), "HIGH PORTB.0");
  Escape(FindDlg()->FindHistoryBox);
  // The history file keeps it as one entry of one line (the offered start
  // text waits at the end of the list, so it is written too).
  EXPECT_EQ(Section("[FindHistory]"), std::vector<std::string>{"HIGH PORTB.0"});
}
