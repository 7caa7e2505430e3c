// Reading printed pages in tests: PDF files through poppler's tools, run as
// real processes (the page count, the text, a page rendered to an image),
// and where the ink lies on a page image.
#pragma once

#include <QImage>
#include <QProcess>
#include <QRect>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <climits>
#include <string>

namespace kxpdf {

// Output of a tool, or an empty string when it is missing or fails.
inline QString Run(const QString &tool, const QStringList &args) {
  const QString exe = QStandardPaths::findExecutable(tool);
  if (exe.isEmpty())
    return {};
  QProcess p;
  p.start(exe, args);
  if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
    return {};
  return QString::fromUtf8(p.readAllStandardOutput());
}

inline bool HaveTools() {
  return !QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty() &&
         !QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty() &&
         !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty();
}

// The page count pdfinfo reports (-1 when it cannot read the file).
inline int PageCount(const QString &pdf) {
  const QString info = Run(QStringLiteral("pdfinfo"), {pdf});
  for (const QString &line : info.split(QLatin1Char('\n')))
    if (line.startsWith(QLatin1String("Pages:")))
      return line.mid(6).trimmed().toInt();
  return -1;
}

// The text of one page (from 1).
inline QString PageText(const QString &pdf, int page) {
  return Run(QStringLiteral("pdftotext"),
             {QStringLiteral("-layout"), QStringLiteral("-f"), QString::number(page),
              QStringLiteral("-l"), QString::number(page), pdf, QStringLiteral("-")});
}

// One page rendered at dpi pixels per inch (a null image on failure).
inline QImage PageImage(const QString &pdf, int page, int dpi, const QString &folder) {
  const QString base = folder + QStringLiteral("/page");
  Run(QStringLiteral("pdftoppm"),
      {QStringLiteral("-png"), QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"),
       QString::number(page), QStringLiteral("-l"), QString::number(page),
       QStringLiteral("-singlefile"), pdf, base});
  return QImage(base + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
}

// Pixels whose colour leans clearly towards one channel: 0 red, 1 green, 2 blue.
inline int Tinted(const QImage &img, int channel) {
  int n = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const QRgb c = img.pixel(x, y);
      const int v[3] = {qRed(c), qGreen(c), qBlue(c)};
      const int o1 = v[(channel + 1) % 3], o2 = v[(channel + 2) % 3];
      if (v[channel] > o1 + 50 && v[channel] > o2 + 50)
        ++n;
    }
  return n;
}

// The box around every pixel darker than light grey (null when none).
inline QRect InkBox(const QImage &img, const QRect &within) {
  int x0 = INT_MAX, y0 = INT_MAX, x1 = -1, y1 = -1;
  const QRect r = within.intersected(img.rect());
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      if (qGray(img.pixel(x, y)) < 200) {
        x0 = std::min(x0, x);
        y0 = std::min(y0, y);
        x1 = std::max(x1, x);
        y1 = std::max(y1, y);
      }
  return x1 < 0 ? QRect() : QRect(QPoint(x0, y0), QPoint(x1, y1));
}

// The left-most column holding a dark pixel (-1 when the page is blank).
inline int InkLeft(const QImage &img) {
  for (int x = 0; x < img.width(); ++x)
    for (int y = 0; y < img.height(); ++y)
      if (qGray(img.pixel(x, y)) < 160)
        return x;
  return -1;
}

} // namespace kxpdf
