// TPreviewForm ("Preview Form"): the print engine's recorded pages on screen,
// one or two at a time, at a zoom chosen from a list or with the zoom tool,
// panned with the hand tool, with a grid every inch, page navigation and
// printing.
#pragma once

#include "PreviewZoom.h"

#include <QDialog>
#include <QPoint>

class QAction;
class QComboBox;
class QLabel;
class QScrollArea;
class QStatusBar;
class QToolBar;
class TPreviewForm;
class TPreviewPrinter;

// One page of the preview: the recorded page mapped onto the panel.
class TPreviewPanel : public QWidget {
  Q_OBJECT

public:
  TPreviewPanel(TPreviewForm &form, QWidget *parent);
  int Page = -1; // 0-based; -1 shows a blank page

protected:
  void paintEvent(QPaintEvent *e) override;
  void mousePressEvent(QMouseEvent *e) override;
  void mouseMoveEvent(QMouseEvent *e) override;
  void mouseReleaseEvent(QMouseEvent *e) override;

private:
  TPreviewForm &form_;
};

class TPreviewForm : public QDialog {
  Q_OBJECT

public:
  explicit TPreviewForm(TPreviewPrinter &printer, QWidget *parent = nullptr);
  ~TPreviewForm() override;

  enum class TTool { Zoom, Hand };
  int CurrentPage() const { return page_; } // 0-based
  double Scale() const { return scale_; }
  bool TwoPages() const { return twoPages_; }
  TTool Tool() const;
  TPreviewPrinter &Printer() const { return printer_; }

  // Commands of the tool bar and the navigator.
  void GoToPage(int index);
  void NextClick();
  void PrevClick();
  void FirstClick();
  void LastClick();
  void GoToPageClick();
  void OnePageClick();
  void TwoPagesClick();
  void FitPageClick();
  void FitWidthClick();
  void PrintClick();
  void ZoomListChange(int item);
  // The zoom tool clicked at a point of a page panel: in (left button) or out.
  void ZoomClick(TPreviewPanel *panel, const QPoint &at, bool in);
  // Lays the pages out again and brings the labels and buttons up to date.
  void UpdateView();
  // What the scale rules see now.
  TZoomView ZoomViewNow() const;

  QToolBar *ToolBar = nullptr;
  QAction *GridButton = nullptr, *ZoomButton = nullptr, *HandButton = nullptr,
          *OnePageButton = nullptr, *TwoPagesButton = nullptr, *FitPageButton = nullptr,
          *FitWidthButton = nullptr, *PrintButton = nullptr, *NextButton = nullptr,
          *PrevButton = nullptr, *CloseButton = nullptr;
  QComboBox *ZoomList = nullptr;
  QToolBar *Navigator = nullptr;
  QAction *FirstPageButton = nullptr, *PriorPageButton = nullptr, *NextPageButton = nullptr,
          *LastPageButton = nullptr, *GoToPageButton = nullptr;
  QScrollArea *ScrollBox = nullptr;
  QWidget *PageHost = nullptr;
  TPreviewPanel *Panel1 = nullptr, *Panel2 = nullptr;
  QStatusBar *StatusLine = nullptr;
  QLabel *PageLabel = nullptr, *ZoomLabel = nullptr, *HintLabel = nullptr;

protected:
  bool event(QEvent *e) override;
  bool eventFilter(QObject *watched, QEvent *e) override;

private:
  friend class TPreviewPanel;
  QAction *AddTool(QToolBar *bar, const QString &caption, const char *name, const QString &hint,
                   void (TPreviewForm::*handler)());
  void SetZoomItem(int item);
  void BeginDrag(const QPoint &global);
  void DragTo(const QPoint &global);
  QCursor PanelCursor() const;

  TPreviewPrinter &printer_;
  int page_ = 0;
  double scale_ = 1.0;
  bool twoPages_ = false;
  bool dragging_ = false;
  QPoint dragStart_;
  QPoint scrollStart_;
};
