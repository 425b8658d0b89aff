#pragma once
// The grid StrGrid1 as the commands see it: two columns of text cells. Cells
// past the row count stay stored and show again when the row count grows to
// include them.
//
// A list of a million keywords fills a million rows, so the cells are not
// strings of their own: their bytes live in one block, each behind its
// length, and a row holds two references into it. A new text is written at
// the block's end; the block is compacted when more of it is dead than
// alive.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

class TStringGrid {
 public:
  static constexpr int ColCount = 2;
  static constexpr int FixedCols = 1;
  static constexpr int FixedRows = 0;
  static constexpr int DefaultRowHeight = 16;
  static constexpr int kDefaultColWidth = 64;

  int RowCount() const { return row_count_; }
  // A value below 1 is set as 1; the current row follows a lowered count.
  void SetRowCount(int rows);

  // The stored text, or empty text for a cell never set; valid until the
  // next change of the grid.
  std::string_view Cell(int col, int row) const;
  void SetCell(int col, int row, std::string_view text);

  // Makes room for rows up to `rows` and `text_bytes` more bytes of cell
  // text, so that filling a million rows grows nothing on the way.
  void Reserve(int rows, size_t text_bytes);
  // Forgets the texts of rows `first` to `last`, as a fill that is about to
  // rewrite them does first: the room made for it then copies none of the
  // texts it replaces.
  void ClearRows(int first, int last);

  // The row of the current cell (whose column is always 1).
  int Row() const { return row_; }
  // Moves the current cell to `row`, as a click or an arrow key does;
  // rows outside 0..RowCount-1 are refused (returns false).
  bool SetRow(int row);

  int ColWidth(int col) const { return col_widths_.at(static_cast<size_t>(col)); }
  void SetColWidth(int col, int width) { col_widths_.at(static_cast<size_t>(col)) = width; ++revision_; }

  unsigned long Revision() const { return revision_; }

 private:
  // 0 for a cell that holds no text, else 1 + where its length starts.
  using CellRef = uint64_t;

  // The bytes the stored cell takes in the block, its length included.
  size_t StoredSize(CellRef cell) const;
  CellRef Store(std::string_view text);
  // Compacts the block once more of it is dead than alive.
  void CompactIfMostlyDead();
  void Compact();

  int row_count_ = 1;
  int row_ = 0;
  std::array<int, ColCount> col_widths_{kDefaultColWidth, kDefaultColWidth};
  std::vector<std::array<CellRef, ColCount>> cells_;
  std::string bytes_;      // every cell's length and text, and dead ones
  size_t live_bytes_ = 0;  // the bytes the stored cells take
  unsigned long revision_ = 0;
};

}  // namespace kv
