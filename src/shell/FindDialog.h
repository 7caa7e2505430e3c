// The find dialog "Find text...": non-modal and always on top; each OK finds
// the next match from the editor's selection and leaves the search for Search
// Again and Show all.
#pragma once

#include "SearchDialog.h"

class TEdFindDlg : public TSearchDialog {
  Q_OBJECT

public:
  explicit TEdFindDlg(QWidget *parent = nullptr);

  void OKButtonClick();

protected:
  // Escape closes the dialog from any of its controls: it sees every key first.
  bool eventFilter(QObject *watched, QEvent *event) override;
};

extern TEdFindDlg *EdFindDlg;
