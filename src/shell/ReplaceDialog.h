// The replace dialog "Find and replace text...": non-modal and always on top;
// OK replaces the next match once, Replace All sweeps the whole text forward
// as one undo step, each with or without a question per match.
#pragma once

#include "SearchDialog.h"

class TEdReplDlg : public TSearchDialog {
  Q_OBJECT

public:
  explicit TEdReplDlg(QWidget *parent = nullptr);

  void OKButtonClick();
  void ReplaceAllButtonClick();

  // The replacement text as the document's bytes.
  std::string ReplaceText() const;

  QLabel *ReplLabel = nullptr;
  QComboBox *ReplHistoryBox = nullptr;
  QCheckBox *PromptOnReplBox = nullptr;
  QPushButton *ReplaceAllButton = nullptr;

protected:
  void LoadHistories() override;
  void WriteHistories() override;
  void UpdateButtons() override;

private:
  // The two texts, each added to its history when new; false when there is
  // no editor or nothing to search for.
  bool TakeTexts(std::string &text, std::string &replacement);
  // The question of a prompted replacement: Yes, No or Cancel.
  int AskReplace(const std::string &text, const std::string &replacement);
  // Replaces the selected match; after an empty match the next search moves
  // past its place instead of finding it again behind the new text.
  void ReplaceMatch(const std::string &replacement, bool repaint);
};

extern TEdReplDlg *EdReplDlg;
