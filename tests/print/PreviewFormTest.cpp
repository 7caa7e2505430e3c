// The preview window: its tools, hints and zoom list, the scale rules, the
// zoom and hand tools, one and two pages, the grid, navigation with the
// go-to-page dialog, and the modal window the engine opens.
#include "PreviewForm.h"
#include "GoToPageDialog.h"
#include "PrintTestUtil.h"
#include "Prompter.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <deque>

using namespace kxprint;

namespace {

// An engine holding n pages, each with its number written large.
std::unique_ptr<TPreviewPrinter> Engine(int n) {
  App();
  auto pp = std::make_unique<TPreviewPrinter>();
  // Each engine's log lives as long as the test program.
  static std::deque<TRecordingTarget::TLog> logs;
  pp->SetTarget(std::make_unique<TRecordingTarget>(logs.emplace_back()));
  pp->BeginDoc();
  for (int i = 0; i < n; ++i) {
    if (i > 0)
      pp->NewPage();
    QPainter *c = pp->Canvas();
    QFont f("Arial");
    f.setPointSize(60);
    c->setFont(f);
    c->drawText(QRect(0, 0, pp->Metrics().PageWidth, pp->Metrics().PageHeight), Qt::AlignCenter,
                QString::number(i + 1));
  }
  pp->EndDoc();
  return pp;
}

struct Form {
  std::unique_ptr<TPreviewPrinter> pp;
  std::unique_ptr<TPreviewForm> f;
  explicit Form(int pages, QSize size = QSize(1000, 800)) : pp(Engine(pages)) {
    f = std::make_unique<TPreviewForm>(*pp);
    f->resize(size);
    f->show();
    QApplication::processEvents();
    f->UpdateView();
  }
  QSize Natural() const { return PanelSize(1.0, f->ZoomViewNow()); }
  void Zoom(const QString &item) { f->ZoomList->setCurrentIndex(f->ZoomList->findText(item)); }
  QStringList Hints(QToolBar *bar) const {
    QStringList out;
    for (QAction *a : bar->actions())
      if (!a->isSeparator() && !a->statusTip().isEmpty() && a->text() != QString())
        out << a->text() + QLatin1Char('|') + a->statusTip();
    return out;
  }
};

} // namespace

TEST(PreviewForm, ToolsHintsAndZoomList) {
  Form w(3);
  TPreviewForm &f = *w.f;
  EXPECT_EQ(f.windowTitle(), "Preview Form");
  EXPECT_EQ(w.Hints(f.ToolBar),
            (QStringList{"Grid|Turns Grid On/Off", "Zoom|Selects the Zoom Tool to zoom in or out",
                         "Hand|Selects the Hand Tool to pan across the Page",
                         "&1|Display One page at a time", "&2|Display Two pages side by side",
                         "Fit Page|Fit to Page", "Fit Width|Fit to Width",
                         "&Print...|Print the pages", "Pre&v|Move to Previous Page in Document",
                         "&Next|Advance to Next Page in Document", "&Close|Close the preview"}));
  QStringList nav;
  for (QAction *a : f.Navigator->actions())
    nav << a->statusTip();
  EXPECT_EQ(nav, (QStringList{"Go to First Page in Document", "Move to Previous Page in Document",
                              "Advance to Next Page in Document", "Go to Last Page in Document",
                              "Go to Page by Page Number"}));
  QStringList items;
  for (int i = 0; i < f.ZoomList->count(); ++i)
    items << f.ZoomList->itemText(i);
  EXPECT_EQ(items, (QStringList{"Fit To Page", "Fit To Width", "Custom", "25%", "50%", "75%",
                                "100%", "125%", "150%", "200%", "300%", "400%"}));
  // Opened as the engine asks: one page, fit to page, zoom tool, no grid.
  EXPECT_EQ(f.ZoomList->currentText(), "Fit To Page");
  EXPECT_EQ(f.Tool(), TPreviewForm::TTool::Zoom);
  EXPECT_TRUE(f.ZoomButton->isChecked());
  EXPECT_FALSE(f.GridButton->isChecked());
  EXPECT_FALSE(f.TwoPages());
  // The hint of whatever the mouse is over shows in the status line.
  f.GoToPageButton->showStatusText(f.Navigator);
  EXPECT_EQ(f.HintLabel->text(), "Go to Page by Page Number");
  f.GridButton->showStatusText(f.ToolBar);
  EXPECT_EQ(f.HintLabel->text(), "Turns Grid On/Off");
}

