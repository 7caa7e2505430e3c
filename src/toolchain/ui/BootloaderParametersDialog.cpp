// TBootloader_Parameters: the texts and settings section of the bootloader
// dialog.
#include "BootloaderParametersDialog.h"

TBootloader_Parameters *Bootloader_Parameters = nullptr;
std::string ExtBootloaderName;

namespace {

const TToolSetupTexts kTexts = {
    "Bootloader_Parameters",
    "Bootloader Directory Path",
    "EXT_BOOTLOADER",
    "Bootloader's Name",
    "Bootloaders Name",
    "Bootloader's Directory Path",
    "External Bootloader's Directory",
    "Search for the Bootloader's directory and EXE name",
    "Find Bootloader Directory",
    "Cancel the bootloader choice",
    "Download starts (one argument a line):",
};

} // namespace

TBootloader_Parameters::TBootloader_Parameters(QWidget *parent)
    : TToolSetupDialog(kTexts, ExtBootloaderName, parent) {}
