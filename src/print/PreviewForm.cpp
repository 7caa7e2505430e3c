// TPreviewForm: tool bar, zoom, page panels, navigation.
#include "PreviewForm.h"

#include "CommandGuard.h"
#include "GoToPageDialog.h"
#include "PreviewPrinter.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPicture>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

// The grid's light grey (colour value 12632256).
const QColor GridColor(192, 192, 192);

// A magnifying glass with a plus, its hot spot in the glass's middle.
QCursor ZoomCursor() {
  QPixmap pix(32, 32);
  pix.fill(Qt::transparent);
  QPainter p(&pix);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::white, 4));
  p.drawEllipse(QPointF(12, 12), 8, 8);
  p.drawLine(QPointF(18, 18), QPointF(28, 28));
  p.setPen(QPen(Qt::black, 2));
  p.drawEllipse(QPointF(12, 12), 8, 8);
  p.drawLine(QPointF(18, 18), QPointF(28, 28));
  p.drawLine(QPointF(8, 12), QPointF(16, 12));
  p.drawLine(QPointF(12, 8), QPointF(12, 16));
  return QCursor(pix, 12, 12);
}

} // namespace

// ---------------------------------------------------------------------------

TPreviewPanel::TPreviewPanel(TPreviewForm &form, QWidget *parent) : QWidget(parent), form_(form) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPreviewPanel::paintEvent(QPaintEvent *e) {
  QPainter p(this);
  const QRect exposed = e->rect();
  const TPreviewPrinter &pr = form_.Printer();
  const TDeviceMetrics &m = pr.Metrics();
  if (Page >= 0 && Page < pr.PageCount() && m.PageWidth > 0 && m.PageHeight > 0) {
    // The exposed part is drawn on an image first: a picture played straight
    // onto a widget loses texts.
    QImage part(exposed.size(), QImage::Format_ARGB32_Premultiplied);
    part.fill(Qt::white);
    const QPicture &pic = pr.Page(Page);
    QPainter q(&part);
    q.setRenderHint(QPainter::TextAntialiasing);
    q.translate(-exposed.topLeft());
    // The page's device pixels onto the panel, across and down separately;
    // a picture plays scaled by the device's resolution over its own.
    q.scale(static_cast<double>(width()) / m.PageWidth,
            static_cast<double>(height()) / m.PageHeight);
    q.scale(static_cast<double>(PictureDpiX()) / std::max(1, part.logicalDpiX()),
            static_cast<double>(PictureDpiY()) / std::max(1, part.logicalDpiY()));
    q.drawPicture(0, 0, pic);
    q.end();
    p.drawImage(exposed.topLeft(), part);
  } else {
    p.fillRect(exposed, Qt::white);
  }
  if (form_.GridButton->isChecked()) {
    p.setPen(QPen(GridColor, 1));
    const double across = pr.PageWidthInches(), down = pr.PageHeightInches();
    for (int i = 1; i < across; ++i) {
      const int x = static_cast<int>(std::lround(i * width() / across));
      p.drawLine(x, 0, x, height() - 1);
    }
    for (int i = 1; i < down; ++i) {
      const int y = static_cast<int>(std::lround(i * height() / down));
      p.drawLine(0, y, width() - 1, y);
    }
  }
  p.setPen(QPen(Qt::black, 1));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TPreviewPanel::mousePressEvent(QMouseEvent *e) {
  if (form_.Tool() == TPreviewForm::TTool::Hand) {
    if (e->button() == Qt::LeftButton)
      form_.BeginDrag(e->globalPosition().toPoint());
    return;
  }
  if (e->button() == Qt::LeftButton || e->button() == Qt::RightButton)
    RunCommand(
        [&] { form_.ZoomClick(this, e->position().toPoint(), e->button() == Qt::LeftButton); });
}

void TPreviewPanel::mouseMoveEvent(QMouseEvent *e) {
  if (form_.dragging_)
    form_.DragTo(e->globalPosition().toPoint());
}

void TPreviewPanel::mouseReleaseEvent(QMouseEvent *) {
  if (form_.dragging_) {
    form_.dragging_ = false;
    setCursor(form_.PanelCursor());
    if (form_.Panel2)
      form_.Panel2->setCursor(form_.PanelCursor());
  }
}

// ---------------------------------------------------------------------------

QAction *TPreviewForm::AddTool(QToolBar *bar, const QString &caption, const char *name,
                               const QString &hint, void (TPreviewForm::*handler)()) {
  auto *a = new QAction(caption, this);
  a->setObjectName(QLatin1String(name));
  if (!hint.isEmpty()) {
    a->setToolTip(hint);
    a->setStatusTip(hint);
  }
  bar->addAction(a);
  if (handler)
    connect(a, &QAction::triggered, this, Guarded([this, handler] { (this->*handler)(); }));
  return a;
}

TPreviewForm::TPreviewForm(TPreviewPrinter &printer, QWidget *parent)
    : QDialog(parent), printer_(printer) {
  setObjectName(QStringLiteral("PreviewForm"));
  setWindowTitle(QStringLiteral("Preview Form"));
  setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
  setSizeGripEnabled(false);
  resize(900, 700);
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  using T = TPreviewForm;
  ToolBar = new QToolBar(this);
  ToolBar->setObjectName(QStringLiteral("ToolBar"));
  layout->addWidget(ToolBar);
  GridButton = AddTool(ToolBar, QStringLiteral("Grid"), "GridButton",
                       QStringLiteral("Turns Grid On/Off"), nullptr);
  GridButton->setCheckable(true);
  GridButton->setChecked(printer.ShowGrid);
  connect(GridButton, &QAction::toggled, this, [this] {
    if (Panel1) {
      Panel1->update();
      Panel2->update();
    }
  });
  ToolBar->addSeparator();
  ZoomButton = AddTool(ToolBar, QStringLiteral("Zoom"), "ZoomButton",
                       QStringLiteral("Selects the Zoom Tool to zoom in or out"), nullptr);
  HandButton = AddTool(ToolBar, QStringLiteral("Hand"), "HandButton",
                       QStringLiteral("Selects the Hand Tool to pan across the Page"), nullptr);
  auto *tools = new QActionGroup(this);
  for (QAction *a : {ZoomButton, HandButton}) {
    a->setCheckable(true);
    tools->addAction(a);
    connect(a, &QAction::toggled, this, [this] {
      if (Panel1) {
        Panel1->setCursor(PanelCursor());
        Panel2->setCursor(PanelCursor());
      }
    });
  }
  ZoomButton->setChecked(true);
  ToolBar->addSeparator();
  OnePageButton = AddTool(ToolBar, QStringLiteral("&1"), "OnePageButton",
                          QStringLiteral("Display One page at a time"), &T::OnePageClick);
  TwoPagesButton = AddTool(ToolBar, QStringLiteral("&2"), "TwoPagesButton",
                           QStringLiteral("Display Two pages side by side"), &T::TwoPagesClick);
  OnePageButton->setShortcut(QKeySequence(Qt::ALT | Qt::Key_1));
  TwoPagesButton->setShortcut(QKeySequence(Qt::ALT | Qt::Key_2));
  auto *views = new QActionGroup(this);
  for (QAction *a : {OnePageButton, TwoPagesButton}) {
    a->setCheckable(true);
    views->addAction(a);
  }
  FitPageButton = AddTool(ToolBar, QStringLiteral("Fit Page"), "FitPageButton",
                          QStringLiteral("Fit to Page"), &T::FitPageClick);
  FitWidthButton = AddTool(ToolBar, QStringLiteral("Fit Width"), "FitWidthButton",
                           QStringLiteral("Fit to Width"), &T::FitWidthClick);
  ZoomList = new QComboBox(ToolBar);
  ZoomList->setObjectName(QStringLiteral("ZoomList"));
  ZoomList->addItems(ZoomItems());
  ZoomList->setStatusTip(QStringLiteral("Choose how large the pages show"));
  ZoomList->setFocusPolicy(Qt::ClickFocus);
  ToolBar->addWidget(ZoomList);
  ToolBar->addSeparator();
  PrintButton = AddTool(ToolBar, QStringLiteral("&Print..."), "PrintButton",
                        QStringLiteral("Print the pages"), &T::PrintClick);
  PrintButton->setShortcut(QKeySequence(Qt::ALT | Qt::Key_P));
  PrevButton = AddTool(ToolBar, QStringLiteral("Pre&v"), "PrevButton",
                       QStringLiteral("Move to Previous Page in Document"), &T::PrevClick);
  PrevButton->setShortcut(QKeySequence(Qt::ALT | Qt::Key_V));
  NextButton = AddTool(ToolBar, QStringLiteral("&Next"), "NextButton",
                       QStringLiteral("Advance to Next Page in Document"), &T::NextClick);
  NextButton->setShortcut(QKeySequence(Qt::ALT | Qt::Key_N));
  ToolBar->addSeparator();
  CloseButton = AddTool(ToolBar, QStringLiteral("&Close"), "CloseButton",
                        QStringLiteral("Close the preview"), nullptr);
  CloseButton->setShortcut(QKeySequence(Qt::ALT | Qt::Key_C));
  connect(CloseButton, &QAction::triggered, this, &QDialog::reject);

  ScrollBox = new QScrollArea(this);
  ScrollBox->setObjectName(QStringLiteral("ScrollBox"));
  ScrollBox->setWidgetResizable(false);
  ScrollBox->setBackgroundRole(QPalette::Dark);
  ScrollBox->setFocusPolicy(Qt::StrongFocus);
  ScrollBox->viewport()->installEventFilter(this);
  PageHost = new QWidget;
  PageHost->setObjectName(QStringLiteral("PageHost"));
  PageHost->setBackgroundRole(QPalette::Dark);
  Panel1 = new TPreviewPanel(*this, PageHost);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel2 = new TPreviewPanel(*this, PageHost);
  Panel2->setObjectName(QStringLiteral("Panel2"));
  Panel2->hide();
  ScrollBox->setWidget(PageHost);
  layout->addWidget(ScrollBox, 1);

  StatusLine = new QStatusBar(this);
  StatusLine->setObjectName(QStringLiteral("StatusLine"));
  StatusLine->setSizeGripEnabled(false);
  Navigator = new QToolBar(StatusLine);
  Navigator->setObjectName(QStringLiteral("Navigator"));
  FirstPageButton = AddTool(Navigator, QStringLiteral("|\u25C0"), "FirstPageButton",
                            QStringLiteral("Go to First Page in Document"), &T::FirstClick);
  PriorPageButton = AddTool(Navigator, QStringLiteral("\u25C0"), "PriorPageButton",
                            QStringLiteral("Move to Previous Page in Document"), &T::PrevClick);
  NextPageButton = AddTool(Navigator, QStringLiteral("\u25B6"), "NextPageButton",
                           QStringLiteral("Advance to Next Page in Document"), &T::NextClick);
  LastPageButton = AddTool(Navigator, QStringLiteral("\u25B6|"), "LastPageButton",
                           QStringLiteral("Go to Last Page in Document"), &T::LastClick);
  GoToPageButton = AddTool(Navigator, QStringLiteral("Go to..."), "GoToPageButton",
                           QStringLiteral("Go to Page by Page Number"), &T::GoToPageClick);
  FirstPageButton->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Home));
  PriorPageButton->setShortcut(QKeySequence(Qt::Key_PageUp));
  NextPageButton->setShortcut(QKeySequence(Qt::Key_PageDown));
  LastPageButton->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_End));
  GoToPageButton->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
  StatusLine->addWidget(Navigator);
  PageLabel = new QLabel(StatusLine);
  PageLabel->setObjectName(QStringLiteral("PageLabel"));
  PageLabel->setMinimumWidth(110);
  ZoomLabel = new QLabel(StatusLine);
  ZoomLabel->setObjectName(QStringLiteral("ZoomLabel"));
  ZoomLabel->setMinimumWidth(60);
  HintLabel = new QLabel(StatusLine);
  HintLabel->setObjectName(QStringLiteral("HintLabel"));
  StatusLine->addWidget(PageLabel);
  StatusLine->addWidget(ZoomLabel);
  StatusLine->addWidget(HintLabel, 1);
  layout->addWidget(StatusLine);

  // How the engine asks the window to open.
  twoPages_ = printer.ZoomOption == zoTwoPages;
  (twoPages_ ? TwoPagesButton : OnePageButton)->setChecked(true);
  scale_ = std::clamp(printer.ZoomVal / 100.0, kMinScale, kMaxScale);
  const int item = printer.ZoomOption == zoFitToWidth ? ziFitToWidth
                   : printer.ZoomOption == zoCustom   ? ziCustom
                                                      : ziFitToPage;
  ZoomList->setCurrentIndex(item);
  connect(ZoomList, &QComboBox::currentIndexChanged, this,
          Guarded([this] { ZoomListChange(ZoomList->currentIndex()); }));
  Panel1->setCursor(PanelCursor());
  Panel2->setCursor(PanelCursor());
  UpdateView();
}

