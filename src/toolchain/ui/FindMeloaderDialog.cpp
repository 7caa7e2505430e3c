// TFind_MELOADER: the texts and settings key of the MELOADER path dialog.
#include "FindMeloaderDialog.h"

#include "ProcessPaths.h"

TFind_MELOADER *Find_MELOADER = nullptr;

namespace {

const TToolLocateTexts kTexts = {
    "Find_MELOADER",
    "Find MELOADER Directory Path",
    "MELOADER Directory Path",
    "MELOADER Directory and EXE name",
    "Search for EPIC's Directory and EXE name",
    "Find MELOADER Directory",
    "MELOADER|MELOADER.EXE;",
    "MELOADER.EXE",
    &SettingsFilePath,
    "MELOADER",
    "PATHNAME",
};

} // namespace

TFind_MELOADER::TFind_MELOADER(QWidget *parent) : TToolLocateDialog(kTexts, parent) {}
