#include "StatusBar.h"

#include <QLabel>

namespace {
constexpr int kWidths[TStatusBar::PanelCount] = {89, 96, 100, 90, 60, 50};
}

TStatusBar::TStatusBar(QWidget *parent) : QStatusBar(parent) {
  setObjectName(QStringLiteral("StatusBar1"));
  setSizeGripEnabled(false);
  QFont f(QStringLiteral("Tahoma"));
  f.setPointSize(8);
  f.setBold(true);
  setFont(f);
  for (int i = 0; i < PanelCount; ++i) {
    auto *label = new QLabel(this);
    label->setObjectName(QStringLiteral("Panel%1").arg(i));
    label->setFont(f);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setTextFormat(Qt::PlainText);
    const bool last = i == PanelCount - 1;
    label->setAlignment(last ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter);
    if (last) {
      label->setMinimumWidth(kWidths[i]);
      addWidget(label, 1);
    } else {
      label->setFixedWidth(kWidths[i]);
      addWidget(label);
    }
    panels_[i] = label;
  }
}

QString TStatusBar::PanelText(int index) const {
  return index >= 0 && index < PanelCount ? panels_[index]->text() : QString();
}

void TStatusBar::SetPanelText(int index, const QString &text) {
  if (index >= 0 && index < PanelCount)
    panels_[index]->setText(text);
}

QLabel *TStatusBar::Panel(int index) const {
  return index >= 0 && index < PanelCount ? panels_[index] : nullptr;
}

int TStatusBar::PanelWidth(int index) {
  return index >= 0 && index < PanelCount ? kWidths[index] : 0;
}
