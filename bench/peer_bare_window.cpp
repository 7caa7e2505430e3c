// The start-up peer: a bare Qt main window, as a Qt program's first lines
// make it (a title and a File menu with one item), that reports the moment
// its first frame is on screen the same way korvex does (a line with the
// processor time spent, once the first paint has been handled), then ends.
// Started with the argument "empty" it shows no text at all: no menu bar,
// so the font system is never touched.
#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QMenuBar>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

class TBareWindow : public QMainWindow {
protected:
  bool event(QEvent *e) override {
    // The children paint in the same pass: the frame is done once the loop
    // turns again.
    if (e->type() == QEvent::Paint && !painted_) {
      painted_ = true;
      QTimer::singleShot(0, this, [] {
        timespec cpu{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
        std::printf("KX-SHOWN cpu-ms=%.3f\n",
                    static_cast<double>(cpu.tv_sec) * 1e3 + static_cast<double>(cpu.tv_nsec) / 1e6);
        std::fflush(stdout);
        QCoreApplication::quit();
      });
    }
    return QMainWindow::event(e);
  }

private:
  bool painted_ = false;
};

} // namespace

int main(int argc, char **argv) {
  const bool empty = argc > 1 && std::strcmp(argv[1], "empty") == 0;
  QApplication app(argc, argv);
  TBareWindow w;
  w.setWindowTitle(QStringLiteral("peer"));
  if (!empty)
    w.menuBar()
        ->addMenu(QStringLiteral("&File"))
        ->addAction(QStringLiteral("&Quit"), &app, &QCoreApplication::quit);
  w.resize(900, 640);
  w.show();
  return app.exec();
}
