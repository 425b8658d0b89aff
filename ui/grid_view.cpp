#include "ui/grid_view.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPalette>

#include "ui/qt_text.h"

namespace kv::ui {

// The model's cells as Qt asks for them.
class GridModel : public QAbstractTableModel {
 public:
  explicit GridModel(const TStringGrid& grid, QObject* parent) : QAbstractTableModel(parent), grid_(grid) {}

  int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : grid_.RowCount(); }
  int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : TStringGrid::ColCount; }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid()) return {};
    if (role == Qt::DisplayRole) return ToQt(grid_.Cell(index.column(), index.row()));
    if (role == Qt::BackgroundRole && IsFixed(index)) return QApplication::palette().button();
    return {};
  }

  Qt::ItemFlags flags(const QModelIndex& index) const override {
    if (!index.isValid()) return Qt::NoItemFlags;
    // The heading column can be neither current nor marked; no cell is editable.
    return IsFixed(index) ? Qt::ItemIsEnabled : Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  }

  void Reload() {
    beginResetModel();
    endResetModel();
  }

 private:
  static bool IsFixed(const QModelIndex& index) { return index.column() < TStringGrid::FixedCols; }

  const TStringGrid& grid_;
};

GridView::GridView(TStringGrid& grid, QWidget* parent)
    : QTableView(parent), grid_(grid), model_(new GridModel(grid, this)) {
  setModel(model_);
  horizontalHeader()->hide();
  verticalHeader()->hide();  // row 0 is an ordinary row: it holds the header texts
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setDefaultSectionSize(TStringGrid::DefaultRowHeight);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  horizontalHeader()->setMinimumSectionSize(1);
  setShowGrid(true);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setWordWrap(false);
  Push();
}

GridView::~GridView() = default;

void GridView::Push() {
  if (!shown_.Changed()) return;
  pushing_ = true;
  model_->Reload();
  for (int col = 0; col < TStringGrid::ColCount; ++col) setColumnWidth(col, grid_.ColWidth(col));
  selectionModel()->setCurrentIndex(model_->index(grid_.Row(), kCurrentColumn), QItemSelectionModel::ClearAndSelect);
  pushing_ = false;
  shown_.MarkShown();
}

QModelIndex GridView::moveCursor(CursorAction cursor_action, Qt::KeyboardModifiers modifiers) {
  QModelIndex target = QTableView::moveCursor(cursor_action, modifiers);
  if (target.isValid() && target.column() != kCurrentColumn) target = model_->index(target.row(), kCurrentColumn);
  return target;
}

void GridView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTableView::currentChanged(current, previous);
  if (pushing_ || !current.isValid()) return;
  if (current.column() != kCurrentColumn) {
    selectionModel()->setCurrentIndex(model_->index(current.row(), kCurrentColumn),
                                      QItemSelectionModel::ClearAndSelect);
    return;
  }
  // The user moved the current row: the model learns it at once, and the
  // screen needs no refresh for it.
  shown_.ApplyShownChange([&] { grid_.SetRow(current.row()); });
}

void GridView::mousePressEvent(QMouseEvent* event) {
  // A click on the heading column takes the focus but moves nothing.
  const QModelIndex index = indexAt(event->position().toPoint());
  if (index.isValid() && index.column() != kCurrentColumn) {
    setFocus(Qt::MouseFocusReason);
    event->accept();
    return;
  }
  QTableView::mousePressEvent(event);
}

void GridView::mouseDoubleClickEvent(QMouseEvent* event) {
  QTableView::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton && OnDblClick) OnDblClick();
}

}  // namespace kv::ui
