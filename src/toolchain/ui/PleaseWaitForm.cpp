#include "PleaseWaitForm.h"

#include <QLabel>
#include <QVBoxLayout>

TDummy_Virtual_Form *Dummy_Virtual_Form = nullptr;

TDummy_Virtual_Form::TDummy_Virtual_Form(QWidget *parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Dummy_Virtual_Form"));
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
  setFixedSize(211, 96);
  auto *layout = new QVBoxLayout(this);
  for (const char *text : {"Initiating Virtual Machine", "Please Wait"}) {
    auto *label = new QLabel(QString::fromLatin1(text), this);
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
  }
}
