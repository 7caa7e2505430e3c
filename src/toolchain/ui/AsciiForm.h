// The ASCII table tool window: a fixed list of the 256 character codes with
// their decimal and hexadecimal values and the control names.
#pragma once

#include <QWidget>

#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;

class TASCII : public QWidget {
  Q_OBJECT

public:
  explicit TASCII(QWidget *parent = nullptr);

  QLabel *Heading = nullptr;
  QListWidget *CodeList = nullptr;
  QPushButton *CancelButton = nullptr;

  static constexpr const char *HeadingText = "chr     dec#    hex#    ctrl";
  // The 256 lines as bytes: four columns of 8 characters each.
  static std::vector<std::string> TableLines();
};

extern TASCII *ASCII;