TEST(PreviewForm, ADocumentOfOnePageShowsPage1Of1WithNavigationOff) {
  Form w(1);
  TPreviewForm &f = *w.f;
  EXPECT_EQ(f.PageLabel->text(), "Page 1 of 1");
  for (QAction *a : {f.NextButton, f.PrevButton, f.FirstPageButton, f.PriorPageButton,
                     f.NextPageButton, f.LastPageButton, f.GoToPageButton})
    EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
  EXPECT_TRUE(f.PrintButton->isEnabled());
}

TEST(PreviewForm, ScaleRulesFitThePageOrItsWidthOrAPercentage) {
  Form w(2);
  TPreviewForm &f = *w.f;
  const TZoomView v = f.ZoomViewNow();
  // Fit To Page: the page's height is the client height less 20 pixels.
  EXPECT_NEAR(f.Panel1->height(), v.Client.height() - 20, 1);
  EXPECT_EQ(f.ZoomLabel->text(), QStringLiteral("%1%").arg(std::lround(f.Scale() * 100)));
  // Centred in the client area when it fits.
  const int viewW = f.ScrollBox->viewport()->width();
  EXPECT_NEAR(f.Panel1->x(), (viewW - f.Panel1->width()) / 2, 1);
  EXPECT_EQ(f.Panel1->y(), 10);

  // Fit To Width: the page is then taller than the client, so a vertical
  // scroll bar takes its share of the width.
  w.Zoom("Fit To Width");
  QApplication::processEvents();
  EXPECT_NEAR(f.Panel1->width(), v.Client.width() - v.ScrollBarWidth - 20, 1);
  EXPECT_TRUE(f.ScrollBox->verticalScrollBar()->isVisible());
  EXPECT_FALSE(f.ScrollBox->horizontalScrollBar()->isVisible()) << "the width fits";

  const QSize natural = w.Natural();
  EXPECT_EQ(natural, QSize(std::lround(v.PpiX * 8.5), std::lround(v.PpiY * 11)));
  w.Zoom("400%");
  EXPECT_DOUBLE_EQ(f.Scale(), 4.0);
  EXPECT_NEAR(f.Panel1->width(), 4 * natural.width(), 1);
  EXPECT_NEAR(f.Panel1->height(), 4 * natural.height(), 1);
  EXPECT_EQ(f.ZoomLabel->text(), "400%");
  // Too large to fit: 10 pixels from the edges.
  EXPECT_EQ(f.Panel1->pos(), QPoint(10, 10));
  w.Zoom("25%");
  EXPECT_NEAR(f.Panel1->width(), natural.width() / 4.0, 1);
  // Custom keeps the scale shown last.
  w.Zoom("Custom");
  EXPECT_DOUBLE_EQ(f.Scale(), 0.25);
  // The fit buttons and the page buttons put the list back.
  f.FitWidthButton->trigger();
  EXPECT_EQ(f.ZoomList->currentText(), "Fit To Width");
  for (QAction *a : {f.FitPageButton, f.OnePageButton, f.TwoPagesButton}) {
    w.Zoom("200%");
    a->trigger();
    EXPECT_EQ(f.ZoomList->currentText(), "Fit To Page") << a->objectName().toStdString();
  }
}

