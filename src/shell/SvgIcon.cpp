// SvgIcon: an icon engine over one SVG drawing of the program's resources.
#include "SvgIcon.h"

#include <QApplication>
#include <QFile>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QSvgRenderer>

namespace {

class TSvgIconEngine : public QIconEngine {
public:
  explicit TSvgIconEngine(QString path) : path_(std::move(path)) {}

  void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override {
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    QPixmap pm = scaledPixmap((QSizeF(rect.size()) * ratio).toSize(), mode, state, ratio);
    painter->drawPixmap(rect, pm);
  }

  QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override {
    return scaledPixmap(size, mode, state, 1.0);
  }

  // The toolkit asks in device pixels: `size` is already scaled by `scale`.
  QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State, qreal scale) override {
    const QSize pixels = size;
    if (pixels.isEmpty())
      return {};
    const quint64 key = (quint64(pixels.width()) << 32) | (quint64(pixels.height()) << 8) |
                        quint64(mode == QIcon::Disabled);
    if (const auto it = cache_.constFind(key); it != cache_.constEnd())
      return *it;
    QPixmap pm(pixels);
    pm.fill(Qt::transparent);
    if (Load()) {
      QPainter p(&pm);
      renderer_.render(&p, QRectF(QPointF(0, 0), QSizeF(pixels)));
    }
    if (mode == QIcon::Disabled) {
      QStyleOption opt;
      opt.palette = QApplication::palette();
      pm = QApplication::style()->generatedIconPixmap(QIcon::Disabled, pm, &opt);
    }
    pm.setDevicePixelRatio(scale);
    cache_.insert(key, pm);
    return pm;
  }

  QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override { return size; }
  QIconEngine *clone() const override { return new TSvgIconEngine(path_); }
  QString key() const override { return QStringLiteral("KorvexSvg"); }

private:
  bool Load() {
    if (!loaded_) {
      loaded_ = true;
      QFile f(path_);
      if (f.open(QIODevice::ReadOnly))
        renderer_.load(f.readAll());
    }
    return renderer_.isValid();
  }

  QString path_;
  bool loaded_ = false;
  QSvgRenderer renderer_;
  QHash<quint64, QPixmap> cache_;
};

} // namespace

QIcon SvgIcon(const QString &name) {
  // A static library's resources are registered by hand.
  static const bool registered = [] {
    Q_INIT_RESOURCE(icons);
    return true;
  }();
  (void)registered;
  return QIcon(new TSvgIconEngine(QStringLiteral(":/icons/") + name + QStringLiteral(".svg")));
}
