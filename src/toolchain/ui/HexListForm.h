// The program data window: the program words of the .HEX file, 1024 rows of
// eight words from address 0000 to 1FF8.
#pragma once

#include "DataGridWindow.h"

class THEXList : public TDataGridWindow {
  Q_OBJECT

public:
  explicit THEXList(QWidget *parent = nullptr);
};

extern THEXList *HEXList;
