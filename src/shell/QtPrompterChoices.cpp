// The prompter's questions with buttons of their own captions and its
// check-box list, on Qt widgets.
#include "QtPrompter.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString ShownText(const std::string &text) {
  QString t = QString::fromUtf8(text.data(), qsizetype(text.size()));
  t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return t;
}

QMessageBox::Icon IconOf(TMsgDlgType type) {
  switch (type) {
  case TMsgDlgType::mtWarning:
    return QMessageBox::Warning;
  case TMsgDlgType::mtError:
    return QMessageBox::Critical;
  case TMsgDlgType::mtInformation:
    return QMessageBox::Information;
  case TMsgDlgType::mtConfirmation:
    return QMessageBox::Question;
  case TMsgDlgType::mtCustom:
    break;
  }
  return QMessageBox::NoIcon;
}

} // namespace

int TQtPrompter::Ask(const std::string &text, TMsgDlgType type,
                     const std::vector<std::string> &buttons, int defaultButton,
                     const std::string &caption) {
  QMessageBox box(QApplication::activeWindow());
  box.setWindowTitle(ShownText(caption.empty() ? DefaultCaption(type) : caption));
  box.setTextFormat(Qt::PlainText);
  box.setText(ShownText(text));
  box.setIcon(IconOf(type));
  std::vector<QPushButton *> added;
  for (const std::string &b : buttons)
    added.push_back(box.addButton(ShownText(b), QMessageBox::ActionRole));
  if (defaultButton >= 0 && static_cast<size_t>(defaultButton) < added.size()) {
    box.setDefaultButton(added[static_cast<size_t>(defaultButton)]);
    box.setEscapeButton(added[static_cast<size_t>(defaultButton)]);
  }
  box.exec();
  for (size_t i = 0; i < added.size(); ++i)
    if (box.clickedButton() == added[i])
      return static_cast<int>(i);
  return defaultButton;
}

bool TQtPrompter::ChooseItems(const std::string &caption, const std::string &text,
                              const std::vector<std::string> &items, std::vector<bool> &chosen) {
  QDialog dialog(QApplication::activeWindow());
  dialog.setWindowTitle(ShownText(caption));
  auto *layout = new QVBoxLayout(&dialog);
  auto *label = new QLabel(ShownText(text), &dialog);
  label->setWordWrap(true);
  layout->addWidget(label);
  auto *list = new QListWidget(&dialog);
  chosen.resize(items.size(), false);
  for (size_t i = 0; i < items.size(); ++i) {
    auto *item = new QListWidgetItem(ShownText(items[i]), list);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(chosen[i] ? Qt::Checked : Qt::Unchecked);
  }
  layout->addWidget(list);
  auto *box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(box, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(box);
  dialog.resize(560, 320);
  if (dialog.exec() != QDialog::Accepted)
    return false;
  for (size_t i = 0; i < items.size(); ++i)
    chosen[i] = list->item(static_cast<int>(i))->checkState() == Qt::Checked;
  return true;
}
