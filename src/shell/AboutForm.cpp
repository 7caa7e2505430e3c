#include "AboutForm.h"

#include "Prompter.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

TAboutForm *AboutForm = nullptr;

TAboutForm::TAboutForm(QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("AboutForm"));
  setWindowTitle(QStringLiteral("About"));
  auto *layout = new QVBoxLayout(this);
  auto *title = new QLabel(QString::fromLatin1(ApplicationTitle), this);
  QFont f = title->font();
  f.setBold(true);
  f.setPointSize(f.pointSize() + 4);
  title->setFont(f);
  title->setAlignment(Qt::AlignCenter);
  layout->addWidget(title);
  auto *text = new QLabel(
      QStringLiteral("A development environment for the KORVEX PIC BASIC compiler"), this);
  text->setAlignment(Qt::AlignCenter);
  layout->addWidget(text);
  auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
  setFixedSize(sizeHint());
}
