// TASCII: the table's lines and the window that shows them.
#include "AsciiForm.h"

#include "QtClipboard.h"

#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <cstdio>

TASCII *ASCII = nullptr;

namespace {

const char *const kControlNames[33] = {
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",
    "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
    "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US",  "SP"};

std::string Column(std::string text) {
  text.resize(8, ' ');
  return text;
}

} // namespace

std::vector<std::string> TASCII::TableLines() {
  std::vector<std::string> lines;
  lines.reserve(256);
  for (int code = 0; code < 256; ++code) {
    // The control codes show the character of code 127 in their place.
    const char shown = static_cast<char>(code < 32 ? 127 : code);
    char dec[8], hex[8];
    std::snprintf(dec, sizeof dec, "%02d", code);
    std::snprintf(hex, sizeof hex, "%02X", code);
    lines.push_back(Column(std::string(1, shown)) + Column(dec) + Column(hex) +
                    Column(code <= 32 ? kControlNames[code] : ""));
  }
  return lines;
}

TASCII::TASCII(QWidget *parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("ASCII"));
  setWindowTitle(QStringLiteral("ASCII Table"));
  setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
  // A table left open must not keep the program running once the main
  // window has closed.
  setAttribute(Qt::WA_QuitOnClose, false);
  QFont font(QStringLiteral("Courier New"));
  font.setPixelSize(13);
  font.setStyleHint(QFont::TypeWriter);
  setFont(font);

  auto *layout = new QVBoxLayout(this);
  Heading = new QLabel(QLatin1String(HeadingText), this);
  Heading->setObjectName(QStringLiteral("Heading"));
  Heading->setTextFormat(Qt::PlainText);
  layout->addWidget(Heading);
  CodeList = new QListWidget(this);
  CodeList->setObjectName(QStringLiteral("CodeList"));
  CodeList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  CodeList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  CodeList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  CodeList->setSelectionMode(QAbstractItemView::NoSelection);
  CodeList->setFocusPolicy(Qt::NoFocus);
  for (const std::string &line : TableLines())
    CodeList->addItem(FromCp1252(line));
  layout->addWidget(CodeList, 1);
  auto *buttons = new QHBoxLayout;
  buttons->addStretch(1);
  CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  buttons->addWidget(CancelButton);
  buttons->addStretch(1);
  layout->addLayout(buttons);
  connect(CancelButton, &QPushButton::clicked, this, &QWidget::hide);

  // A fixed single border: wide enough for the four columns and the scroll
  // bar, tall enough for a screenful of codes.
  const QFontMetrics fm(font);
  const int width = fm.horizontalAdvance(QString(34, QLatin1Char('W'))) +
                    CodeList->verticalScrollBar()->sizeHint().width() +
                    layout->contentsMargins().left() + layout->contentsMargins().right();
  setFixedSize(width, fm.lineSpacing() * 24);
}
