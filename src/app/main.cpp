// Program entry (placeholder until the main window lands).
#include <QApplication>
#include <QMainWindow>

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  QMainWindow w;
  w.setWindowTitle("KORVEX");
  w.show();
  return app.exec();
}
