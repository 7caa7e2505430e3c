// The start-up peer: a bare Qt main window that reports the moment it is on
// screen the same way korvex does (a line with the processor time spent,
// after the first show has been handled), then ends.
#include <QApplication>
#include <QMainWindow>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace {
class TBareWindow : public QMainWindow {
protected:
  void showEvent(QShowEvent *e) override {
    QMainWindow::showEvent(e);
    QTimer::singleShot(0, this, [] {
      timespec cpu{};
      clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
      std::printf("KX-SHOWN cpu-ms=%.3f\n",
                  static_cast<double>(cpu.tv_sec) * 1e3 + static_cast<double>(cpu.tv_nsec) / 1e6);
      std::fflush(stdout);
      QCoreApplication::quit();
    });
  }
};
} // namespace

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  TBareWindow w;
  w.setWindowTitle(QStringLiteral("peer"));
  w.resize(900, 640);
  w.show();
  return app.exec();
}
