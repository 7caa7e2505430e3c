// TGotoLineDialog: the number box, and the check that keeps the dialog open
// until the number is in range.
#include "GotoLineDialog.h"

#include "Prompter.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TGotoLineDialog *GotoLineDialog = nullptr;

TGotoLineDialog::TGotoLineDialog(QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("GotoLineDialog"));
  setWindowTitle(QStringLiteral("Go to line number"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  LineNumberLabel = new QLabel(QStringLiteral("&Enter new line number"), this);
  LineNumberBox = new QLineEdit(this);
  LineNumberBox->setObjectName(QStringLiteral("LineNumberBox"));
  LineNumberLabel->setBuddy(LineNumberBox);
  OKButton = new QPushButton(QStringLiteral("&OK"), this);
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setDefault(true);
  CancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  CancelButton->setAutoDefault(false);
  connect(OKButton, &QPushButton::clicked, this, &TGotoLineDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  auto *layout = new QGridLayout(this);
  layout->addWidget(LineNumberLabel, 0, 0, 1, 2);
  layout->addWidget(LineNumberBox, 1, 0, 1, 2);
  layout->addWidget(OKButton, 2, 0);
  layout->addWidget(CancelButton, 2, 1);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool TGotoLineDialog::Execute() {
  LineNumberBox->setText(QString::number(Current));
  return exec() == QDialog::Accepted;
}

void TGotoLineDialog::showEvent(QShowEvent *e) {
  QDialog::showEvent(e);
  LineNumberBox->setFocus();
  LineNumberBox->selectAll();
}

void TGotoLineDialog::accept() {
  bool ok = false;
  const int value = LineNumberBox->text().trimmed().toInt(&ok, 10);
  if (!ok || value < Minimum || value > Maximum) {
    MessageDlg("Value must be between " + std::to_string(Minimum) + " and " +
                   std::to_string(Maximum),
               TMsgDlgType::mtWarning, mbOK);
    LineNumberBox->setFocus();
    LineNumberBox->selectAll();
    return;
  }
  Current = value;
  QDialog::accept();
}
