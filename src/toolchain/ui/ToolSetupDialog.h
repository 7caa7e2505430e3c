// The dialog shape that sets up a user-defined tool (the programmer or the
// bootloader): its name, the path of its executable and its command-line
// template, kept in one settings section, with a live view of the argument
// list the tool will be started with.
#pragma once

#include <QDialog>

#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QGroupBox;

// The texts and the settings section that make one of the two dialogs.
struct TToolSetupTexts {
  const char *ObjectName;
  const char *Caption;
  const char *Section; // settings section of NAME, EXT_PATH and CMD_LINE
  const char *NameLabel;
  const char *NameHint;
  const char *PathLabel;
  const char *PathHint;
  const char *BrowseHint;
  const char *BrowseTitle;
  const char *CancelHint;
  const char *PreviewLabel;
};

class TToolSetupDialog : public QDialog {
  Q_OBJECT

public:
  TToolSetupDialog(const TToolSetupTexts &texts, std::string &acceptedName, QWidget *parent);

  // The program and arguments the tool would start with for these path and
  // template fields, one item a line (the program first); none set: the
  // view is hidden.
  std::function<QStringList(const std::string &path, const std::string &cmdLine)> ArgumentPreview;

  QLineEdit *NameEdit = nullptr;
  QLineEdit *PathEdit = nullptr;
  QLineEdit *CmdLineEdit = nullptr;
  QPushButton *BrowseButton = nullptr;
  QPushButton *OKButton = nullptr;
  QPushButton *CancelButton = nullptr;
  QGroupBox *OptionsGroup = nullptr;
  QPlainTextEdit *PreviewView = nullptr;
  QLabel *PreviewCaption = nullptr;

  // Fills the fields from the settings (FormActivate of the dialog).
  void FormActivate();
  void BrowseClick();
  void OKClick();
  // Shows the argument list for the fields as they are now.
  void UpdatePreview();

protected:
  void showEvent(QShowEvent *e) override;

private:
  TToolSetupTexts texts_;
  std::string &acceptedName_;
  // The values last accepted since the program started: the fallback for
  // keys the settings file lacks.
  std::string lastName_, lastPath_, lastCmdLine_;
};

// Field text and settings bytes: the settings file holds the local 8-bit
// form.
std::string ToSettingsBytes(const QString &text);
QString FromSettingsBytes(const std::string &bytes);
// Places a dialog in the middle of the screen it is on.
void CentreOnScreen(QWidget *window);
