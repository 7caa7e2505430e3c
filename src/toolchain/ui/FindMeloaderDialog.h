// The dialog that locates the MELOADER loader.
#pragma once

#include "ToolLocateDialog.h"

class TFind_MELOADER : public TToolLocateDialog {
  Q_OBJECT

public:
  explicit TFind_MELOADER(QWidget *parent = nullptr);
};

extern TFind_MELOADER *Find_MELOADER;
