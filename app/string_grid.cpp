#include "app/string_grid.h"

#include <algorithm>
#include <functional>

namespace kv {
namespace {

// Below this much dead text the block is not worth compacting.
constexpr size_t kCompactionSlack = 64 * 1024;

// A cell's length goes before its text, seven bits a byte, low bits first;
// a set high bit means another byte follows.
void PutLength(std::string& out, size_t length) {
  while (length >= 0x80) {
    out.push_back(static_cast<char>(0x80 | (length & 0x7F)));
    length >>= 7;
  }
  out.push_back(static_cast<char>(length));
}

// The length at `at`; moves `at` past it.
size_t GetLength(const std::string& in, size_t& at) {
  size_t length = 0;
  for (int shift = 0;; shift += 7) {
    const auto byte = static_cast<unsigned char>(in[at++]);
    length |= static_cast<size_t>(byte & 0x7F) << shift;
    if (byte < 0x80) return length;
  }
}

}  // namespace

void TStringGrid::SetRowCount(int rows) {
  row_count_ = std::max(rows, 1);
  if (row_ >= row_count_) row_ = row_count_ - 1;
  ++revision_;
}

std::string_view TStringGrid::Cell(int col, int row) const {
  if (col < 0 || col >= ColCount || row < 0 || static_cast<size_t>(row) >= cells_.size()) return {};
  const CellRef cell = cells_[static_cast<size_t>(row)][static_cast<size_t>(col)];
  if (cell == 0) return {};
  size_t at = cell - 1;
  const size_t length = GetLength(bytes_, at);
  return std::string_view(bytes_).substr(at, length);
}

size_t TStringGrid::StoredSize(CellRef cell) const {
  if (cell == 0) return 0;
  size_t at = cell - 1;
  const size_t length = GetLength(bytes_, at);
  return at - (cell - 1) + length;
}

TStringGrid::CellRef TStringGrid::Store(std::string_view text) {
  if (text.empty()) return 0;
  // A text that lies in the block itself would move as the block grows.
  const auto* block = bytes_.data();
  if (std::less_equal<>()(block, text.data()) && std::less<>()(text.data(), block + bytes_.size()))
    return Store(std::string(text));
  const size_t start = bytes_.size();
  PutLength(bytes_, text.size());
  bytes_.append(text);
  live_bytes_ += bytes_.size() - start;
  return start + 1;
}

void TStringGrid::SetCell(int col, int row, std::string_view text) {
  if (col < 0 || col >= ColCount || row < 0) return;
  if (static_cast<size_t>(row) >= cells_.size()) cells_.resize(static_cast<size_t>(row) + 1, {0, 0});
  CellRef& cell = cells_[static_cast<size_t>(row)][static_cast<size_t>(col)];
  const size_t old_size = StoredSize(cell);
  cell = Store(text);
  live_bytes_ -= old_size;
  CompactIfMostlyDead();
  ++revision_;
}

void TStringGrid::ClearRows(int first, int last) {
  if (last < 0) return;
  const size_t begin = static_cast<size_t>(std::max(first, 0));
  const size_t end = std::min(cells_.size(), static_cast<size_t>(last) + 1);
  for (size_t row = begin; row < end; ++row) {
    for (CellRef& cell : cells_[row]) {
      live_bytes_ -= StoredSize(cell);
      cell = 0;
    }
  }
  CompactIfMostlyDead();
  ++revision_;
}

void TStringGrid::CompactIfMostlyDead() {
  const size_t dead = bytes_.size() - live_bytes_;
  if (dead > live_bytes_ && dead > kCompactionSlack) Compact();
}

void TStringGrid::Compact() {
  // The room made for a fill in progress is kept for the rest of it.
  std::string compacted;
  compacted.reserve(live_bytes_ + (bytes_.capacity() - bytes_.size()));
  for (auto& row : cells_) {
    for (CellRef& cell : row) {
      if (cell == 0) continue;
      const size_t size = StoredSize(cell);
      const size_t start = compacted.size();
      compacted.append(bytes_, cell - 1, size);
      cell = start + 1;
    }
  }
  bytes_ = std::move(compacted);
}

void TStringGrid::Reserve(int rows, size_t text_bytes) {
  cells_.reserve(static_cast<size_t>(std::max(rows, 0)));
  bytes_.reserve(bytes_.size() + text_bytes);
}

bool TStringGrid::SetRow(int row) {
  if (row < 0 || row >= row_count_) return false;
  row_ = row;
  ++revision_;
  return true;
}

}  // namespace kv
