// TProgPath: the texts and settings section of the programmer dialog.
#include "ProgPathDialog.h"

TProgPath *ProgPath = nullptr;
std::string ExtProgrammerName;

namespace {

const TToolSetupTexts kTexts = {
    "ProgPath",
    "Programmer Directory Path",
    "EXT_PROG",
    "Programmer's Name",
    "Programmers Name",
    "Programmer's Directory Path",
    "External Programmer's Directory",
    "Search for the programmer's directory and EXE name",
    "Find Programmer Directory",
    "Cancel the programmer choice",
    "Program starts (one argument a line):",
};

} // namespace

TProgPath::TProgPath(QWidget *parent) : TToolSetupDialog(kTexts, ExtProgrammerName, parent) {}