TEST(PreviewForm, ScaleRulesAsPlainArithmetic) {
  TZoomView v;
  v.Client = QSize(1000, 900);
  v.ScrollBarWidth = 15;
  v.PpiX = v.PpiY = 100;
  v.PageWidth = 8.5;
  v.PageHeight = 11;
  v.LastScale = 0.7;
  EXPECT_DOUBLE_EQ(ZoomScale(ziFitToPage, v), 880.0 / 100 / 11);
  // The page at that width is taller than the client: room for the scroll bar.
  EXPECT_DOUBLE_EQ(ZoomScale(ziFitToWidth, v), (1000.0 - 15 - 20) / 100 / 8.5);
  EXPECT_DOUBLE_EQ(ZoomScale(ziCustom, v), 0.7);
  const double expected[] = {0.25, 0.5, 0.75, 1.0, 1.25, 1.5, 2.0, 3.0, 4.0};
  for (int i = 3; i < 12; ++i)
    EXPECT_DOUBLE_EQ(ZoomScale(i, v), expected[i - 3]);
  EXPECT_DOUBLE_EQ(ZoomScale(99, v), 1.0);
  EXPECT_DOUBLE_EQ(ZoomScale(-1, v), 1.0);
  EXPECT_EQ(PanelSize(2.0, v), QSize(1700, 2200));
}

TEST(PreviewForm, TheZoomToolZoomsByHalfAgainOrBackAroundTheClick) {
  Form w(2);
  TPreviewForm &f = *w.f;
  w.Zoom("100%");
  QTest::mouseClick(f.Panel1, Qt::LeftButton, {}, QPoint(20, 30));
  EXPECT_DOUBLE_EQ(f.Scale(), 1.5);
  EXPECT_EQ(f.ZoomList->currentText(), "Custom");
  EXPECT_EQ(f.ZoomLabel->text(), "150%");
  QTest::mouseClick(f.Panel1, Qt::RightButton, {}, QPoint(20, 30));
  EXPECT_DOUBLE_EQ(f.Scale(), 1.0);
  QTest::mouseClick(f.Panel1, Qt::RightButton, {}, QPoint(20, 30));
  EXPECT_EQ(f.ZoomLabel->text(), "67%");

  // The clicked point of the page comes to the middle of the view.
  w.Zoom("200%");
  const QPoint at(f.Panel1->width() * 3 / 4, f.Panel1->height() * 2 / 3);
  const double fx = 0.75, fy = 2.0 / 3;
  QTest::mouseClick(f.Panel1, Qt::LeftButton, {}, at);
  EXPECT_DOUBLE_EQ(f.Scale(), 3.0);
  QApplication::processEvents();
  const QPoint middle(f.ScrollBox->viewport()->width() / 2, f.ScrollBox->viewport()->height() / 2);
  const QPoint onPanel = f.Panel1->mapFrom(f.ScrollBox->viewport(), middle);
  EXPECT_NEAR(onPanel.x(), fx * f.Panel1->width(), 2);
  EXPECT_NEAR(onPanel.y(), fy * f.Panel1->height(), 2);

  // Clicks cannot grow the page without end.
  for (int i = 0; i < 40; ++i)
    f.ZoomClick(f.Panel1, QPoint(5, 5), true);
  EXPECT_DOUBLE_EQ(f.Scale(), kMaxScale);
}

TEST(PreviewForm, TheHandToolScrollsByTheMouseMovement) {
  Form w(1);
  TPreviewForm &f = *w.f;
  w.Zoom("300%");
  f.HandButton->trigger();
  EXPECT_EQ(f.Tool(), TPreviewForm::TTool::Hand);
  QScrollBar *h = f.ScrollBox->horizontalScrollBar(), *v = f.ScrollBox->verticalScrollBar();
  h->setValue(400);
  v->setValue(500);
  QTest::mousePress(f.Panel1, Qt::LeftButton, {}, QPoint(700, 800));
  QTest::mouseMove(f.Panel1, QPoint(640, 700));
  QApplication::processEvents();
  EXPECT_EQ(h->value(), 460);
  EXPECT_EQ(v->value(), 600);
  QTest::mouseRelease(f.Panel1, Qt::LeftButton, {}, QPoint(640, 700));
  EXPECT_DOUBLE_EQ(f.Scale(), 3.0) << "the hand tool does not zoom";
}

