// The program under a real window system (a private X server with a window
// manager): what the window manager shows as captions, and keys typed into
// the focused window.
#include "ProgramInstall.h"
#include "XServer.h"

namespace {

using namespace kxprogram;
using kxtest::TXServer;

class RealWindow : public ::testing::Test {
protected:
  void SetUp() override {
    App();
    x = std::make_unique<TXServer>();
    if (!x->Ready())
      GTEST_SKIP() << "no X server, window manager or xdotool here";
  }
  std::unique_ptr<QProcess> Start(Install &inst, const QStringList &args = {}) {
    return inst.Start(QStringLiteral("log"), x->ProgramEnvironment(), args);
  }
  std::unique_ptr<TXServer> x;
};

TEST_F(RealWindow, CaptionsAreThePathOrKorvexCompilerWithNothingAppended) {
  Install inst(Install::EmptySettingsFile);
  const QString file = inst.Folder() + QStringLiteral("/blink.bas");
  WriteFileAtomic(file.toStdString(), "HIGH PORTB.0\r\n");
  auto p = Start(inst, {file});
  const QString w = x->WindowCalled(p->processId(), file);
  ASSERT_FALSE(w.isEmpty()) << "captions seen: "
                            << x->Caption(x->Windows(p->processId()).value(0)).toStdString();
  // Close All from the File menu: no document, the caption of the empty window.
  x->Keys(w, {QStringLiteral("alt+f"), QStringLiteral("l")});
  EXPECT_TRUE(TXServer::WaitFor([&] { return x->Caption(w) == QStringLiteral("KORVEX Compiler"); }))
      << x->Caption(w).toStdString();
  p->kill();
  p->waitForFinished(5000);
}

// "Position: x,y" and "Geometry: wxh" as xdotool reports the window.
QString Geometry(TXServer &x, const QString &w) {
  return x.Xdotool({QStringLiteral("getwindowgeometry"), w}).section(QLatin1Char('\n'), 1);
}

TEST_F(RealWindow, TheWindowComesBackExactlyWhereItWasLeftStartAfterStart) {
  Install inst(Install::EmptySettingsFile);
  inst.WriteSettings("[MAIN_WINDOW]\r\nLEFT=120\r\nTOP=90\r\nWIDTH=820\r\nHEIGHT=560\r\n"
                     "MAXIMISED=0\r\n");
  QString first;
  for (int run = 0; run < 3; ++run) {
    auto p = Start(inst);
    const QString w = x->WindowCalled(p->processId(), QStringLiteral("No_name.bas"));
    ASSERT_FALSE(w.isEmpty()) << run;
    const QString g = Geometry(*x, w);
    EXPECT_TRUE(g.contains(QStringLiteral("820x560"))) << g.toStdString();
    if (run == 0)
      first = g;
    EXPECT_EQ(g.toStdString(), first.toStdString())
        << "run " << run;                                       // no creeping by the frame's size
    x->Keys(w, {QStringLiteral("alt+f"), QStringLiteral("x")}); // Exit
    EXPECT_TRUE(Finish(*p)) << run;
  }
}

} // namespace
