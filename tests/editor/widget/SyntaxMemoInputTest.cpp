// Real key and mouse events: typing, Shift+Ctrl+Left, Ctrl+K I, Ctrl+Q 5, an
// abandoned Ctrl+K sequence, a drag that moves text undone in one step, word
// selection by double click, the wheel, scroll messages, geometry answers,
// numbered bookmarks, the clipboard, dropped files and the template list.
#include "WidgetTestUtil.h"

#include <QClipboard>
#include <QMimeData>
#include <QScrollBar>
#include <QUrl>
#include <QWheelEvent>

#include <gtest/gtest.h>

using namespace kxwidget;

namespace {
// A drop as the window system delivers it: enter, then drop.
void Drop(TSyntaxMemo &m, QPointF at, const QMimeData &data) {
  QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(m.viewport(), &enter);
  QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(m.viewport(), &drop);
}

QPoint CellCentre(TSyntaxMemo &m, int row, int column) {
  return QPoint(m.TextLeft() + (column - m.LeftColumn()) * m.CharWidth() + 1,
                row * m.LineHeight() + m.LineHeight() / 2);
}
} // namespace

TEST(SyntaxMemoKeys, TypingAndShiftCtrlLeftSelectsTheWordBefore) {
  auto m = MakeMemo("");
  QTest::keyClicks(m.get(), "hello world");
  EXPECT_EQ(m->Text(), "hello world");
  QTest::keyClick(m.get(), Qt::Key_Left, Qt::ShiftModifier | Qt::ControlModifier);
  EXPECT_EQ(m->SelText(), "world");
  QTest::keyClick(m.get(), Qt::Key_Return);
  EXPECT_EQ(m->Text(), "hello \r");
  QTest::keyClick(m.get(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(m->Text(), "hello world");
}

TEST(SyntaxMemoKeys, CtrlKIIndentsTheSelectedLines) {
  auto m = MakeMemo("one\rtwo\rthree");
  m->SetIndentStep(2);
  m->SetSelection(0, 6); // into "two"
  QTest::keyClick(m.get(), Qt::Key_K, Qt::ControlModifier);
  QTest::keyClick(m.get(), Qt::Key_I);
  EXPECT_EQ(m->Text(), "  one\r  two\rthree");
  QTest::keyClick(m.get(), Qt::Key_K, Qt::ControlModifier);
  QTest::keyClick(m.get(), Qt::Key_U, Qt::ControlModifier); // second key ignores modifiers
  EXPECT_EQ(m->Text(), "one\rtwo\rthree");
}

TEST(SyntaxMemoKeys, CtrlQ5GoesToBookmark5AndAnAbandonedSequenceTypes) {
  std::string text;
  for (int i = 0; i < 200; ++i)
    text += "line " + std::to_string(i) + "\r";
  auto m = MakeMemo(text);
  m->SetBookmark(5, 120, 3);
  m->SetSelection(0, 0);
  QTest::keyClick(m.get(), Qt::Key_Q, Qt::ControlModifier);
  QTest::keyClick(m.get(), Qt::Key_5);
  EXPECT_EQ(m->LineFromPos(m->Caret()), 119);
  EXPECT_EQ(m->Caret() - m->LineStart(119), 2);
  // The line is scrolled to the middle of the window.
  EXPECT_EQ(m->TopLine(), 119 - m->VisibleRows() / 2);
  // Ctrl+K then X: no command, the X is typed.
  m->SetSelection(0, 0);
  QTest::keyClick(m.get(), Qt::Key_K, Qt::ControlModifier);
  QTest::keyClick(m.get(), Qt::Key_X);
  EXPECT_EQ(m->LineText(0), "xline 0");
  // Ctrl+K 2 on a line twice sets and then removes bookmark 2.
  QTest::keyClick(m.get(), Qt::Key_K, Qt::ControlModifier);
  QTest::keyClick(m.get(), Qt::Key_2);
  int64_t line = -1;
  int col = 0;
  EXPECT_TRUE(m->GetBookmark(2, line, col));
  QTest::keyClick(m.get(), Qt::Key_K, Qt::ControlModifier);
  QTest::keyClick(m.get(), Qt::Key_2);
  EXPECT_FALSE(m->GetBookmark(2, line, col));
}

TEST(SyntaxMemoBookmarks, EdgeCases) {
  auto m = MakeMemo("alpha\rbeta\rgamma");
  std::vector<std::pair<char, int>> events;
  m->OnBookmarkSet = [&](TCustomSyntaxMemo *, int n) { events.emplace_back('s', n); };
  m->OnBookmarkClear = [&](TCustomSyntaxMemo *, int n) { events.emplace_back('c', n); };
  m->SetBookmark(5, 2, 1);
  m->SetBookmark(3, 2, 1); // replaces 5 on that line
  int64_t line = 0;
  int col = 0;
  EXPECT_TRUE(m->GetBookmark(3, line, col));
  EXPECT_FALSE(m->GetBookmark(5, line, col));
  m->SetSelection(0, 0);
  m->GotoBookmark(5); // unset: nothing happens
  EXPECT_EQ(m->Caret(), 0);
  // A stored column beyond the line's end puts the caret at the end.
  m->SetBookmark(7, 3, 40);
  m->GotoBookmark(7);
  EXPECT_EQ(m->Caret(), m->TextLength());
  EXPECT_THROW(m->SetBookmark(10), ESyntaxMemo);
  try {
    m->SetBookmark(11);
  } catch (const ESyntaxMemo &e) {
    EXPECT_STREQ(e.what(), "Bookmark index range error");
  }
  EXPECT_EQ(events.front(), std::make_pair('s', 5));
}

TEST(SyntaxMemoMouse, DraggingTheSelectionMovesItAndOneUndoRestores) {
  auto m = MakeMemo("abc def ghi");
  m->SetSelection(0, 3); // "abc"
  QTest::mousePress(m->viewport(), Qt::LeftButton, {}, CellCentre(*m, 0, 1));
  QTest::mouseMove(m->viewport(), CellCentre(*m, 0, 5));
  QTest::mouseMove(m->viewport(), CellCentre(*m, 0, 9));
  // Drop before "hi": column 9 centre rounds to the cell boundary 9 or 10.
  QTest::mouseRelease(m->viewport(), Qt::LeftButton, {},
                      QPoint(m->TextLeft() + 8 * m->CharWidth(), 2));
  EXPECT_EQ(m->Text(), " def abcghi");
  EXPECT_EQ(m->SelText(), "abc");
  m->Undo();
  EXPECT_EQ(m->Text(), "abc def ghi");
  EXPECT_EQ(m->SelText(), "abc");
  m->Redo();
  EXPECT_EQ(m->Text(), " def abcghi");
}

TEST(SyntaxMemoMouse, ClickShiftClickAndDragSelect) {
  auto m = MakeMemo("first line\rsecond line\rthird");
  QTest::mouseClick(m->viewport(), Qt::LeftButton, {},
                    QPoint(m->TextLeft() + 2 * m->CharWidth(), 2));
  EXPECT_EQ(m->Caret(), 2);
  QTest::mouseClick(m->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                    QPoint(m->TextLeft() + 3 * m->CharWidth(), m->LineHeight() + 2));
  EXPECT_EQ(m->Anchor(), 2);
  EXPECT_EQ(m->Caret(), 11 + 3);
  QTest::mousePress(m->viewport(), Qt::LeftButton, {},
                    QPoint(m->TextLeft(), 2 * m->LineHeight() + 2));
  QTest::mouseMove(m->viewport(),
                   QPoint(m->TextLeft() + 5 * m->CharWidth(), 2 * m->LineHeight() + 2));
  QTest::mouseRelease(m->viewport(), Qt::LeftButton, {},
                      QPoint(m->TextLeft() + 5 * m->CharWidth(), 2 * m->LineHeight() + 2));
  EXPECT_EQ(m->SelText(), "third");
  // A gutter click reports the row's line.
  int64_t clicked = -1;
  m->OnGutterClick = [&](TSyntaxMemo *, int64_t line) { clicked = line; };
  QTest::mouseClick(m->viewport(), Qt::LeftButton, {}, QPoint(3, m->LineHeight() + 3));
  EXPECT_EQ(clicked, 1);
}

TEST(SyntaxMemoMouse, DoubleClickSelectsAWordOnlyWithWordSelect) {
  auto m = MakeMemo("alpha beta gamma");
  QTest::mouseDClick(m->viewport(), Qt::LeftButton, {}, CellCentre(*m, 0, 7));
  EXPECT_EQ(m->SelText(), "beta");
  m->SetOptionsMask(m->OptionsMask() & ~smoWordSelect);
  m->SetSelection(0, 0);
  QTest::mouseDClick(m->viewport(), Qt::LeftButton, {}, CellCentre(*m, 0, 13));
  EXPECT_EQ(m->SelText(), "");
}

TEST(SyntaxMemoScroll, MessagesWheelAndGeometry) {
  std::string text;
  for (int i = 0; i < 500; ++i)
    text += "row " + std::to_string(i) + "\r";
  auto m = MakeMemo(text);
  const int rows = m->VisibleRows();
  EXPECT_EQ(rows, m->viewport()->height() / m->LineHeight());
  EXPECT_EQ(m->VisibleColumns(),
            (m->viewport()->width() - m->Gutter() - m->Margin) / m->CharWidth());
  m->Perform(WM_VSCROLL, SB_PAGEDOWN, 0);
  EXPECT_EQ(m->TopLine(), rows);
  m->Perform(WM_VSCROLL, SB_LINEUP, 0);
  EXPECT_EQ(m->TopLine(), rows - 1);
  m->Perform(WM_VSCROLL, SB_THUMBPOSITION | (200 << 16), 0);
  EXPECT_EQ(m->TopLine(), 200);
  m->Perform(EM_LINESCROLL, 3, 10);
  EXPECT_EQ(m->TopLine(), 210);
  EXPECT_EQ(m->LeftColumn(), 3);
  m->Perform(WM_HSCROLL, SB_TOP, 0);
  EXPECT_EQ(m->LeftColumn(), 0);
  m->Perform(SM_TOPLINE, 1, 50);
  EXPECT_EQ(m->Perform(SM_TOPLINE, 0, 0), 50);
  EXPECT_EQ(m->verticalScrollBar()->value(), 50);
  // The wheel: one notch down scrolls by the system's lines per notch.
  QWheelEvent wheel(QPointF(50, 50), m->viewport()->mapToGlobal(QPointF(50, 50)), QPoint(),
                    QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(m->viewport(), &wheel);
  EXPECT_EQ(m->TopLine(), 50 + QApplication::wheelScrollLines());
  int consumed = 0;
  m->OnMouseWheel = [&](TSyntaxMemo *, int delta) {
    consumed = delta;
    return true;
  };
  QApplication::sendEvent(m->viewport(), &wheel);
  EXPECT_EQ(consumed, QApplication::wheelScrollLines());
  EXPECT_EQ(m->TopLine(), 50 + QApplication::wheelScrollLines());
  // Geometry answers: a position's point and back.
  m->Perform(SM_TOPLINE, 1, 10);
  const int64_t pos = m->LineStart(12) + 3;
  TSMPoint pt;
  m->Perform(EM_POSFROMCHAR, reinterpret_cast<intptr_t>(&pt), static_cast<intptr_t>(pos));
  EXPECT_EQ(pt.X, m->TextLeft() + 3 * m->CharWidth());
  EXPECT_EQ(pt.Y, 2 * m->LineHeight());
  TSMPoint inside{pt.X + 1, pt.Y + 1};
  EXPECT_EQ(m->Perform(EM_CHARFROMPOS, 0, reinterpret_cast<intptr_t>(&inside)), pos);
  TSMPoint gutter{2, 5};
  EXPECT_EQ(m->Perform(EM_CHARFROMPOS, 0, reinterpret_cast<intptr_t>(&gutter)), -1);
}

TEST(SyntaxMemoClipboard, CopyPutsTextAndRichTextPasteTakesText) {
  auto m = MakeMemo("one\rtwo");
  m->SetSelection(0, 7);
  m->Perform(WM_COPY);
  const QMimeData *mime = QApplication::clipboard()->mimeData();
  ASSERT_NE(mime, nullptr);
  EXPECT_TRUE(mime->text() == "one\ntwo" || mime->text() == "one\r\ntwo");
  EXPECT_TRUE(mime->hasFormat("text/rtf"));
  QApplication::clipboard()->setText(QString::fromUtf8("caf\xc3\xa9 \xe2\x82\xac"));
  EXPECT_EQ(m->Perform(EM_CANPASTE, 0, 0), 1);
  m->SetSelection(0, 0);
  m->Perform(WM_PASTE);
  // Pasted text enters as Windows-1252 bytes: e-acute 0xE9, euro 0x80.
  EXPECT_EQ(m->LineText(0).substr(0, 6), std::string("caf\xe9 \x80"));
}

TEST(SyntaxMemoDrop, FilesFromTheFileManagerGoToOnFilesDropped) {
  auto m = MakeMemo("text");
  std::vector<std::string> got;
  m->OnFilesDropped = [&](TSyntaxMemo *, const std::vector<std::string> &f) { got = f; };
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile("/tmp/a.bas"), QUrl::fromLocalFile("/tmp/b b.bas")});
  Drop(*m, QPointF(60, 5), data);
  EXPECT_TRUE(got.empty()); // smoProcessDroppedFiles not set
  m->SetOptionsMask(m->OptionsMask() | smoProcessDroppedFiles);
  Drop(*m, QPointF(60, 5), data);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[1], "/tmp/b b.bas");
  EXPECT_EQ(m->Text(), "text");
  // Dropped text from another window is inserted where it falls, as one undo step.
  QMimeData words;
  words.setText("XY");
  Drop(*m, QPointF(m->TextLeft() + 2 * m->CharWidth(), 5), words);
  EXPECT_EQ(m->Text(), "teXYxt");
  m->Undo();
  EXPECT_EQ(m->Text(), "text");
}

TEST(SyntaxMemoTemplates, HotKeyWithoutANameOffersTheList) {
  auto m = MakeMemo("");
  m->CodeTemplates = {{"for", "FOR loop", "FOR | = 0 TO 9\rNEXT"},
                      {"if", "IF block", "IF | THEN\rENDIF"}};
  std::vector<int> offered;
  m->ChooseTemplate = [&](TSyntaxMemo *, const std::vector<int> &c) {
    offered = c;
    return 1;
  };
  QTest::keyClick(m.get(), Qt::Key_J, Qt::ControlModifier);
  EXPECT_EQ(offered.size(), 2u);
  EXPECT_EQ(m->Text(), "IF  THEN\rENDIF");
  // A name before the caret expands without the list.
  m->Perform(WM_SETTEXT, 0, reinterpret_cast<intptr_t>(""));
  offered.clear();
  QTest::keyClicks(m.get(), "for");
  QTest::keyClick(m.get(), Qt::Key_J, Qt::ControlModifier);
  EXPECT_TRUE(offered.empty());
  EXPECT_EQ(m->Text(), "FOR  = 0 TO 9\rNEXT");
}
