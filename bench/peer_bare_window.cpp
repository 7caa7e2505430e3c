// The start-up peer: a bare Qt main window that reports the moment it is on
// screen the same way korvex does (a line after the first show has been
// handled), then ends.
#include <QApplication>
#include <QMainWindow>
#include <QTimer>

#include <cstdio>

namespace {
class TBareWindow : public QMainWindow {
protected:
  void showEvent(QShowEvent *e) override {
    QMainWindow::showEvent(e);
    QTimer::singleShot(0, this, [] {
      std::fputs("KX-SHOWN\n", stdout);
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
