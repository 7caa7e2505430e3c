// Gutter glyphs painted once per process.
#include "GutterImages.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

#include <array>

QColor BookmarkGlyphColor() {
  return QColor(0, 0, 160);
}

namespace {

QImage Blank() {
  QImage img(kGutterImageWidth, kGutterImageHeight, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  return img;
}

QImage MakeBookmark(int n) {
  QImage img = Blank();
  QPainter p(&img);
  // A folded-corner tag with the bookmark's digit.
  p.setPen(Qt::NoPen);
  p.setBrush(BookmarkGlyphColor());
  QPainterPath path;
  path.moveTo(1, 1);
  path.lineTo(11, 1);
  path.lineTo(14, 4);
  path.lineTo(14, 15);
  path.lineTo(1, 15);
  path.closeSubpath();
  p.drawPath(path);
  QFont f("DejaVu Sans");
  f.setPixelSize(11);
  f.setBold(true);
  p.setFont(f);
  p.setPen(Qt::white);
  p.drawText(QRect(1, 2, 13, 13), Qt::AlignCenter, QString::number(n));
  return img;
}

QImage MakeWrapped() {
  QImage img = Blank();
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(QPen(QColor(0, 128, 0), 2));
  // A return arrow: down from the top right, then left.
  p.drawLine(11, 2, 11, 10);
  p.drawLine(11, 10, 3, 10);
  p.drawLine(3, 10, 6, 7);
  p.drawLine(3, 10, 6, 13);
  return img;
}

} // namespace

const QImage &BookmarkGlyph(int n) {
  static const std::array<QImage, 10> images = [] {
    std::array<QImage, 10> a;
    for (int i = 0; i < 10; ++i)
      a[i] = MakeBookmark(i);
    return a;
  }();
  return images[static_cast<size_t>(n < 0 ? 0 : n > 9 ? 9 : n)];
}

const QImage &WrappedGlyph() {
  static const QImage img = MakeWrapped();
  return img;
}

namespace {

QImage MakeGutterMark(int n) {
  QImage img = Blank();
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  if (n == 1) { // code break: an arrow
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 200, 0));
    const QPointF arrow[] = {{2, 5}, {8, 5}, {8, 2}, {14, 8}, {8, 14}, {8, 11}, {2, 11}};
    p.drawPolygon(arrow, 7);
    return img;
  }
  static const QColor colours[] = {Qt::red,     Qt::yellow, Qt::green,   Qt::blue,
                                   Qt::magenta, Qt::cyan,   Qt::darkRed, Qt::darkGreen};
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(colours[n % 8]);
  p.drawEllipse(QRectF(2.5, 3.5, 10, 10));
  return img;
}

} // namespace

const QImage &DefaultGutterMarkImage(int n) {
  // Drawn when a line first shows the mark, not as every editor is made:
  // most editors never show one.
  static std::array<QImage, 16> images;
  QImage &img = images[static_cast<size_t>(n & 15)];
  if (img.isNull())
    img = MakeGutterMark(n & 15);
  return img;
}
