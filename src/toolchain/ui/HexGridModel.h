// The cells of the program data and EEPROM data grids as a table model: the
// address column and the words or bytes of the image, all as upper-case
// hexadecimal, computed when a cell is shown. The grids accept typing in
// their cells; what is typed stays until the next fill and is used nowhere.
#pragma once

#include <QAbstractTableModel>
#include <QFont>
#include <QHash>

#include <cstdint>
#include <vector>

class THexImage;

class THexGridModel : public QAbstractTableModel {
public:
  enum class TKind {
    Program, // 1024 rows: address r * 8, then 8 words of 4 digits
    Eeprom,  // 8 rows: address 2100 + r * 10, then 16 bytes of 2 digits
  };

  explicit THexGridModel(TKind kind, QObject *parent = nullptr);

  // The program words or the first 128 EEPROM bytes of the image.
  void Fill(const THexImage &image);
  // The blank area: "3FFF" words, "FF" bytes.
  void FillBlank();

  int rowCount(const QModelIndex &parent = QModelIndex()) const override;
  int columnCount(const QModelIndex &parent = QModelIndex()) const override;
  QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex &index) const override;

  // The text of a cell as shown.
  QString CellText(int row, int column) const;
  // The number a cell shows as digit count << 16 | value, or NoNumber for a
  // cell the user typed into: what the painter caches its texts by.
  static constexpr uint32_t NoNumber = 0xFFFFFFFF;
  uint32_t CellNumber(int row, int column) const;
  static QString NumberText(uint32_t number);
  void SetFont(const QFont &font) { font_ = font; }

private:
  int ValuesPerRow() const { return kind_ == TKind::Program ? 8 : 16; }
  void Changed();

  TKind kind_;
  std::vector<uint16_t> values_;
  QHash<int, QString> typed_; // row * columns + column
  QFont font_;
};
