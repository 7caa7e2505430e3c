// The dialog shape that locates one program (EPIC, MELOADER): a path that only
// Browse changes, stored under one settings key.
#pragma once

#include <QDialog>

#include <string>

class QLineEdit;
class QPushButton;

struct TToolLocateTexts {
  const char *ObjectName;
  const char *Caption;
  const char *FieldLabel;
  const char *FieldHint;
  const char *BrowseHint;
  const char *BrowseTitle;
  const char *Filter;   // the program's own filter; "All files" is added
  const char *FileName; // preset name in the file dialog
  std::string (*SettingsFile)();
  const char *Section;
  const char *Key;
};

class TToolLocateDialog : public QDialog {
  Q_OBJECT

public:
  TToolLocateDialog(const TToolLocateTexts &texts, QWidget *parent);

  // The one path the dialog holds.
  const std::string &Path() const { return path_; }

  QLineEdit *PathEdit = nullptr;
  QPushButton *BrowseButton = nullptr;
  QPushButton *OKButton = nullptr;
  QPushButton *CancelButton = nullptr;

  void FormActivate();
  void BrowseClick();
  void OKClick();

protected:
  void showEvent(QShowEvent *e) override;

private:
  TToolLocateTexts texts_;
  std::string path_;
};
