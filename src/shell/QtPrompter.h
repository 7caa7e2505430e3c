// The prompter that shows real message boxes and common dialogs.
#pragma once

#include "Prompter.h"

#include <QSize>
#include <QStringList>

#include <string>

class QPrinter;

class TQtPrompter : public TPrompter {
public:
  TModalResult Message(const std::string &text, TMsgDlgType type, TMsgDlgButtons buttons,
                       const std::string &caption = std::string()) override;
  bool OpenFileDialog(TFileDialogRequest &request) override;
  bool SaveFileDialog(TFileDialogRequest &request) override;
  bool FontDialog(TFontChoice &font) override;
  bool PrintDialog(TPrintChoice &choice) override;
  bool PageSetupDialog(TPageSetupChoice &setup) override;

  // The settings file that keeps the file dialogs' size between runs (section
  // "FILE_DIALOG"); empty: the size is kept for this run only.
  std::string SettingsFile;
  // The size of the file dialogs; until the user changes it, one that shows
  // every column of the file list.
  QSize FileDialogSize() const;

  // QtPrompterChoices.cpp
  int Ask(const std::string &text, TMsgDlgType type, const std::vector<std::string> &buttons,
          int defaultButton, const std::string &caption = std::string()) override;
  bool ChooseItems(const std::string &caption, const std::string &text,
                   const std::vector<std::string> &items, std::vector<bool> &chosen) override;

private:
  bool RunFileDialog(TFileDialogRequest &request, bool save);
  void RememberFileDialogSize(const QSize &size);
  QSize fileDialogSize_;
};

// The program's printer: the one the print and page-setup dialogs choose and
// printing uses.
QPrinter &ProgramPrinter();

// "Text|*.a;*.b;|All|*.*" as a file dialog's name filters.
QStringList FileDialogFilters(const std::string &filter);

// The prompter a process starts with: the recording one when KX_PROMPTER_LOG
// names a log file (answers from the file KX_PROMPTER_SCRIPT names), else the
// windowed one.
void InstallProcessPrompter();