TPreviewForm::~TPreviewForm() = default;

TPreviewForm::TTool TPreviewForm::Tool() const {
  return HandButton->isChecked() ? TTool::Hand : TTool::Zoom;
}

QCursor TPreviewForm::PanelCursor() const {
  if (Tool() == TTool::Hand)
    return QCursor(dragging_ ? Qt::ClosedHandCursor : Qt::OpenHandCursor);
  static const QCursor zoom = ZoomCursor();
  return zoom;
}

bool TPreviewForm::event(QEvent *e) {
  if (e->type() == QEvent::StatusTip) {
    HintLabel->setText(static_cast<QStatusTipEvent *>(e)->tip());
    return true;
  }
  return QDialog::event(e);
}

bool TPreviewForm::eventFilter(QObject *watched, QEvent *e) {
  if (watched == ScrollBox->viewport() && e->type() == QEvent::Resize) {
    const int item = ZoomList->currentIndex();
    if (item == ziFitToPage || item == ziFitToWidth)
      UpdateView();
  }
  return QDialog::eventFilter(watched, e);
}

TZoomView TPreviewForm::ZoomViewNow() const {
  TZoomView v;
  // The client area without any scroll bar, whatever the bars now show.
  v.Client = ScrollBox->contentsRect().size();
  v.ScrollBarWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, ScrollBox);
  v.PpiX = logicalDpiX();
  v.PpiY = logicalDpiY();
  v.PageWidth = printer_.PageWidthInches();
  v.PageHeight = printer_.PageHeightInches();
  v.LastScale = scale_;
  return v;
}

