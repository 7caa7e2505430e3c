// Searching in the assembler listing: its editor's own find and replace
// requests and Ctrl+F / Ctrl+R typed inside the listing open the main
// window's dialogs for the listing's text, and the searches they run select
// in the listing, never in the document.
#include "CompileFixture.h"

#include "EditCommands.h"
#include "FindDialog.h"
#include "Messages.h"
#include "ReplaceDialog.h"
#include "Search.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

using namespace kxcompile;

namespace {

class ListingSearch : public CompileTest {
protected:
  void SetUp() override {
    CompileTest::SetUp();
    Open(Put("blink.bas", "' movwf in the document\r\nhigh portb.0\r\n"));
    ASMList->LoadListing(Put("blink.ASM", "\tlist p=16f84a\r\nstart\tmovlw 1\r\n\tMOVWF PORTB\r\n"
                                          "\tmovwf 0x20\r\n\tgoto start\r\n"));
    ASMList->show();
    QApplication::processEvents();
    Memo()->SetSelection(0, 0);
  }
  TSyntaxMemo *Listing() { return ASMList->SyntaxMemo; }
  // A key typed into the listing with its window active.
  void ListingKey(Qt::Key key, Qt::KeyboardModifiers mods) {
    ASMList->activateWindow();
    QApplication::setActiveWindow(ASMList);
    Listing()->setFocus();
    QApplication::processEvents();
    QTest::keyClick(Listing(), key, mods);
  }
  void Enter(QComboBox *box) { QTest::keyClick(box->lineEdit(), Qt::Key_Return); }
};

TEST_F(ListingSearch, TheListingsRequestsOpenTheDialogsForItsOwnText) {
  TEdFindDlg *find = form->FindDialog();
  ASSERT_FALSE(find->isVisible());
  Listing()->Perform(SM_FIND, sfMatchCase, reinterpret_cast<intptr_t>("movwf"));
  ASSERT_TRUE(find->isVisible());
  EXPECT_EQ(find->Editor(), Listing());
  EXPECT_EQ(find->FindHistoryBox->currentText(), "movwf");
  EXPECT_TRUE(find->UseCaseBox->isChecked());
  // The search runs in the listing: the case-sensitive match on line 4.
  Enter(find->FindHistoryBox);
  EXPECT_EQ(Listing()->SelText(), "movwf");
  EXPECT_EQ(Listing()->LineFromPos(Listing()->SelStart()), 3);
  EXPECT_EQ(Memo()->SelText(), "") << "the document's selection stays";
  find->reject();

  // SM_REPLACE: the replace dialog for the listing, with its selection.
  TEdReplDlg *replace = form->ReplaceDialog();
  Listing()->Perform(SM_REPLACE, 0);
  ASSERT_TRUE(replace->isVisible());
  EXPECT_EQ(replace->Editor(), Listing());
  EXPECT_EQ(replace->FindHistoryBox->currentText(), "movwf");
  replace->reject();
  // A silent search stays a plain search: no dialog.
  EXPECT_GE(Listing()->Perform(SM_FIND, sfSilent, reinterpret_cast<intptr_t>("goto")), 0);
  EXPECT_FALSE(find->isVisible());
  EXPECT_FALSE(replace->isVisible());
}

TEST_F(ListingSearch, CtrlFAndCtrlRInsideTheListingWorkAsFindAndReplaceThere) {
  EXPECT_TRUE(ASMList->FindKey->isEnabled());
  EXPECT_TRUE(ASMList->ReplaceKey->isEnabled());
  // Ctrl+F with a selection: the dialog starts with it, for the listing,
  // and finds the next one there.
  const std::string text = Listing()->Text();
  const auto at = static_cast<int64_t>(text.find("start"));
  Listing()->SetSelection(at, at + 5);
  ListingKey(Qt::Key_F, Qt::ControlModifier);
  TEdFindDlg *find = form->FindDialog();
  ASSERT_TRUE(find->isVisible());
  EXPECT_EQ(find->Editor(), Listing());
  EXPECT_EQ(find->FindHistoryBox->currentText(), "start");
  Enter(find->FindHistoryBox);
  EXPECT_EQ(Listing()->SelStart(), static_cast<int64_t>(text.rfind("start")));
  EXPECT_EQ(Listing()->SelText(), "start");
  find->reject();

  // Replace with the last search text and options (none selected): every
  // "movwf" of the listing in any case, and the document untouched.
  Listing()->SetSelection(0, 0);
  ListingKey(Qt::Key_R, Qt::ControlModifier);
  TEdReplDlg *replace = form->ReplaceDialog();
  ASSERT_TRUE(replace->isVisible());
  EXPECT_EQ(replace->Editor(), Listing());
  EXPECT_EQ(replace->FindHistoryBox->currentText(), "start") << "the last search text";
  replace->FindHistoryBox->setEditText(QStringLiteral("movwf"));
  replace->ReplHistoryBox->setEditText(QStringLiteral("movf"));
  replace->UseCaseBox->setChecked(false);
  replace->ReplaceAllButtonClick();
  EXPECT_EQ(Listing()->Text(),
            "\tlist p=16f84a\rstart\tmovlw 1\r\tmovf PORTB\r\tmovf 0x20\r\tgoto start\r");
  EXPECT_EQ(Memo()->Text(), "' movwf in the document\rhigh portb.0\r");
  replace->reject();
  for (const std::string &m : Messages())
    ADD_FAILURE() << m;
}

TEST_F(ListingSearch, AListingWithoutTheMainWindowHasItsSearchKeysDisabled) {
  // The listing alone cannot reach the dialogs: its keys say so by being off.
  TASMList alone;
  EXPECT_FALSE(alone.FindKey->isEnabled());
  EXPECT_FALSE(alone.ReplaceKey->isEnabled());
  EXPECT_EQ(alone.FindKey->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
  EXPECT_EQ(alone.ReplaceKey->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
}

} // namespace
