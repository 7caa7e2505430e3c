// The preview's go-to-page dialog.
#include "GoToPageDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>

TGoToPageDialog::TGoToPageDialog(int page, int pageCount, QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("GoToPageDialog"));
  setWindowTitle(QStringLiteral("Go to Page Number"));
  auto *form = new QFormLayout(this);
  PageNumber = new QSpinBox(this);
  PageNumber->setObjectName(QStringLiteral("PageNumber"));
  PageNumber->setRange(1, std::max(1, pageCount));
  PageNumber->setValue(page);
  PageNumber->selectAll();
  form->addRow(QStringLiteral("&Page number:"), PageNumber);
  auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);
}

int TGoToPageDialog::Page() const {
  return PageNumber->value();
}