void TPreviewForm::UpdateView() {
  const int count = printer_.PageCount();
  page_ = std::clamp(page_, 0, std::max(0, count - 1));
  const TZoomView v = ZoomViewNow();
  const int item = ZoomList->currentIndex();
  if (item == ziFitToPage || item == ziFitToWidth)
    scale_ = ZoomScale(item, v);
  const QSize panel = PanelSize(scale_, v);
  const int contentW = twoPages_ ? 2 * panel.width() + 20 : panel.width();
  const int contentH = panel.height();
  // The viewport once the scroll bars the content needs are in.
  const int bar = v.ScrollBarWidth;
  bool needH = contentW + 20 > v.Client.width();
  const bool needV = contentH + 20 > v.Client.height() - (needH ? bar : 0);
  if (needV && !needH)
    needH = contentW + 20 > v.Client.width() - bar;
  const int vw = v.Client.width() - (needV ? bar : 0);
  const int vh = v.Client.height() - (needH ? bar : 0);
  // The scroll bars are set here rather than left to the scroll area, so the
  // view's size is known at once (a zoom click centres on it).
  ScrollBox->setHorizontalScrollBarPolicy(needH ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  ScrollBox->setVerticalScrollBarPolicy(needV ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  // Centred when they fit, else 10 pixels from the edges.
  const int x0 = contentW + 20 > vw ? 10 : (vw - contentW) / 2;
  const int y0 = contentH + 20 > vh ? 10 : (vh - contentH) / 2;
  PageHost->resize(std::max(vw, contentW + 20), std::max(vh, contentH + 20));
  Panel1->setGeometry(QRect(QPoint(x0, y0), panel));
  Panel1->Page = count > 0 ? page_ : -1;
  const bool second = twoPages_ && page_ + 1 < count;
  Panel2->setGeometry(QRect(QPoint(x0 + panel.width() + 20, y0), panel));
  Panel2->Page = second ? page_ + 1 : -1;
  Panel2->setVisible(second);
  Panel1->update();
  Panel2->update();

  PageLabel->setText(QStringLiteral("Page %1 of %2").arg(count > 0 ? page_ + 1 : 0).arg(count));
  ZoomLabel->setText(QStringLiteral("%1%").arg(std::lround(scale_ * 100)));
  const bool next = page_ + 1 < count, prev = page_ > 0;
  for (QAction *a : {NextButton, NextPageButton, LastPageButton})
    a->setEnabled(next);
  for (QAction *a : {PrevButton, PriorPageButton, FirstPageButton})
    a->setEnabled(prev);
  GoToPageButton->setEnabled(count > 1);
  PrintButton->setEnabled(count > 0);
}

void TPreviewForm::GoToPage(int index) {
  page_ = std::clamp(index, 0, std::max(0, printer_.PageCount() - 1));
  UpdateView();
}

void TPreviewForm::NextClick() {
  GoToPage(page_ + 1);
}

void TPreviewForm::PrevClick() {
  GoToPage(page_ - 1);
}

void TPreviewForm::FirstClick() {
  GoToPage(0);
}

void TPreviewForm::LastClick() {
  GoToPage(printer_.PageCount() - 1);
}

void TPreviewForm::GoToPageClick() {
  if (printer_.PageCount() <= 1)
    return;
  TGoToPageDialog dialog(page_ + 1, printer_.PageCount(), this);
  if (dialog.exec() == QDialog::Accepted)
    GoToPage(dialog.Page() - 1);
}

void TPreviewForm::SetZoomItem(int item) {
  if (ZoomList->currentIndex() == item) {
    UpdateView();
    return;
  }
  const QSignalBlocker block(ZoomList);
  ZoomList->setCurrentIndex(item);
  ZoomListChange(item);
}

void TPreviewForm::OnePageClick() {
  twoPages_ = false;
  OnePageButton->setChecked(true);
  SetZoomItem(ziFitToPage);
}

void TPreviewForm::TwoPagesClick() {
  twoPages_ = true;
  TwoPagesButton->setChecked(true);
  SetZoomItem(ziFitToPage);
}

void TPreviewForm::FitPageClick() {
  SetZoomItem(ziFitToPage);
}

void TPreviewForm::FitWidthClick() {
  SetZoomItem(ziFitToWidth);
}

void TPreviewForm::PrintClick() {
  printer_.Print();
}

void TPreviewForm::ZoomListChange(int item) {
  scale_ = std::clamp(ZoomScale(item, ZoomViewNow()), kMinScale, kMaxScale);
  UpdateView();
}

void TPreviewForm::ZoomClick(TPreviewPanel *panel, const QPoint &at, bool in) {
  const double fx = panel->width() > 0 ? static_cast<double>(at.x()) / panel->width() : 0.5;
  const double fy = panel->height() > 0 ? static_cast<double>(at.y()) / panel->height() : 0.5;
  scale_ = std::clamp(in ? scale_ * 1.5 : scale_ / 1.5, kMinScale, kMaxScale);
  {
    const QSignalBlocker block(ZoomList);
    ZoomList->setCurrentIndex(ziCustom);
  }
  UpdateView();
  // The clicked point of the page comes to the middle of the view.
  const QPoint target = panel->pos() + QPoint(static_cast<int>(std::lround(fx * panel->width())),
                                              static_cast<int>(std::lround(fy * panel->height())));
  ScrollBox->horizontalScrollBar()->setValue(target.x() - ScrollBox->viewport()->width() / 2);
  ScrollBox->verticalScrollBar()->setValue(target.y() - ScrollBox->viewport()->height() / 2);
}

void TPreviewForm::BeginDrag(const QPoint &global) {
  dragging_ = true;
  dragStart_ = global;
  scrollStart_ =
      QPoint(ScrollBox->horizontalScrollBar()->value(), ScrollBox->verticalScrollBar()->value());
  Panel1->setCursor(PanelCursor());
  Panel2->setCursor(PanelCursor());
}

void TPreviewForm::DragTo(const QPoint &global) {
  const QPoint d = global - dragStart_;
  ScrollBox->horizontalScrollBar()->setValue(scrollStart_.x() - d.x());
  ScrollBox->verticalScrollBar()->setValue(scrollStart_.y() - d.y());
}
