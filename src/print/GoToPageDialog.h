// "Go to Page Number": a page number limited to the document's pages.
#pragma once

#include <QDialog>

class QSpinBox;

class TGoToPageDialog : public QDialog {
  Q_OBJECT

public:
  // page and the result count from 1.
  TGoToPageDialog(int page, int pageCount, QWidget *parent = nullptr);
  int Page() const;
  QSpinBox *PageNumber = nullptr;
};
