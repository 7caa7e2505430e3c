#include "PleaseWaitForm.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

TDummy_Virtual_Form *Dummy_Virtual_Form = nullptr;

TDummy_Virtual_Form::TDummy_Virtual_Form(QWidget *parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Dummy_Virtual_Form"));
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                 Qt::WindowDoesNotAcceptFocus);
  setAttribute(Qt::WA_QuitOnClose, false);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFixedSize(211, 96);
  auto *layout = new QVBoxLayout(this);
  auto *frame = new QFrame(this);
  frame->setFrameShape(QFrame::Box);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(frame);
  auto *inner = new QVBoxLayout(frame);
  for (const char *text : {"Initiating Virtual Machine", "Please Wait"}) {
    auto *label = new QLabel(QString::fromLatin1(text), frame);
    label->setAlignment(Qt::AlignCenter);
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
    inner->addWidget(label);
  }
}

void TDummy_Virtual_Form::ShowCentred() {
  if (QScreen *screen = QGuiApplication::primaryScreen())
    move(screen->geometry().center() - QPoint(width() / 2, height() / 2));
  show();
  raise();
  repaint();
}
