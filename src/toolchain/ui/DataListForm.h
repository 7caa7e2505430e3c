// The EEPROM data window: the EEPROM bytes of the .HEX file.
#pragma once

#include <QWidget>

class TDATAList : public QWidget {
public:
  explicit TDATAList(QWidget *parent = nullptr);
};

extern TDATAList *DATAList;
