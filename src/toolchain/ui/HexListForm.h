// The program data window: the program words of the .HEX file.
#pragma once

#include <QWidget>

class THEXList : public QWidget {
public:
  explicit THEXList(QWidget *parent = nullptr);
};

extern THEXList *HEXList;