TEST(PreviewForm, TwoPagesSideBySideWithTheNextPage) {
  Form w(3);
  TPreviewForm &f = *w.f;
  f.TwoPagesButton->trigger();
  EXPECT_TRUE(f.TwoPages());
  ASSERT_TRUE(f.Panel2->isVisible());
  EXPECT_EQ(f.Panel2->size(), f.Panel1->size());
  EXPECT_EQ(f.Panel2->x(), f.Panel1->x() + f.Panel1->width() + 20);
  EXPECT_EQ(f.Panel2->y(), f.Panel1->y());
  EXPECT_EQ(f.Panel1->Page, 0);
  EXPECT_EQ(f.Panel2->Page, 1);
  // Both pages together are centred when they fit.
  w.Zoom("50%");
  QApplication::processEvents();
  const int viewW = f.ScrollBox->viewport()->width();
  EXPECT_NEAR(f.Panel1->x(), (viewW - (2 * f.Panel1->width() + 20)) / 2, 1);
  f.NextClick();
  EXPECT_EQ(f.Panel2->Page, 2);
  f.NextClick(); // the last page has no page beside it
  EXPECT_FALSE(f.Panel2->isVisible());
  f.OnePageButton->trigger();
  EXPECT_FALSE(f.TwoPages());
  EXPECT_FALSE(f.Panel2->isVisible());
}

TEST(PreviewForm, NavigationAndTheGoToPageDialog) {
  Form w(5);
  TPreviewForm &f = *w.f;
  EXPECT_EQ(f.PageLabel->text(), "Page 1 of 5");
  EXPECT_TRUE(f.NextButton->isEnabled());
  EXPECT_FALSE(f.PrevButton->isEnabled());
  EXPECT_FALSE(f.FirstPageButton->isEnabled());
  EXPECT_TRUE(f.LastPageButton->isEnabled());
  EXPECT_TRUE(f.GoToPageButton->isEnabled());
  f.NextButton->trigger();
  EXPECT_EQ(f.PageLabel->text(), "Page 2 of 5");
  EXPECT_TRUE(f.PrevButton->isEnabled());
  f.LastPageButton->trigger();
  EXPECT_EQ(f.PageLabel->text(), "Page 5 of 5");
  EXPECT_FALSE(f.NextButton->isEnabled());
  EXPECT_FALSE(f.NextPageButton->isEnabled());
  EXPECT_EQ(f.Panel1->Page, 4);
  f.FirstPageButton->trigger();
  EXPECT_EQ(f.CurrentPage(), 0);
  f.PriorPageButton->trigger(); // disabled: nothing happens
  EXPECT_EQ(f.CurrentPage(), 0);

  // The dialog offers the pages there are, preset to the current one.
  f.GoToPage(1);
  int preset = 0, maximum = 0;
  QString caption;
  QTimer::singleShot(0, [&] {
    auto *d = qobject_cast<TGoToPageDialog *>(QApplication::activeModalWidget());
    ASSERT_NE(d, nullptr);
    caption = d->windowTitle();
    preset = d->PageNumber->value();
    maximum = d->PageNumber->maximum();
    d->PageNumber->setValue(4);
    d->accept();
  });
  f.GoToPageButton->trigger();
  EXPECT_EQ(caption, "Go to Page Number");
  EXPECT_EQ(preset, 2);
  EXPECT_EQ(maximum, 5);
  EXPECT_EQ(f.PageLabel->text(), "Page 4 of 5");
  // Cancel stays.
  QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
  f.GoToPageButton->trigger();
  EXPECT_EQ(f.CurrentPage(), 3);
  // Keys turn pages too.
  f.activateWindow();
  QApplication::setActiveWindow(&f);
  QApplication::processEvents();
  QTest::keyClick(&f, Qt::Key_PageDown);
  EXPECT_EQ(f.CurrentPage(), 4);
  QTest::keyClick(&f, Qt::Key_PageUp);
  EXPECT_EQ(f.CurrentPage(), 3);
}

