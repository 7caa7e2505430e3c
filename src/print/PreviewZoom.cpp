// Zoom list and scale rules of the preview window.
#include "PreviewZoom.h"

#include <algorithm>
#include <cmath>

QStringList ZoomItems() {
  return {QStringLiteral("Fit To Page"), QStringLiteral("Fit To Width"), QStringLiteral("Custom"),
          QStringLiteral("25%"),         QStringLiteral("50%"),          QStringLiteral("75%"),
          QStringLiteral("100%"),        QStringLiteral("125%"),         QStringLiteral("150%"),
          QStringLiteral("200%"),        QStringLiteral("300%"),         QStringLiteral("400%")};
}

double ZoomScale(int item, const TZoomView &v) {
  const double ppiX = std::max(1.0, v.PpiX), ppiY = std::max(1.0, v.PpiY);
  const double w = std::max(0.01, v.PageWidth), h = std::max(0.01, v.PageHeight);
  switch (item) {
  case ziFitToPage:
    return std::max(kMinScale, (v.Client.height() - 20) / ppiY / h);
  case ziFitToWidth: {
    double s = (v.Client.width() - 20) / ppiX / w;
    // A page taller than the window brings a vertical scroll bar, which
    // must not push the page's width out of view.
    if (ppiY * s * h + 20 > v.Client.height())
      s = (v.Client.width() - v.ScrollBarWidth - 20) / ppiX / w;
    return std::max(kMinScale, s);
  }
  case ziCustom:
    return v.LastScale;
  default:
    break;
  }
  const QStringList items = ZoomItems();
  if (item > ziCustom && item < items.size()) {
    QString t = items[item];
    t.chop(1);
    return t.toInt() / 100.0;
  }
  return 1.0;
}

QSize PanelSize(double scale, const TZoomView &v) {
  return QSize(static_cast<int>(std::lround(v.PpiX * scale * v.PageWidth)),
               static_cast<int>(std::lround(v.PpiY * scale * v.PageHeight)));
}
