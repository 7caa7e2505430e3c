// The compiler report window: the report text of the last compile.
#pragma once

#include <QWidget>

class TReport : public QWidget {
public:
  explicit TReport(QWidget *parent = nullptr);
};

extern TReport *Report;
