// Cell texts of the data grids.
#include "HexGridModel.h"

#include "HexImage.h"

#include <QGuiApplication>
#include <QPalette>

THexGridModel::THexGridModel(TKind kind, QObject *parent)
    : QAbstractTableModel(parent), kind_(kind) {
  values_.resize(kind == TKind::Program ? THexImage::ProgramSlots : 128);
  FillBlank();
}

void THexGridModel::Fill(const THexImage &image) {
  for (size_t i = 0; i < values_.size(); ++i)
    values_[i] = kind_ == TKind::Program ? image.ProgramWord(static_cast<int>(i))
                                         : image.EepromByte(static_cast<int>(i));
  Changed();
}

void THexGridModel::FillBlank() {
  const uint16_t blank = kind_ == TKind::Program ? THexImage::ProgramBlank : THexImage::ByteBlank;
  std::fill(values_.begin(), values_.end(), blank);
  Changed();
}

void THexGridModel::Changed() {
  // The grid keeps its shape: every cell changed, nothing to lay out again.
  typed_.clear();
  emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                   {Qt::DisplayRole, Qt::EditRole});
}

int THexGridModel::rowCount(const QModelIndex &parent) const {
  if (parent.isValid())
    return 0;
  return static_cast<int>(values_.size()) / ValuesPerRow();
}

int THexGridModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : ValuesPerRow() + 1;
}

uint32_t THexGridModel::CellNumber(int row, int column) const {
  if (!typed_.isEmpty() && typed_.contains(row * columnCount() + column))
    return NoNumber;
  if (column == 0) {
    const unsigned address = kind_ == TKind::Program ? static_cast<unsigned>(row) * 8
                                                     : 0x2100 + static_cast<unsigned>(row) * 0x10;
    return 4u << 16 | address;
  }
  const uint16_t v = values_[static_cast<size_t>(row * ValuesPerRow() + column - 1)];
  return kind_ == TKind::Program ? 4u << 16 | v : 2u << 16 | (v & 0xFFu);
}

QString THexGridModel::NumberText(uint32_t number) {
  static const char digits[] = "0123456789ABCDEF";
  const int count = static_cast<int>(number >> 16);
  QChar text[4];
  for (int i = 0; i < count; ++i)
    text[i] = QLatin1Char(digits[(number >> (4 * (count - 1 - i))) & 0xF]);
  return QString(text, count);
}

QString THexGridModel::CellText(int row, int column) const {
  const uint32_t number = CellNumber(row, column);
  return number == NoNumber ? typed_.value(row * columnCount() + column) : NumberText(number);
}

QVariant THexGridModel::data(const QModelIndex &index, int role) const {
  if (!index.isValid())
    return {};
  switch (role) {
  case Qt::DisplayRole:
  case Qt::EditRole:
    return CellText(index.row(), index.column());
  case Qt::FontRole:
    return font_;
  case Qt::TextAlignmentRole:
    return QVariant::fromValue(Qt::AlignCenter);
  case Qt::BackgroundRole:
    // The address column is the grid's fixed column.
    if (index.column() == 0)
      return QGuiApplication::palette().button();
    return {};
  default:
    return {};
  }
}

bool THexGridModel::setData(const QModelIndex &index, const QVariant &value, int role) {
  if (!index.isValid() || index.column() == 0 || role != Qt::EditRole)
    return false;
  typed_.insert(index.row() * columnCount() + index.column(), value.toString());
  emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
  return true;
}

Qt::ItemFlags THexGridModel::flags(const QModelIndex &index) const {
  if (!index.isValid())
    return Qt::NoItemFlags;
  if (index.column() == 0)
    return Qt::ItemIsEnabled;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}
