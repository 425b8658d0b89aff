#pragma once
// The grid StrGrid1 on the screen. Column 0 is painted as a heading column
// and never holds the current cell, so the current cell is always in column
// 1; cells cannot be edited; grid lines are drawn; a range of cells can be
// marked with the mouse. The cells are read straight from the model, so a
// grid of any size costs only the rows on screen.

#include <QTableView>
#include <functional>

#include "app/controls.h"
#include "ui/revision_sync.h"

namespace kv::ui {

class GridModel;

class GridView : public QTableView {
 public:
  GridView(TStringGrid& grid, QWidget* parent);
  ~GridView() override;

  // Shows the model's rows, cells, column widths and current row, when any
  // of them changed since they were last shown.
  void Push();

  // A double click anywhere on the grid, after the click has moved the
  // current cell.
  std::function<void()> OnDblClick;

 protected:
  QModelIndex moveCursor(CursorAction cursor_action, Qt::KeyboardModifiers modifiers) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  static constexpr int kCurrentColumn = TStringGrid::FixedCols;

  TStringGrid& grid_;
  GridModel* model_;
  RevisionSync<TStringGrid> shown_{grid_};
  bool pushing_ = false;
};

}  // namespace kv::ui
