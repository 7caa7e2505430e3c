// TToolSetupDialog: the fields, the browse and OK buttons, and the live
// argument view of the programmer and bootloader dialogs.
#include "ToolSetupDialog.h"

#include "CommandGuard.h"
#include "IniFile.h"
#include "ProcessPaths.h"
#include "Prompter.h"

#include <QDir>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

std::string ToSettingsBytes(const QString &text) {
  return text.toLocal8Bit().toStdString();
}

QString FromSettingsBytes(const std::string &bytes) {
  return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

void CentreOnScreen(QWidget *window) {
  const QScreen *screen = window->screen();
  if (!screen)
    return;
  const QRect area = screen->availableGeometry();
  const QSize size = window->frameGeometry().size();
  window->move(area.center() - QPoint(size.width() / 2, size.height() / 2));
}

namespace {

void Hint(QWidget *w, const char *hint) {
  w->setToolTip(QString::fromLatin1(hint));
  w->setStatusTip(QString::fromLatin1(hint));
}

} // namespace

TToolSetupDialog::TToolSetupDialog(const TToolSetupTexts &texts, std::string &acceptedName,
                                   QWidget *parent)
    : QDialog(parent), texts_(texts), acceptedName_(acceptedName) {
  setObjectName(QLatin1String(texts.ObjectName));
  setWindowTitle(QLatin1String(texts.Caption));
  // No title-bar buttons: the dialog ends through OK or Cancel (or Escape).
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

  auto *layout = new QVBoxLayout(this);
  auto *form = new QFormLayout;
  NameEdit = new QLineEdit(this);
  NameEdit->setObjectName(QStringLiteral("NameEdit"));
  Hint(NameEdit, texts.NameHint);
  form->addRow(QLatin1String(texts.NameLabel), NameEdit);

  PathEdit = new QLineEdit(this);
  PathEdit->setObjectName(QStringLiteral("PathEdit"));
  Hint(PathEdit, texts.PathHint);
  BrowseButton = new QPushButton(QStringLiteral("Browse..."), this);
  BrowseButton->setObjectName(QStringLiteral("BrowseButton"));
  Hint(BrowseButton, texts.BrowseHint);
  auto *pathRow = new QHBoxLayout;
  pathRow->addWidget(PathEdit, 1);
  pathRow->addWidget(BrowseButton);
  form->addRow(QLatin1String(texts.PathLabel), pathRow);

  CmdLineEdit = new QLineEdit(this);
  CmdLineEdit->setObjectName(QStringLiteral("CmdLineEdit"));
  Hint(CmdLineEdit, "Any comand line parameters required");
  form->addRow(QStringLiteral("Optional Command Line Parameters"), CmdLineEdit);
  layout->addLayout(form);

  OptionsGroup = new QGroupBox(QStringLiteral("Command line Parameter options"), this);
  OptionsGroup->setObjectName(QStringLiteral("OptionsGroup"));
  auto *options = new QVBoxLayout(OptionsGroup);
  for (const char *line : {"(%FULL) Insert full pathname.", "(%PIC) Insert PICmicro type.",
                           "(%FILENAME) Insert Hex filename only."})
    options->addWidget(new QLabel(QLatin1String(line), OptionsGroup));
  layout->addWidget(OptionsGroup);

  PreviewCaption = new QLabel(QLatin1String(texts.PreviewLabel), this);
  PreviewCaption->setObjectName(QStringLiteral("PreviewCaption"));
  PreviewView = new QPlainTextEdit(this);
  PreviewView->setObjectName(QStringLiteral("PreviewView"));
  PreviewView->setReadOnly(true);
  PreviewView->setLineWrapMode(QPlainTextEdit::NoWrap);
  PreviewView->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  PreviewView->setFixedHeight(PreviewView->fontMetrics().lineSpacing() * 6);
  PreviewCaption->setVisible(false);
  PreviewView->setVisible(false);
  layout->addWidget(PreviewCaption);
  layout->addWidget(PreviewView);

  auto *buttons = new QHBoxLayout;
  buttons->addStretch(1);
  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setDefault(true);
  Hint(OKButton, "Return to the editor");
  CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  Hint(CancelButton, texts.CancelHint);
  buttons->addWidget(OKButton);
  buttons->addWidget(CancelButton);
  layout->addLayout(buttons);

  connect(BrowseButton, &QPushButton::clicked, this, Guarded([this] { BrowseClick(); }));
  connect(OKButton, &QPushButton::clicked, this, Guarded([this] { OKClick(); }));
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(PathEdit, &QLineEdit::textChanged, this, Guarded([this] { UpdatePreview(); }));
  connect(CmdLineEdit, &QLineEdit::textChanged, this, Guarded([this] { UpdatePreview(); }));
  resize(520, sizeHint().height());
}

void TToolSetupDialog::showEvent(QShowEvent *e) {
  QDialog::showEvent(e);
  if (!e->spontaneous()) {
    RunCommand([this] { FormActivate(); });
    CentreOnScreen(this);
  }
}

void TToolSetupDialog::FormActivate() {
  const TIniFile ini(SettingsFilePath());
  NameEdit->setText(FromSettingsBytes(ini.ReadString(texts_.Section, "NAME", lastName_)));
  PathEdit->setText(FromSettingsBytes(ini.ReadString(texts_.Section, "EXT_PATH", lastPath_)));
  CmdLineEdit->setText(FromSettingsBytes(ini.ReadString(texts_.Section, "CMD_LINE", lastCmdLine_)));
  UpdatePreview();
}

void TToolSetupDialog::BrowseClick() {
  TFileDialogRequest request;
  request.Title = texts_.BrowseTitle;
  // Linux programs have no ".EXE": every file can be chosen too, and no
  // extension is added to a name that has none.
  request.Filter = "EXE Files|*.EXE;|All files|*";
  request.FileName = "*.EXE";
  request.InitialDir = ToSettingsBytes(QDir::homePath());
  if (Prompter().OpenFileDialog(request))
    PathEdit->setText(FromSettingsBytes(request.FileName));
}

void TToolSetupDialog::OKClick() {
  std::string name = ToSettingsBytes(NameEdit->text());
  if (name.empty())
    name = "Undefined";
  const std::string path = ToSettingsBytes(PathEdit->text());
  const std::string cmdLine = ToSettingsBytes(CmdLineEdit->text());
  acceptedName_ = name;
  TIniFile ini(SettingsFilePath());
  ini.WriteString(texts_.Section, "NAME", name);
  ini.WriteString(texts_.Section, "EXT_PATH", path);
  ini.WriteString(texts_.Section, "CMD_LINE", cmdLine);
  lastName_ = name;
  lastPath_ = path;
  lastCmdLine_ = cmdLine;
  accept();
}

void TToolSetupDialog::UpdatePreview() {
  const bool shown = static_cast<bool>(ArgumentPreview);
  PreviewCaption->setVisible(shown);
  PreviewView->setVisible(shown);
  if (!shown)
    return;
  const QStringList lines =
      ArgumentPreview(ToSettingsBytes(PathEdit->text()), ToSettingsBytes(CmdLineEdit->text()));
  PreviewView->setPlainText(lines.join(QLatin1Char('\n')));
}
