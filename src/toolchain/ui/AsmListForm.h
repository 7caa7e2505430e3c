// The assembler listing window: the .ASM file the compiler wrote, editable and re-assembled from
// here.
#pragma once

#include <QWidget>

class TASMList : public QWidget {
public:
  explicit TASMList(QWidget *parent = nullptr);
};

extern TASMList *ASMList;
