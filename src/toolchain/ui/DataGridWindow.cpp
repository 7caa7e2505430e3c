// The data windows' grid and their fill from the HEX file.
#include "DataGridWindow.h"

#include "HexImage.h"
#include "Streams.h"

#include <QHash>
#include <QHeaderView>
#include <QPainter>
#include <QStaticText>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// Cells as narrow as the grid's columns (34 pixels for four digits): the
// text is centred in the whole cell, without the style's inner margins. A
// grid shows a few hundred distinct numbers; each is laid out once and then
// drawn as static text, which keeps a full repaint cheap.
class TCellDelegate : public QStyledItemDelegate {
public:
  TCellDelegate(const QFont &font, QObject *parent) : QStyledItemDelegate(parent), font_(font) {}

  void paint(QPainter *p, const QStyleOptionViewItem &option,
             const QModelIndex &index) const override {
    const auto *model = static_cast<const THexGridModel *>(index.model());
    const bool selected = option.state & QStyle::State_Selected;
    if (selected)
      p->fillRect(option.rect, option.palette.highlight());
    else if (index.column() == 0)
      p->fillRect(option.rect, option.palette.button());
    const uint32_t number = model->CellNumber(index.row(), index.column());
    const QStaticText *text = nullptr;
    QStaticText typed;
    if (number == THexGridModel::NoNumber) {
      typed.setText(model->CellText(index.row(), index.column()));
      typed.setTextFormat(Qt::PlainText);
      typed.prepare(QTransform(), font_);
      text = &typed;
    } else {
      auto it = texts_.find(number);
      if (it == texts_.end()) {
        QStaticText laidOut(THexGridModel::NumberText(number));
        laidOut.setTextFormat(Qt::PlainText);
        laidOut.prepare(QTransform(), font_);
        it = texts_.insert(number, laidOut);
      }
      text = &*it;
    }
    p->setFont(font_);
    p->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    const QSizeF size = text->size();
    p->drawStaticText(QPointF(option.rect.left() + (option.rect.width() - size.width()) / 2,
                              option.rect.top() + (option.rect.height() - size.height()) / 2),
                      *text);
  }

private:
  QFont font_;
  mutable QHash<uint32_t, QStaticText> texts_; // by cell number: at most 65536 + 256
};

} // namespace

TDataGridWindow::TDataGridWindow(const char *name, const QString &caption,
                                 THexGridModel::TKind kind, const TGeometryKeys &keys,
                                 QWidget *parent)
    : TResultWindow(name, caption, Qt::Window, parent), keys_(keys) {
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  model_ = new THexGridModel(kind, this);
  QFont bold(QStringLiteral("MS Sans Serif"));
  bold.setPixelSize(11);
  bold.setBold(true);
  model_->SetFont(bold);
  grid_ = new QTableView(this);
  grid_->setObjectName(QStringLiteral("Grid"));
  grid_->setModel(model_);
  grid_->setFont(bold);
  grid_->horizontalHeader()->hide();
  grid_->verticalHeader()->hide();
  grid_->horizontalHeader()->setMinimumSectionSize(8);
  grid_->verticalHeader()->setMinimumSectionSize(8);
  grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid_->verticalHeader()->setDefaultSectionSize(16);
  grid_->setWordWrap(false);
  grid_->setTextElideMode(Qt::ElideNone);
  grid_->setItemDelegate(new TCellDelegate(bold, grid_));
  grid_->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                         QAbstractItemView::EditKeyPressed);
  layout->addWidget(grid_);
  LoadGeometry();
}

void TDataGridWindow::ShowHexFile(const std::string &path) {
  if (!FileExists(path)) {
    model_->FillBlank();
    return;
  }
  HexImage.LoadFile(path);
  model_->Fill(HexImage);
}
