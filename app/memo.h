#pragma once
// A multi-line text box as the commands see it: the text list MemoArea and
// the hidden page text Memo1. The text is held as its lines plus whether the
// last line has a line end, so that line count, reading and replacing a
// line are O(1); the whole text is joined on demand with CR LF. A last line
// without a line end is never empty: such a text ends with the line end of
// the line before, so that line is the last one.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/stream.h"

namespace kv {

class TMemo {
 public:
  // Reading a line gives at most this many characters.
  static constexpr size_t kMaxLineRead = 4096;

  // `capacity` is the most text the box can hold (in bytes, line ends
  // counted as CR LF); loading more fails with "Text exceeds memo capacity".
  explicit TMemo(size_t capacity = SIZE_MAX) : capacity_(capacity) {}

  size_t LineCount() const { return lines_.size(); }
  // Line i without its line end, cut after 4096 characters; past the end: "".
  std::string Line(size_t i) const;
  // The full stored line (for the window toolkit, which shows it whole).
  const std::string& RawLine(size_t i) const { return lines_[i]; }

  // Line i (below the line count) gets `text` in place of its text and keeps
  // its line end; emptying a last line that has none removes it.
  void ReplaceLine(size_t i, std::string_view text);
  void Append(std::string_view text);
  // Line i as Line() reads it, without a copy (valid until the next change).
  std::string_view LineView(size_t i) const;
  // Keeps only the lines at `indices` (ascending), each cut as Line() reads
  // it and ended by a line end: the text that clearing and appending those
  // lines one by one would give, without copying them.
  void KeepLines(const std::vector<size_t>& indices);
  // The same, taking over a line without line breaks (bulk rewrites).
  void ReplaceLineTaking(size_t i, std::string&& line);
  void AppendTaking(std::string&& line);
  void Clear();

  // The text exactly as held: lines joined by CR LF, with a final CR LF when
  // the last line has one.
  std::string Text() const;
  size_t TextLength() const;
  // Replaces the whole text, as typing or pasting would: CR LF, a lone CR
  // and a lone LF each become one line end.
  void SetText(std::string_view text);
  // The bytes from the stream's position to its end become the whole text;
  // line ends are normalised and the text stops before its first NUL.
  void LoadFromStream(Stream& stream);

  bool EndsWithLineEnd() const { return ends_with_line_end_; }

  // Bumped on every change, so a presenter knows when to refresh.
  unsigned long Revision() const { return revision_; }

 private:
  // Splits `text` into lines; returns whether it ended with a line end.
  static bool SplitLines(std::string_view text, std::vector<std::string>& out);

  std::vector<std::string> lines_;
  bool ends_with_line_end_ = false;
  size_t capacity_;
  unsigned long revision_ = 0;
};

}  // namespace kv
