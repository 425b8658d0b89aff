#pragma once
// An ordered list of text lines: unsorted, duplicates allowed, insertion
// order kept. Its text is every line followed by CR LF; setting the text
// splits it at CR LF, a lone CR or a lone LF (a line end at the very end
// does not make an empty last line). Header-only.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kv {

class StringList {
 public:
  StringList() = default;
  virtual ~StringList() = default;
  // Copies carry the lines only, not the spare storage.
  StringList(const StringList& other) : lines_(other.lines_) {}
  StringList& operator=(const StringList& other) {
    lines_ = other.lines_;
    return *this;
  }
  StringList(StringList&&) noexcept = default;
  StringList& operator=(StringList&&) noexcept = default;

  int Count() const noexcept { return static_cast<int>(lines_.size()); }
  bool Empty() const noexcept { return lines_.empty(); }
  // Line `index`; the index must lie inside the list.
  const std::string& operator[](int index) const { return lines_[static_cast<size_t>(index)]; }
  const std::vector<std::string>& Lines() const noexcept { return lines_; }

  void Add(std::string line) { lines_.push_back(std::move(line)); }
  // Inserts before `index`; Count() appends.
  void Insert(int index, std::string line) { lines_.insert(lines_.begin() + index, std::move(line)); }
  void Put(int index, std::string line) { lines_[static_cast<size_t>(index)] = std::move(line); }
  void Delete(int index) { lines_.erase(lines_.begin() + index); }
  // Removes `count` lines from `index` on in one step.
  void DeleteRange(int index, int count) { lines_.erase(lines_.begin() + index, lines_.begin() + index + count); }
  // Empties the list, keeping the storage of a few short lines for the lines
  // added next (SpareLine): a header list filled anew for every exchange
  // then allocates nothing.
  void Clear() noexcept {
    for (std::string& line : lines_) {
      if (spare_.size() >= kSpareLines) break;
      if (line.capacity() > kSpareLineCapacity) continue;
      try {
        spare_.push_back(std::move(line));
      } catch (...) {
        break;  // no room to keep it: it goes
      }
    }
    lines_.clear();
  }
  // Appends `text` as a line, in the storage of a cleared line if any is
  // left.
  void AddCopy(std::string_view text) {
    if (spare_.empty()) {
      lines_.emplace_back(text);
      return;
    }
    // Filled before it moves, so that a failure leaves the list as it was.
    std::string& line = spare_.back();
    line.assign(text);
    lines_.push_back(std::move(line));
    spare_.pop_back();
  }
  // An empty line to fill and Add: the storage of a cleared line if any
  // is left.
  std::string SpareLine() noexcept {
    if (spare_.empty()) return {};
    std::string line = std::move(spare_.back());
    spare_.pop_back();
    line.clear();
    return line;
  }
  // Exchanges the lines (not the spare storage, nor any settings of a
  // derived list) with `other`.
  void SwapLines(StringList& other) noexcept { lines_.swap(other.lines_); }
  // Copies the lines of `other` (not any settings of a derived list).
  void AssignLines(const StringList& other) { if (&other != this) lines_ = other.lines_; }

  std::string Text() const {
    size_t size = 0;
    for (const auto& line : lines_) size += line.size() + 2;
    std::string text;
    text.reserve(size);
    for (const auto& line : lines_) {
      text += line;
      text += "\r\n";
    }
    return text;
  }

  void SetText(std::string_view text) {
    lines_.clear();
    size_t start = 0;
    while (start < text.size()) {
      size_t end = start;
      while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
      lines_.emplace_back(text.substr(start, end - start));
      if (end < text.size()) end += (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1;
      start = end;
    }
  }

 private:
  static constexpr size_t kSpareLines = 32;
  static constexpr size_t kSpareLineCapacity = 256;

  std::vector<std::string> lines_;
  std::vector<std::string> spare_;  // emptied lines' storage, for SpareLine
};

}  // namespace kv
