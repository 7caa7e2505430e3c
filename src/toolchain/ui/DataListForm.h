// The EEPROM data window: the first 128 EEPROM bytes of the .HEX file, eight
// rows of sixteen from address 2100 to 2170.
#pragma once

#include "DataGridWindow.h"

class TDATAList : public TDataGridWindow {
  Q_OBJECT

public:
  explicit TDATAList(QWidget *parent = nullptr);
};

extern TDATAList *DATAList;
