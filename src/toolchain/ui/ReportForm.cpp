// The report window: bottom-aligned, dragged by its body, sized by its border.
#include "ReportForm.h"

#include "ReportView.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

TReport *Report = nullptr;

namespace {

constexpr int Border = 4;
const char *const Section = "REPORT_FORM";

} // namespace

TReport::TReport(QWidget *parent)
    : TResultWindow("Report", QStringLiteral("Compiler Report"), Qt::Tool | Qt::FramelessWindowHint,
                    parent) {
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(Border, Border, Border, Border);
  memo_ = new TReportView(this);
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPixelSize(13);
  font.setBold(true);
  memo_->setFont(font);
  memo_->setFrameShape(QFrame::NoFrame);
  memo_->viewport()->installEventFilter(this);
  layout->addWidget(memo_);
  setMouseTracking(true);

  popup_ = new QMenu(this);
  QAction *copy = popup_->addAction(QStringLiteral("Copy"));
  copy->setObjectName(QStringLiteral("ReportCopy"));
  connect(copy, &QAction::triggered, this,
          [this] { QApplication::clipboard()->setText(memo_->Text()); });
  LoadGeometry();
}

void TReport::SetReport(const std::vector<std::string> &lines, bool cut, int64_t fileSize) {
  std::vector<std::string> shown = lines;
  if (cut)
    shown.push_back("[The result file holds " + std::to_string(fileSize) +
                    " bytes; only its beginning is shown.]");
  memo_->SetLines(std::move(shown));
}

void TReport::ClearReport() {
  memo_->Clear();
}

void TReport::LoadGeometry() {
  PlaceAtBottom(ReadSettingInteger(Section, "TOP", DesignedHeight));
}

void TReport::StoreGeometry() {
  WriteSettingIntegers(Section, {{"TOP", height()}});
}

void TReport::PlaceAtBottom(int height) {
  QScreen *screen = QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  height = std::clamp(height, 2 * Border + 1, std::max(2 * Border + 1, area.height()));
  setGeometry(area.left(), area.bottom() + 1 - height, area.width(), height);
}

Qt::Edges TReport::EdgesAt(const QPoint &pos) const {
  Qt::Edges edges;
  if (pos.x() < Border)
    edges |= Qt::LeftEdge;
  if (pos.x() >= width() - Border)
    edges |= Qt::RightEdge;
  if (pos.y() < Border)
    edges |= Qt::TopEdge;
  if (pos.y() >= height() - Border)
    edges |= Qt::BottomEdge;
  return edges;
}

bool TReport::BeginDrag(const QPoint &globalPos, Qt::Edges edges) {
  // The window system moves and sizes the window where it can; otherwise
  // (no window manager, offscreen) the window follows the mouse itself.
  if (QWindow *w = windowHandle()) {
    const bool taken = edges ? w->startSystemResize(edges) : w->startSystemMove();
    if (taken)
      return true;
  }
  dragging_ = true;
  dragEdges_ = edges;
  dragStart_ = globalPos;
  dragGeometry_ = geometry();
  return true;
}

bool TReport::eventFilter(QObject *watched, QEvent *e) {
  if (watched == memo_->viewport()) {
    if (e->type() == QEvent::MouseButtonDblClick) {
      auto *m = static_cast<QMouseEvent *>(e);
      const int line = memo_->LineAt(static_cast<int>(m->position().y()));
      if (m->button() == Qt::LeftButton && line >= 0) {
        pendingDrag_ = false;
        emit LineDoubleClicked(line);
        return true;
      }
    } else if (e->type() == QEvent::MouseButtonPress) {
      auto *m = static_cast<QMouseEvent *>(e);
      if (m->button() == Qt::LeftButton) {
        // The move starts once the mouse travels: a window manager that
        // moves the window at the press would take the clicks, and a
        // double-click on a line could never reach it.
        pendingDrag_ = true;
        pressAt_ = m->globalPosition().toPoint();
        return true;
      }
      if (m->button() == Qt::RightButton) {
        popup_->popup(m->globalPosition().toPoint());
        return true;
      }
    } else if (e->type() == QEvent::MouseMove && pendingDrag_ && !dragging_) {
      auto *m = static_cast<QMouseEvent *>(e);
      if ((m->globalPosition().toPoint() - pressAt_).manhattanLength() >=
          QApplication::startDragDistance()) {
        pendingDrag_ = false;
        BeginDrag(pressAt_, {});
        if (dragging_)
          mouseMoveEvent(m);
      }
      return true;
    } else if (e->type() == QEvent::MouseButtonRelease && pendingDrag_) {
      pendingDrag_ = false;
      return true;
    } else if (e->type() == QEvent::MouseMove && dragging_) {
      mouseMoveEvent(static_cast<QMouseEvent *>(e));
      return true;
    } else if (e->type() == QEvent::MouseButtonRelease && dragging_) {
      mouseReleaseEvent(static_cast<QMouseEvent *>(e));
      return true;
    }
  }
  return TResultWindow::eventFilter(watched, e);
}

void TReport::mousePressEvent(QMouseEvent *e) {
  if (e->button() == Qt::LeftButton)
    BeginDrag(e->globalPosition().toPoint(), EdgesAt(e->position().toPoint()));
}

void TReport::mouseMoveEvent(QMouseEvent *e) {
  if (!dragging_) {
    const Qt::Edges edges = EdgesAt(e->position().toPoint());
    const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
    const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
    setCursor(horizontal && vertical ? Qt::SizeAllCursor
              : horizontal           ? Qt::SizeHorCursor
              : vertical             ? Qt::SizeVerCursor
                                     : Qt::ArrowCursor);
    return;
  }
  const QPoint d = e->globalPosition().toPoint() - dragStart_;
  QRect g = dragGeometry_;
  if (!dragEdges_) {
    g.translate(d);
  } else {
    if (dragEdges_ & Qt::LeftEdge)
      g.setLeft(std::min(g.left() + d.x(), g.right() - 2 * Border));
    if (dragEdges_ & Qt::RightEdge)
      g.setRight(std::max(g.right() + d.x(), g.left() + 2 * Border));
    if (dragEdges_ & Qt::TopEdge)
      g.setTop(std::min(g.top() + d.y(), g.bottom() - 2 * Border));
    if (dragEdges_ & Qt::BottomEdge)
      g.setBottom(std::max(g.bottom() + d.y(), g.top() + 2 * Border));
  }
  setGeometry(g);
}

void TReport::mouseReleaseEvent(QMouseEvent *) {
  dragging_ = false;
}
