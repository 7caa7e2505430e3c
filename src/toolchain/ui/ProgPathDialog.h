// The dialog that sets up the user-defined programmer.
#pragma once

#include "ToolSetupDialog.h"

#include <string>

// The name of the user-defined programmer last read or entered: the caption
// of its menu item.
extern std::string ExtProgrammerName;

class TProgPath : public TToolSetupDialog {
  Q_OBJECT

public:
  explicit TProgPath(QWidget *parent = nullptr);
};

extern TProgPath *ProgPath;
