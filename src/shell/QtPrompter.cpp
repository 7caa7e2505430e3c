// Message boxes and common dialogs on Qt widgets.
#include "QtPrompter.h"

#include "IniFile.h"
#include "ProcessPaths.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QTreeView>

namespace {

QString FromUtf8(const std::string &s) {
  return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

std::string ToUtf8(const QString &s) {
  return s.toUtf8().toStdString();
}

// Texts break lines with CR, CR LF or LF; the box shows each as one break.
QString DisplayText(const std::string &text) {
  QString t = FromUtf8(text);
  t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return t;
}

QWidget *DialogParent() {
  return QApplication::activeWindow();
}

const char *const FileDialogSection = "FILE_DIALOG";

} // namespace

QStringList FileDialogFilters(const std::string &filter) {
  const QStringList parts = FromUtf8(filter).split(QLatin1Char('|'));
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns;
    for (QString p : parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
      p = p.trimmed();
      // "*.*" means every file, with or without an extension.
      if (p == QLatin1String("*.*"))
        p = QStringLiteral("*");
      if (!p.isEmpty())
        patterns << p;
    }
    if (!patterns.isEmpty())
      out << parts.at(i).trimmed() + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                 QLatin1Char(')');
  }
  return out;
}

TModalResult TQtPrompter::Message(const std::string &text, TMsgDlgType type, TMsgDlgButtons buttons,
                                  const std::string &caption) {
  QMessageBox box(DialogParent());
  box.setWindowTitle(FromUtf8(caption.empty() ? DefaultCaption(type) : caption));
  box.setTextFormat(Qt::PlainText);
  box.setText(DisplayText(text));
  switch (type) {
  case TMsgDlgType::mtWarning:
    box.setIcon(QMessageBox::Warning);
    break;
  case TMsgDlgType::mtError:
    box.setIcon(QMessageBox::Critical);
    break;
  case TMsgDlgType::mtInformation:
    box.setIcon(QMessageBox::Information);
    break;
  case TMsgDlgType::mtConfirmation:
    box.setIcon(QMessageBox::Question);
    break;
  case TMsgDlgType::mtCustom:
    box.setIcon(QMessageBox::NoIcon);
    break;
  }
  if (buttons == 0)
    buttons = mbOK;
  struct {
    TMsgDlgBtn bit;
    QMessageBox::StandardButton button;
    TModalResult result;
  } const map[] = {{mbYes, QMessageBox::Yes, TModalResult::mrYes},
                   {mbNo, QMessageBox::No, TModalResult::mrNo},
                   {mbOK, QMessageBox::Ok, TModalResult::mrOk},
                   {mbCancel, QMessageBox::Cancel, TModalResult::mrCancel},
                   {mbAbort, QMessageBox::Abort, TModalResult::mrAbort},
                   {mbRetry, QMessageBox::Retry, TModalResult::mrRetry},
                   {mbIgnore, QMessageBox::Ignore, TModalResult::mrIgnore}};
  QAbstractButton *first = nullptr;
  for (const auto &m : map) {
    if (buttons & m.bit) {
      QAbstractButton *b = box.addButton(m.button);
      if (!first)
        first = b;
    }
  }
  if (auto *def = qobject_cast<QPushButton *>(first))
    box.setDefaultButton(def);
  if (buttons & mbCancel)
    box.setEscapeButton(QMessageBox::Cancel);
  else if (buttons & mbNo)
    box.setEscapeButton(QMessageBox::No);
  else
    box.setEscapeButton(first);
  box.exec();
  const QAbstractButton *clicked = box.clickedButton();
  for (const auto &m : map)
    if (clicked && box.standardButton(const_cast<QAbstractButton *>(clicked)) == m.button)
      return m.result;
  return (buttons & mbCancel) ? TModalResult::mrCancel : TModalResult::mrOk;
}

QSize TQtPrompter::FileDialogSize() const {
  if (fileDialogSize_.isValid())
    return fileDialogSize_;
  QSize size(900, 560);
  if (!SettingsFile.empty()) {
    const TIniFile ini(SettingsFile);
    const int w = ini.ReadInteger(FileDialogSection, "WIDTH", 0);
    const int h = ini.ReadInteger(FileDialogSection, "HEIGHT", 0);
    if (w >= 200 && w <= 20000 && h >= 150 && h <= 20000)
      size = QSize(w, h);
  }
  if (const QScreen *screen = QGuiApplication::primaryScreen())
    size = size.boundedTo(screen->availableGeometry().size());
  return size;
}

