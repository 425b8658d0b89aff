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
  StringList(const StringList&) = default;
  StringList& operator=(const StringList&) = default;

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
  void Clear() noexcept { lines_.clear(); }
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
  std::vector<std::string> lines_;
};

}  // namespace kv
