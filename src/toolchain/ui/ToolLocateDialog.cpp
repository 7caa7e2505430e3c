// TToolLocateDialog: the read-only path field, Browse and OK of the EPIC and
// MELOADER path dialogs.
#include "ToolLocateDialog.h"

#include "CommandGuard.h"
#include "IniFile.h"
#include "Prompter.h"
#include "ToolSetupDialog.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

TToolLocateDialog::TToolLocateDialog(const TToolLocateTexts &texts, QWidget *parent)
    : QDialog(parent), texts_(texts) {
  setObjectName(QLatin1String(texts.ObjectName));
  setWindowTitle(QLatin1String(texts.Caption));
  auto *layout = new QVBoxLayout(this);
  auto *label = new QLabel(QLatin1String(texts.FieldLabel), this);
  layout->addWidget(label);
  auto *row = new QHBoxLayout;
  PathEdit = new QLineEdit(this);
  PathEdit->setObjectName(QStringLiteral("PathEdit"));
  // Typing here would be dropped on OK: only Browse changes the path, and the
  // field says so by taking no input.
  PathEdit->setReadOnly(true);
  PathEdit->setPlaceholderText(QStringLiteral("Choose the program with Browse..."));
  PathEdit->setToolTip(QLatin1String(texts.FieldHint));
  PathEdit->setStatusTip(QLatin1String(texts.FieldHint));
  label->setBuddy(PathEdit);
  BrowseButton = new QPushButton(QStringLiteral("Browse..."), this);
  BrowseButton->setObjectName(QStringLiteral("BrowseButton"));
  BrowseButton->setToolTip(QLatin1String(texts.BrowseHint));
  BrowseButton->setStatusTip(QLatin1String(texts.BrowseHint));
  row->addWidget(PathEdit, 1);
  row->addWidget(BrowseButton);
  layout->addLayout(row);
  auto *buttons = new QHBoxLayout;
  buttons->addStretch(1);
  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setDefault(true);
  CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  buttons->addWidget(OKButton);
  buttons->addWidget(CancelButton);
  layout->addLayout(buttons);
  connect(BrowseButton, &QPushButton::clicked, this, Guarded([this] { BrowseClick(); }));
  connect(OKButton, &QPushButton::clicked, this, Guarded([this] { OKClick(); }));
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  resize(480, sizeHint().height());
}

void TToolLocateDialog::showEvent(QShowEvent *e) {
  QDialog::showEvent(e);
  if (!e->spontaneous())
    RunCommand([this] { FormActivate(); });
}

void TToolLocateDialog::FormActivate() {
  path_ = TIniFile(texts_.SettingsFile()).ReadString(texts_.Section, texts_.Key, path_);
  PathEdit->setText(FromSettingsBytes(path_));
}

void TToolLocateDialog::BrowseClick() {
  TFileDialogRequest request;
  request.Title = texts_.BrowseTitle;
  request.Filter = std::string(texts_.Filter) + "|All files|*";
  request.FileName = texts_.FileName;
  request.InitialDir = ToSettingsBytes(QDir::homePath());
  if (!Prompter().OpenFileDialog(request))
    return;
  path_ = request.FileName;
  PathEdit->setText(FromSettingsBytes(path_));
}

void TToolLocateDialog::OKClick() {
  TIniFile(texts_.SettingsFile()).WriteString(texts_.Section, texts_.Key, path_);
  accept();
}
