// The toolbar: every button has its own drawn icon, crisp at 1x and 2x, the
// button's hint as its tooltip, and its caption for a text-beside-icon style.
#include "FileCommandsTestFixture.h"

#include <QAction>
#include <QToolBar>
#include <QToolButton>

#include <set>

using namespace kxdocs;

namespace {

int VisiblePixels(const QImage &img) {
  int n = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      n += qAlpha(img.pixel(x, y)) > 128;
  return n;
}

class Toolbar : public DocsTest {};

} // namespace

TEST_F(Toolbar, EveryButtonHasItsOwnCrispIconItsHintAndItsCaption) {
  const QList<QAction *> actions = form->ToolBar1->actions();
  std::set<QByteArray> drawings;
  int buttons = 0;
  for (QAction *a : actions) {
    if (a->isSeparator())
      continue;
    ++buttons;
    const std::string name = a->objectName().toStdString();
    ASSERT_FALSE(a->icon().isNull()) << name;
    EXPECT_FALSE(a->text().isEmpty()) << name;
    EXPECT_FALSE(a->toolTip().isEmpty()) << name;
    EXPECT_EQ(a->toolTip(), a->statusTip()) << name;
    for (const qreal ratio : {1.0, 2.0}) {
      const QPixmap pm = a->icon().pixmap(QSize(16, 16), ratio);
      const QImage img = pm.toImage();
      // Rendered at the device's pixel size, not scaled up from 16 pixels.
      EXPECT_EQ(img.size(), QSize(qRound(16 * ratio), qRound(16 * ratio))) << name;
      EXPECT_GT(VisiblePixels(img), img.width() * img.height() / 10) << name << " " << ratio;
      if (ratio == 2.0) {
        const QImage c = img.convertToFormat(QImage::Format_ARGB32);
        drawings.insert(QByteArray(reinterpret_cast<const char *>(c.constBits()), c.sizeInBytes()));
      }
    }
    // The disabled look differs from the enabled one.
    EXPECT_NE(a->icon().pixmap(QSize(16, 16), 1.0, QIcon::Disabled).toImage(),
              a->icon().pixmap(QSize(16, 16), 1.0, QIcon::Normal).toImage())
        << name;
  }
  EXPECT_EQ(buttons, 16);
  EXPECT_EQ(drawings.size(), static_cast<size_t>(buttons)); // no two buttons look alike

  // Icons only by default; the captions show beside the icons on request.
  auto *save = qobject_cast<QToolButton *>(form->ToolBar1->widgetForAction(form->SaveButton));
  ASSERT_NE(save, nullptr);
  EXPECT_EQ(save->toolButtonStyle(), Qt::ToolButtonIconOnly);
  form->ToolBar1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  QApplication::processEvents();
  EXPECT_EQ(save->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
  EXPECT_EQ(save->text(), QStringLiteral("Save"));
  EXPECT_EQ(save->toolTip(), QStringLiteral("Save file"));
}
