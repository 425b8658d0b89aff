#pragma once
// A multi-line text box as the commands see it: the text list MemoArea and
// the hidden page text Memo1. The text is held as its lines plus whether the
// last line has a line end, so that line count, reading and replacing a
// line are O(1); the whole text is joined on demand with CR LF. A last line
// without a line end is never empty: such a text ends with the line end of
// the line before, so that line is the last one.
//
// Lists run to a million lines, so the lines are not strings of their own:
// their bytes live in one block and each line is a reference into it. A
// change writes the new bytes at the block's end; the block is compacted
// when more of it is dead than alive.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/stream.h"

namespace kv {

// A place in the text: a line and a byte offset within that line's text.
// Line LineCount() (column 0) is the end of a text that ends with a line
// end, or of an empty text: where typing would open a new line.
struct TextPoint {
  size_t line = 0;
  size_t column = 0;
  friend bool operator==(const TextPoint&, const TextPoint&) = default;
};

class TMemo {
 public:
  // Reading a line gives at most this many characters.
  static constexpr size_t kMaxLineRead = 4096;

  // `capacity` is the most text the box can hold (in bytes, line ends
  // counted as CR LF); loading more fails with "Text exceeds memo capacity".
  explicit TMemo(size_t capacity = SIZE_MAX) : capacity_(capacity) {}

  size_t LineCount() const { return lines_.size(); }
  // Line i without its line end, cut after 4096 characters; past the end: "".
  std::string Line(size_t i) const { return std::string(LineView(i)); }
  // Line i as Line() reads it, without a copy (valid until the next change).
  std::string_view LineView(size_t i) const;
  // The full stored line i (below the line count), for the window toolkit,
  // which shows it whole. Valid until the next change.
  std::string_view RawLine(size_t i) const { return View(lines_[i]); }

  // Line i (below the line count) gets `text` in place of its text and keeps
  // its line end; emptying a last line that has none removes it.
  void ReplaceLine(size_t i, std::string_view text);
  void Append(std::string_view text);
  // Keeps only the lines at `indices` (ascending), each cut as Line() reads
  // it and ended by a line end: the text that clearing and appending those
  // lines one by one would give, without copying them.
  void KeepLines(const std::vector<size_t>& indices);
  // Line i becomes line order[i] as Line() reads it, for every i: what
  // replacing each line in turn with those texts would give (a permutation
  // of the lines, without copying them).
  void ReorderLines(const std::vector<uint32_t>& order);
  // Replaces the text from `from` to `to` (from first) with `text`, as
  // typing, pasting or deleting a selection does; CR LF, a lone CR and a
  // lone LF in `text` each become one line end. Points past a line's end
  // or past the text are moved back to the nearest end. Returns the point
  // just after the inserted text.
  TextPoint ReplaceRange(TextPoint from, TextPoint to, std::string_view text);
  void Clear();

  // The text exactly as held: lines joined by CR LF, with a final CR LF when
  // the last line has one.
  std::string Text() const;
  size_t TextLength() const;
  // Replaces the whole text, as typing or pasting would: CR LF, a lone CR
  // and a lone LF each become one line end.
  void SetText(std::string_view text) { TakeText(std::string(text)); }
  // The same, taking over the bytes of `text` without copying them.
  void TakeText(std::string&& text);
  // The bytes from the stream's position to its end become the whole text;
  // line ends are normalised and the text stops before its first NUL.
  void LoadFromStream(Stream& stream);

  bool EndsWithLineEnd() const { return ends_with_line_end_; }

  // Bumped on every change, so a presenter knows when to refresh.
  unsigned long Revision() const { return revision_; }

 private:
  struct LineRef {
    size_t offset;
    size_t length;
  };

  std::string_view View(const LineRef& line) const { return std::string_view(bytes_).substr(line.offset, line.length); }
  // Copies `text` to the end of the block; the reference to it.
  LineRef Store(std::string_view text);
  // Appends the lines of `bytes`, which start at `base` in the block, to
  // `out`; returns whether the bytes end with a line end.
  static bool IndexLines(std::string_view bytes, size_t base, std::vector<LineRef>& out);
  // Takes over `bytes` as the block and `lines` as its lines.
  void Adopt(std::string&& bytes, std::vector<LineRef>&& lines, bool ended);
  // The lines of `line_refs` (of this block), each cut as Line() reads it.
  void SetLinesCut(std::vector<LineRef>&& line_refs);
  // Called after every change: bumps the revision, compacts when due.
  void Changed();
  void Compact();
  // Replaces lines [first, last) with the lines of `piece`; `last` at the
  // end of the list makes the piece decide whether the text ends with a
  // line end.
  void SpliceLines(size_t first, size_t last, std::string_view piece);
  size_t DeadBytes() const { return bytes_.size() - live_bytes_; }

  std::string bytes_;        // every line's bytes, and dead ones
  size_t live_bytes_ = 0;    // the sum of the lines' lengths
  std::vector<LineRef> lines_;
  bool ends_with_line_end_ = false;
  size_t capacity_;
  unsigned long revision_ = 0;
};

}  // namespace kv
