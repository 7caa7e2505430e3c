#include "DataListForm.h"

#include <QHeaderView>
#include <QTableView>

TDATAList *DATAList = nullptr;

TDATAList::TDATAList(QWidget *parent)
    : TDataGridWindow("DATAList", QStringLiteral("Eeprom Data"), THexGridModel::TKind::Eeprom,
                      {"EEPROM", "DATA_WIDTH", "DATA_LEFT", "DATA_TOP", "DATA_HEIGHT",
                       QRect(391, 293, 324, 169)},
                      parent) {
  grid_->horizontalHeader()->setDefaultSectionSize(18);
  grid_->setColumnWidth(0, 32);
}