TEST(PreviewForm, TheGridIsLightGreyEveryInchAndThePageShowsItsPicture) {
  Form w(2);
  TPreviewForm &f = *w.f;
  w.Zoom("100%");
  const QSize natural = w.Natural();
  const int inch = std::lround(natural.width() / 8.5);
  auto shot = [&] { return f.Panel1->grab().toImage().convertToFormat(QImage::Format_RGB32); };
  const QImage off = shot();
  EXPECT_NE(off.pixelColor(inch, 5), QColor(192, 192, 192));
  f.GridButton->trigger();
  const QImage on = shot();
  EXPECT_EQ(on.pixelColor(inch, 5), QColor(192, 192, 192));
  EXPECT_EQ(on.pixelColor(8 * inch, 5), QColor(192, 192, 192));
  EXPECT_EQ(on.pixelColor(5, 10 * natural.height() / 11), QColor(192, 192, 192));
  EXPECT_NE(on.pixelColor(inch / 2, 5), QColor(192, 192, 192));
  // The big page number sits in the middle of the page.
  const QRect ink = InkBox(off, off.rect().adjusted(2, 2, -2, -2));
  EXPECT_NEAR(ink.center().x(), natural.width() / 2, 20);
  EXPECT_NEAR(ink.center().y(), natural.height() / 2, 20);
  // Turning the page shows the next picture.
  f.NextClick();
  EXPECT_NE(shot(), on);
}

TEST(PreviewForm, PrintFromThePreviewUsesThePrintDialog) {
  Form w(3);
  auto rec = std::make_unique<TRecordingPrompter>();
  TRecordingPrompter *r = rec.get();
  r->Answers.push_back("2-3");
  auto previous = SetPrompter(std::move(rec));
  TRecordingTarget::TLog log;
  w.pp->SetTarget(std::make_unique<TRecordingTarget>(log));
  w.f->PrintButton->trigger();
  SetPrompter(std::move(previous));
  EXPECT_EQ(log.Printed, (std::vector<int>{1, 2}));
}

TEST(PreviewForm, TheEngineOpensTheWindowMaximisedAndModal) {
  auto pp = Engine(2);
  pp->ZoomOption = zoTwoPages;
  pp->ShowGrid = true;
  bool maximised = false, modal = false, two = false, grid = false;
  QString title;
  QTimer::singleShot(0, [&] {
    auto *f = qobject_cast<TPreviewForm *>(QApplication::activeModalWidget());
    ASSERT_NE(f, nullptr);
    title = f->windowTitle();
    maximised = f->windowState() & Qt::WindowMaximized;
    modal = f->isModal();
    two = f->TwoPages();
    grid = f->GridButton->isChecked();
    f->CloseButton->trigger();
  });
  pp->Preview();
  EXPECT_EQ(title, "Preview Form");
  EXPECT_TRUE(maximised);
  EXPECT_TRUE(modal);
  EXPECT_TRUE(two);
  EXPECT_TRUE(grid);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

  pp->ZoomOption = zoCustom;
  pp->ZoomVal = 125;
  double scale = 0;
  QString item;
  QTimer::singleShot(0, [&] {
    auto *f = qobject_cast<TPreviewForm *>(QApplication::activeModalWidget());
    ASSERT_NE(f, nullptr);
    scale = f->Scale();
    item = f->ZoomList->currentText();
    f->reject();
  });
  pp->Preview();
  EXPECT_DOUBLE_EQ(scale, 1.25);
  EXPECT_EQ(item, "Custom");
}
