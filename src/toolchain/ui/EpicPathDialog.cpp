// TEPICPath: the texts and settings key of the EPIC path dialog.
#include "EpicPathDialog.h"

#include "ProcessPaths.h"

TEPICPath *EPICPath = nullptr;

namespace {

const TToolLocateTexts kTexts = {
    "EPICPath",
    "Find EPIC Directory Path",
    "EPIC Directory Path",
    "EPIC Programmer Directory and EXE name",
    "Search for EPIC's Directory and EXE name",
    "Find EPIC Directory",
    "EPICWIN|EPICWIN.EXE;",
    "EPICWIN.EXE",
    &EpicSettingsFilePath,
    "EPIC",
    "PATHNAME",
};

} // namespace

TEPICPath::TEPICPath(QWidget *parent) : TToolLocateDialog(kTexts, parent) {}
