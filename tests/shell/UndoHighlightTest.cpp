// Undo and redo reach the highlighting pass and the screen: after every step
// the pixels on screen are the ones a full repaint of the editor draws.
#include "FileCommandsTestFixture.h"

#include <QScreen>
#include <QWindow>

using namespace kxdocs;

namespace {

class UndoHighlight : public DocsTest {
protected:
  // The editor's text area below the caret's row as it is on screen now (the
  // window's backing store, which holds only what was repainted), and as a
  // full repaint draws it.
  void Shots(QImage &onScreen, QImage &repainted) {
    QApplication::processEvents();
    QWidget *vp = Memo()->viewport();
    const int lh = Memo()->LineHeight();
    const QRect area(0, lh, vp->width(), vp->height() - lh);
    const QPoint origin = vp->mapTo(form.get(), area.topLeft());
    onScreen = form->screen()
                   ->grabWindow(form->winId(), origin.x(), origin.y(), area.width(), area.height())
                   .toImage()
                   .convertToFormat(QImage::Format_RGB32);
    repainted = vp->grab(area).toImage().convertToFormat(QImage::Format_RGB32);
  }
};

} // namespace

TEST_F(UndoHighlight, EveryUndoAndRedoStepRepaintsTheLinesWhoseColoursChanged) {
  // A blank first line: typing ASM there makes the lines below assembler.
  std::string text = "\r\n";
  for (int i = 0; i < 20; ++i)
    text += "x = " + std::to_string(i) + " ' note\r\n";
  Open(Put("a.bas", text));
  QImage basic, full;
  Shots(basic, full);
  ASSERT_EQ(basic, full);

  Type("ASM");
  Key(Qt::Key_Return);
  QImage assembler;
  Shots(assembler, full);
  ASSERT_EQ(assembler, full);
  ASSERT_NE(assembler, basic); // the lines below changed colour

  for (int step = 1; step <= 4; ++step) {
    Key(Qt::Key_Z, Qt::ControlModifier);
    QImage screen;
    Shots(screen, full);
    EXPECT_EQ(screen, full) << "after undo " << step;
  }
  QImage screen;
  Shots(screen, full);
  EXPECT_EQ(screen, basic);
  EXPECT_EQ(Panel(1), "");
  for (int step = 1; step <= 4; ++step) {
    Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    Shots(screen, full);
    EXPECT_EQ(screen, full) << "after redo " << step;
  }
  EXPECT_EQ(screen, assembler);
}
