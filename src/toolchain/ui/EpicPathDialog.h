// The dialog that locates the EPIC programmer software.
#pragma once

#include "ToolLocateDialog.h"

class TEPICPath : public TToolLocateDialog {
  Q_OBJECT

public:
  explicit TEPICPath(QWidget *parent = nullptr);
};

extern TEPICPath *EPICPath;
