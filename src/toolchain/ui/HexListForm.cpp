#include "HexListForm.h"

#include <QHeaderView>
#include <QTableView>

THEXList *HEXList = nullptr;

THEXList::THEXList(QWidget *parent)
    : TDataGridWindow(
          "HEXList", QStringLiteral("Program Data"), THexGridModel::TKind::Program,
          {"CODE", "HEX_WIDTH", "HEX_LEFT", "HEX_TOP", "HEX_HEIGHT", QRect(581, 164, 345, 564)},
          parent) {
  grid_->horizontalHeader()->setDefaultSectionSize(34);
}
