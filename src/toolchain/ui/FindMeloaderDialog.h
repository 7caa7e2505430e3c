// The dialog that locates the MELOADER loader.
#pragma once

#include <QDialog>

class TFind_MELOADER : public QDialog {
public:
  explicit TFind_MELOADER(QWidget *parent = nullptr);
};

extern TFind_MELOADER *Find_MELOADER;
