// The data windows' grid and their fill from the HEX file.
#include "DataGridWindow.h"

#include "HexImage.h"
#include "Streams.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// Cells as narrow as the grid's columns (34 pixels for four digits): the
// text is centred in the whole cell, without the style's inner margins.
class TCellDelegate : public QStyledItemDelegate {
public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter *p, const QStyleOptionViewItem &option,
             const QModelIndex &index) const override {
    QStyleOptionViewItem o = option;
    initStyleOption(&o, index);
    const bool selected = o.state & QStyle::State_Selected;
    if (selected)
      p->fillRect(o.rect, o.palette.highlight());
    else if (o.backgroundBrush.style() != Qt::NoBrush)
      p->fillRect(o.rect, o.backgroundBrush);
    p->setFont(o.font);
    p->setPen(o.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    p->drawText(o.rect, Qt::AlignCenter, o.text);
  }
};

} // namespace

TDataGridWindow::TDataGridWindow(const char *name, const QString &caption,
                                 THexGridModel::TKind kind, const TGeometryKeys &keys,
                                 QWidget *parent)
    : TResultWindow(name, caption, Qt::Window, parent), keys_(keys) {
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  model_ = new THexGridModel(kind, this);
  QFont bold(QStringLiteral("MS Sans Serif"));
  bold.setPixelSize(11);
  bold.setBold(true);
  model_->SetFont(bold);
  grid_ = new QTableView(this);
  grid_->setObjectName(QStringLiteral("Grid"));
  grid_->setModel(model_);
  grid_->setFont(bold);
  grid_->horizontalHeader()->hide();
  grid_->verticalHeader()->hide();
  grid_->horizontalHeader()->setMinimumSectionSize(8);
  grid_->verticalHeader()->setMinimumSectionSize(8);
  grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid_->verticalHeader()->setDefaultSectionSize(16);
  grid_->setWordWrap(false);
  grid_->setTextElideMode(Qt::ElideNone);
  grid_->setItemDelegate(new TCellDelegate(grid_));
  grid_->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                         QAbstractItemView::EditKeyPressed);
  layout->addWidget(grid_);
  LoadGeometry();
}

void TDataGridWindow::ShowHexFile(const std::string &path) {
  if (!FileExists(path)) {
    model_->FillBlank();
    return;
  }
  HexImage.LoadFile(path);
  model_->Fill(HexImage);
}