bool TQtPrompter::RunFileDialog(TFileDialogRequest &request, bool save) {
  QFileDialog dialog(DialogParent(), FromUtf8(request.Title));
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  const QStringList filters = FileDialogFilters(request.Filter);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    if (request.FilterIndex >= 1 && request.FilterIndex <= filters.size())
      dialog.selectNameFilter(filters.at(request.FilterIndex - 1));
  }
  if (!request.InitialDir.empty())
    dialog.setDirectory(FromUtf8(request.InitialDir));
  if (!request.DefaultExt.empty())
    dialog.setDefaultSuffix(FromUtf8(request.DefaultExt));
  if (!request.FileName.empty() && request.FileName.find('*') == std::string::npos)
    dialog.selectFile(FromUtf8(request.FileName));
  // Room for every column of the detailed list: the name takes what is left
  // once size, type and date show whole.
  dialog.resize(FileDialogSize());
  if (auto *list = dialog.findChild<QTreeView *>()) {
    QHeaderView *header = list->header();
    header->setStretchLastSection(false);
    if (header->count() > 0) {
      header->setSectionResizeMode(0, QHeaderView::Stretch);
      for (int i = 1; i < header->count(); ++i)
        header->setSectionResizeMode(i, QHeaderView::ResizeToContents);
    }
  }
  const bool accepted = dialog.exec() == QDialog::Accepted;
  RememberFileDialogSize(dialog.size());
  if (!accepted || dialog.selectedFiles().isEmpty())
    return false;
  request.FileName = ToUtf8(dialog.selectedFiles().first());
  const int index = filters.indexOf(dialog.selectedNameFilter());
  if (index >= 0)
    request.FilterIndex = index + 1;
  return true;
}

void TQtPrompter::RememberFileDialogSize(const QSize &size) {
  if (!size.isValid() || size == FileDialogSize())
    return;
  fileDialogSize_ = size;
  if (SettingsFile.empty())
    return;
  try {
    TIniFile ini(SettingsFile);
    ini.WriteInteger(FileDialogSection, "WIDTH", size.width());
    ini.WriteInteger(FileDialogSection, "HEIGHT", size.height());
  } catch (const EKorvexError &) {
    // A settings file that cannot be written keeps the size for this run.
  }
}

bool TQtPrompter::OpenFileDialog(TFileDialogRequest &request) {
  return RunFileDialog(request, false);
}

bool TQtPrompter::SaveFileDialog(TFileDialogRequest &request) {
  return RunFileDialog(request, true);
}

bool TQtPrompter::FontDialog(TFontChoice &font) {
  QFont initial(FromUtf8(font.Name), font.Size);
  initial.setBold(font.Bold);
  initial.setItalic(font.Italic);
  initial.setUnderline(font.Underline);
  initial.setStrikeOut(font.StrikeOut);
  bool ok = false;
  const QFont chosen = QFontDialog::getFont(&ok, initial, DialogParent());
  if (!ok)
    return false;
  font.Name = ToUtf8(chosen.family());
  font.Size = chosen.pointSize() > 0 ? chosen.pointSize() : font.Size;
  font.Bold = chosen.bold();
  font.Italic = chosen.italic();
  font.Underline = chosen.underline();
  font.StrikeOut = chosen.strikeOut();
  return true;
}

QPrinter &ProgramPrinter() {
  static QPrinter printer(QPrinter::HighResolution);
  return printer;
}

bool TQtPrompter::PrintDialog(TPrintChoice &choice) {
  QPrinter &printer = ProgramPrinter();
  QPrintDialog dialog(&printer, DialogParent());
  dialog.setMinMax(choice.MinPage, choice.MaxPage);
  dialog.setFromTo(choice.MinPage, choice.MaxPage);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
  if (dialog.exec() != QDialog::Accepted)
    return false;
  choice.AllPages = printer.printRange() != QPrinter::PageRange;
  choice.FromPage = choice.AllPages ? choice.MinPage : printer.fromPage();
  choice.ToPage = choice.AllPages ? choice.MaxPage : printer.toPage();
  choice.Copies = printer.copyCount();
  return true;
}

bool TQtPrompter::PageSetupDialog(TPageSetupChoice &setup) {
  QPrinter &printer = ProgramPrinter();
  QPageLayout layout = printer.pageLayout();
  layout.setUnits(QPageLayout::Inch);
  layout.setOrientation(setup.Portrait ? QPageLayout::Portrait : QPageLayout::Landscape);
  layout.setMargins(QMarginsF(setup.MarginLeft / 1000.0, setup.MarginTop / 1000.0,
                              setup.MarginRight / 1000.0, setup.MarginBottom / 1000.0));
  printer.setPageLayout(layout);
  QPageSetupDialog dialog(&printer, DialogParent());
  if (dialog.exec() != QDialog::Accepted)
    return false;
  const QMarginsF m = printer.pageLayout().margins(QPageLayout::Inch);
  setup.MarginLeft = qRound(m.left() * 1000);
  setup.MarginTop = qRound(m.top() * 1000);
  setup.MarginRight = qRound(m.right() * 1000);
  setup.MarginBottom = qRound(m.bottom() * 1000);
  setup.Portrait = printer.pageLayout().orientation() == QPageLayout::Portrait;
  return true;
}

void InstallProcessPrompter() {
  const QByteArray log = qgetenv("KX_PROMPTER_LOG");
  if (!log.isEmpty())
    SetPrompter(std::make_unique<TRecordingPrompter>(log.toStdString(),
                                                     qgetenv("KX_PROMPTER_SCRIPT").toStdString()));
  else {
    auto prompter = std::make_unique<TQtPrompter>();
    prompter->SettingsFile = SettingsFileBeside(ExecutableFolder());
    SetPrompter(std::move(prompter));
  }
}
