// The main window's programmer, bootloader, Run menu and tool commands.
#include "EditorMainForm.h"

void TEditorMainForm::EpicProgClick(QObject *) {}
void TEditorMainForm::ExtProgClick(QObject *) {}
void TEditorMainForm::ProgrammerPathClick(QObject *) {}
void TEditorMainForm::EPIC_DirectoryClick(QObject *) {}
void TEditorMainForm::ProgramButtonClick(QObject *) {}
void TEditorMainForm::Standard_Bootloader_OptionClick(QObject *) {}
void TEditorMainForm::MELoader_OptionClick(QObject *) {}
void TEditorMainForm::KORVEX_IR_OptionClick(QObject *) {}
void TEditorMainForm::External_Bootloader_OptionClick(QObject *) {}
void TEditorMainForm::BootloaderPathClick(QObject *) {}
void TEditorMainForm::MELoaderPathClick(QObject *) {}
void TEditorMainForm::DownloadButtonClick(QObject *) {}
void TEditorMainForm::RunExternalTool(QObject *) {}
void TEditorMainForm::BuildRunMenus() {}
void TEditorMainForm::SerialTerminalClick(QObject *) {}
void TEditorMainForm::CalculatorClick(QObject *) {}
void TEditorMainForm::ASCIITableClick(QObject *) {}
void TEditorMainForm::Help1Click(QObject *) {}
