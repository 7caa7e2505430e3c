// The data windows' grid and their fill from the HEX file.
#include "DataGridWindow.h"

#include "HexImage.h"
#include "Streams.h"

#include <QHeaderView>
#include <QTableView>
#include <QVBoxLayout>

TDataGridWindow::TDataGridWindow(const char *name, const QString &caption,
                                 THexGridModel::TKind kind, const TGeometryKeys &keys,
                                 QWidget *parent)
    : TResultWindow(name, caption, Qt::Window, parent), keys_(keys) {
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  model_ = new THexGridModel(kind, this);
  QFont bold = font();
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
