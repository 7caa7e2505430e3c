// What the program data and EEPROM data windows share: a bold grid over a
// table model, filled from the current document's HEX file.
#pragma once

#include "HexGridModel.h"
#include "ResultWindow.h"

#include <string>

class QTableView;

class TDataGridWindow : public TResultWindow {
  Q_OBJECT

public:
  TDataGridWindow(const char *name, const QString &caption, THexGridModel::TKind kind,
                  const TGeometryKeys &keys, QWidget *parent = nullptr);

  // Loads the HEX file into the shared image and shows its words or bytes;
  // a file that does not exist shows the blank area. A bad pair in the file
  // raises the loader's message and leaves the grid as it was.
  void ShowHexFile(const std::string &path);
  void ShowBlank() { model_->FillBlank(); }

  THexGridModel *Model() const { return model_; }
  QTableView *Grid() const { return grid_; }

  void LoadGeometry() override { LoadPlace(keys_); }
  void StoreGeometry() override { StorePlace(keys_); }

protected:
  THexGridModel *model_ = nullptr;
  QTableView *grid_ = nullptr;
  TGeometryKeys keys_;
};
