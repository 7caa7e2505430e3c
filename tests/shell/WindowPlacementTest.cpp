// The main window comes back where the user left it (place, size, maximised)
// from its own section of the settings file, always on a screen that is there.
#include "FileCommandsTestFixture.h"

#include "WindowPlacement.h"

#include <QScreen>

#include <random>

using namespace kxdocs;

namespace {

class WindowPlacement : public DocsTest {
protected:
  QRect Screen() { return QGuiApplication::primaryScreen()->availableGeometry(); }
  // On the screen but for the few pixels a window frame may push it.
  static bool OnScreen(const QRect &screen, const QRect &window) {
    return screen.adjusted(-10, -10, 10, 10).contains(window);
  }
  std::string Ini() { return dir + "KX_INC/KORVEX.INI"; }
  // A new main window, shown as the next start shows it.
  std::unique_ptr<TEditorMainForm> NextStart() {
    auto f = std::make_unique<TEditorMainForm>();
    InitProcessPaths(root.string());
    f->show();
    QApplication::processEvents();
    return f;
  }
};

} // namespace

TEST(WindowPlacementFit, TheResultAlwaysLiesOnTheScreenAndAFittingPlaceIsKept) {
  std::mt19937 rng(20);
  std::uniform_int_distribution<int> pos(-3000, 3000), size(1, 4000);
  const QRect screen(0, 30, 1280, 994);
  for (int i = 0; i < 5000; ++i) {
    const QRect wanted(pos(rng), pos(rng), size(rng), size(rng));
    const QRect got = FitOnScreen(wanted, screen);
    ASSERT_TRUE(screen.contains(got)) << i;
    EXPECT_EQ(got.width(), std::min(wanted.width(), screen.width()));
    EXPECT_EQ(got.height(), std::min(wanted.height(), screen.height()));
    if (screen.contains(wanted)) {
      EXPECT_EQ(got, wanted);
    }
  }
}

TEST_F(WindowPlacement, ClosingStoresThePlaceAndTheNextStartRestoresIt) {
  const QRect s = Screen();
  form->move(s.left() + 30, s.top() + 20);
  form->resize(s.width() / 2, s.height() / 2);
  QApplication::processEvents();
  const QPoint at = form->geometry().topLeft();
  const QSize size = form->size();
  ASSERT_TRUE(form->close());
  const TWindowPlacement stored = ReadWindowPlacement(Ini(), "MAIN_WINDOW");
  ASSERT_TRUE(stored.Known);
  EXPECT_EQ(stored.Frame, QRect(at, size));
  EXPECT_FALSE(stored.Maximised);
  // The other settings are untouched.
  EXPECT_EQ(TIniFile(Ini()).ReadString("PROGRAMMER", "TYPE", "?"), "EPIC");

  auto next = NextStart();
  EXPECT_EQ(next->geometry().topLeft(), at);
  EXPECT_EQ(next->size(), size);
  EXPECT_FALSE(next->windowState() & Qt::WindowMaximized);
}

TEST_F(WindowPlacement, APlaceOffTheScreensIsBroughtBackAndAMaximisedWindowStaysSo) {
  const QRect s = Screen();
  WriteWindowPlacement(
      Ini(), "MAIN_WINDOW",
      {QRect(s.right() + 5000, s.bottom() + 400, s.width() * 3, 200), false, true});
  auto next = NextStart();
  EXPECT_TRUE(OnScreen(s, next->geometry())) << next->geometry().x();
  EXPECT_EQ(next->width(), s.width());
  EXPECT_EQ(next->height(), 200);

  WriteWindowPlacement(Ini(), "MAIN_WINDOW",
                       {QRect(s.left() + 10, s.top() + 10, 620, 450), true, true});
  auto maximised = NextStart();
  EXPECT_TRUE(maximised->windowState() & Qt::WindowMaximized);
  // Closing it again keeps the normal place for the day it is restored.
  ASSERT_TRUE(maximised->close());
  const TWindowPlacement stored = ReadWindowPlacement(Ini(), "MAIN_WINDOW");
  EXPECT_TRUE(stored.Maximised);
  EXPECT_EQ(stored.Frame.size(), QSize(620, 450));
}

TEST_F(WindowPlacement, WithoutAStoredPlaceTheWindowIsLargeAndCentredAndJunkIsIgnored) {
  const QRect s = Screen();
  auto first = NextStart();
  EXPECT_GE(first->width(), std::min(s.width(), 1000));
  EXPECT_GE(first->height(), std::min(s.height(), 700));
  EXPECT_TRUE(OnScreen(s, first->geometry()));
  // Hand-edited nonsense counts as nothing stored.
  WriteFileAtomic(Ini(),
                  std::string(DefaultIni) +
                      "[MAIN_WINDOW]\r\nLEFT=x\r\nTOP=-99999999999\r\nWIDTH=0\r\nHEIGHT=\r\n");
  EXPECT_FALSE(ReadWindowPlacement(Ini(), "MAIN_WINDOW").Known);
  auto junk = NextStart();
  EXPECT_EQ(junk->size(), first->size());
}
