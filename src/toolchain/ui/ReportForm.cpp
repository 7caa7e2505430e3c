#include "ReportForm.h"

TReport *Report = nullptr;

TReport::TReport(QWidget *parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Report"));
  setWindowTitle(QStringLiteral("Compiler Report"));
  setWindowFlag(Qt::WindowStaysOnTopHint);
}
