// The dialog that sets up the user-defined bootloader.
#pragma once

#include "ToolSetupDialog.h"

#include <string>

// The name of the user-defined bootloader last read or entered: the caption
// of its menu item.
extern std::string ExtBootloaderName;

class TBootloader_Parameters : public TToolSetupDialog {
  Q_OBJECT

public:
  explicit TBootloader_Parameters(QWidget *parent = nullptr);
};

extern TBootloader_Parameters *Bootloader_Parameters;
