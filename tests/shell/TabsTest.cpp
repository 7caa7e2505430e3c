// The tab bar through real mouse and key events: the popup menu acts on the
// tab that was clicked.
#include "FileCommandsTestFixture.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>

using namespace kxdocs;

namespace {

class TabBar : public DocsTest {
protected:
  // A right click on tab i as the window system delivers it, then a click on
  // the popup's item with this caption.
  void ChooseFromTabPopup(int i, const QString &caption) {
    QTabBar *bar = form->OpenFilesTab;
    const QPoint at = bar->tabRect(i).center();
    QTest::mousePress(bar, Qt::RightButton, {}, at);
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at, bar->mapToGlobal(at));
    QApplication::sendEvent(bar, &menuEvent);
    QTest::mouseRelease(bar, Qt::RightButton, {}, at);
    QMenu *menu = form->TabPopupMenu;
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }));
    QAction *item = nullptr;
    for (QAction *a : menu->actions())
      if (a->text() == caption)
        item = a;
    ASSERT_NE(item, nullptr);
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
    QApplication::processEvents();
  }
};

} // namespace

TEST_F(TabBar, ClosePageFromTheTabPopupClosesTheClickedTab) {
  const std::string a = Put("a.bas", "A"), b = Put("b.bas", "B"), c = Put("c.bas", "C");
  Open(a);
  Open(b);
  Open(c);
  ASSERT_EQ(TabIndex(), 2);
  ChooseFromTabPopup(0, QStringLiteral("Close page"));
  ASSERT_EQ(Tabs(), 2);
  EXPECT_EQ(TabText(0), "b.bas");
  EXPECT_EQ(TabText(1), "c.bas");
  // The clicked tab was shown through the normal tab change before it closed.
  EXPECT_EQ(History(), "[MRU]\r\n" + a + "\r\n\r\n");
  // Clicking the current tab (b.bas) closes it; c.bas is shown.
  ASSERT_EQ(TabIndex(), 0);
  ChooseFromTabPopup(0, QStringLiteral("Close page"));
  ASSERT_EQ(Tabs(), 1);
  EXPECT_EQ(TabText(0), "c.bas");
  EXPECT_EQ(Text(), "C");
  EXPECT_EQ(form->windowTitle().toStdString(), c);
}

TEST_F(TabBar, ReOpenFileFromTheTabPopupReloadsTheClickedTab) {
  const std::string a = Put("a.bas", "A"), b = Put("b.bas", "B");
  Open(a);
  Open(b);
  Put("a.bas", "A changed on disk");
  Answer({"Yes"});
  ChooseFromTabPopup(0, QStringLiteral("Re-Open File"));
  EXPECT_EQ(Messages().back(), "File \"" + a + "\" is already open\rDo you wish to reload ?");
  ASSERT_EQ(Tabs(), 2);
  EXPECT_EQ(Text(), "A changed on disk");
  EXPECT_EQ(form->windowTitle().toStdString(), a);
}

TEST_F(TabBar, CtrlTabAndCtrlPageKeysSwitchTabsWithoutTypingATab) {
  const std::string a = Put("a.bas", "A"), b = Put("b.bas", "B"), c = Put("c.bas", "C");
  Open(a);
  Open(b);
  Open(c);
  ASSERT_EQ(TabIndex(), 2);
  Key(Qt::Key_Tab, Qt::ControlModifier); // past the last tab to the first
  EXPECT_EQ(TabIndex(), 0);
  EXPECT_EQ(Text(), "A");
  EXPECT_EQ(form->windowTitle().toStdString(), a);
  Key(Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(Text(), "B");
  Key(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(Text(), "A");
  Key(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier); // before the first: the last
  EXPECT_EQ(Text(), "C");
  Key(Qt::Key_PageDown, Qt::ControlModifier);
  EXPECT_EQ(Text(), "A");
  Key(Qt::Key_PageUp, Qt::ControlModifier);
  EXPECT_EQ(Text(), "C");
  // No key typed anything into any document.
  for (int i = 0; i < 3; ++i) {
    SelectTab(i);
    EXPECT_EQ(Panel(1), "") << i;
  }
  // A plain TAB still types one.
  Key(Qt::Key_Tab);
  EXPECT_EQ(Text().front(), '\t');
}

TEST_F(TabBar, AModifiedDocumentsTabShowsAMarkerAndKeepsItsCaption) {
  const std::string a = Put("a.bas", "A"), b = Put("b.bas", "B");
  Open(a);
  Open(b);
  EXPECT_TRUE(form->OpenFilesTab->tabIcon(1).isNull());
  Type("x");
  EXPECT_FALSE(form->OpenFilesTab->tabIcon(1).isNull());
  EXPECT_EQ(TabText(1), "b.bas");
  // The mark stays with its tab while another is shown.
  SelectTab(0);
  EXPECT_TRUE(form->OpenFilesTab->tabIcon(0).isNull());
  EXPECT_FALSE(form->OpenFilesTab->tabIcon(1).isNull());
  // Undoing to the save point, or saving, takes it away.
  SelectTab(1);
  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_TRUE(form->OpenFilesTab->tabIcon(1).isNull());
  Type("y");
  form->SaveButtonClick(nullptr);
  EXPECT_TRUE(form->OpenFilesTab->tabIcon(1).isNull());
  EXPECT_EQ(TabText(1), "b.bas");
  // The marker is drawn: it has visible pixels at 1x and at 2x.
  Type("z");
  const QIcon mark = form->OpenFilesTab->tabIcon(1);
  for (const qreal ratio : {1.0, 2.0}) {
    const QImage img = mark.pixmap(QSize(16, 16), ratio).toImage();
    EXPECT_EQ(img.width(), qRound(16 * ratio));
    int opaque = 0;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x)
        opaque += qAlpha(img.pixel(x, y)) > 128;
    EXPECT_GT(opaque, img.width() * img.height() / 8) << ratio;
  }
}
