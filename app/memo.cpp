#include "app/memo.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "base/exception.h"

namespace kv {
namespace {

// Below this much dead text the block is not worth compacting.
constexpr size_t kCompactionSlack = 64 * 1024;

const char* Find(const char* from, const char* to, char c) {
  const void* found = std::memchr(from, c, static_cast<size_t>(to - from));
  return found ? static_cast<const char*>(found) : to;
}

}  // namespace

std::string_view TMemo::LineView(size_t i) const {
  if (i >= lines_.size()) return {};
  return View(lines_[i]).substr(0, kMaxLineRead);
}

bool TMemo::IndexLines(std::string_view bytes, size_t base, std::vector<LineRef>& out) {
  const char* const begin = bytes.data();
  const char* const end = begin + bytes.size();
  auto add = [&](const char* from, const char* to) {
    out.push_back({base + static_cast<size_t>(from - begin), static_cast<size_t>(to - from)});
  };
  bool ended = false;
  const char* p = begin;
  while (p < end) {
    // Lone CRs before the next LF end lines of their own; a CR right before
    // it makes a CR LF pair.
    const char* lf = Find(p, end, '\n');
    bool pair = false;
    for (const char* cr = Find(p, lf, '\r'); cr != lf; cr = Find(p, lf, '\r')) {
      add(p, cr);
      ended = true;
      p = cr + 1;
      if (p == lf) {
        p = lf + 1;
        pair = true;
        break;
      }
    }
    if (pair) continue;
    if (lf == end) {
      if (p < end) {
        add(p, end);
        ended = false;
      }
      break;
    }
    add(p, lf);
    ended = true;
    p = lf + 1;
  }
  return ended;
}

TMemo::LineRef TMemo::Store(std::string_view text) {
  LineRef line{bytes_.size(), text.size()};
  bytes_.append(text);
  live_bytes_ += text.size();
  return line;
}

void TMemo::Changed() {
  ++revision_;
  if (DeadBytes() > live_bytes_ && DeadBytes() > kCompactionSlack) Compact();
}

void TMemo::Compact() {
  std::string compacted;
  compacted.reserve(live_bytes_);
  for (LineRef& line : lines_) {
    size_t offset = compacted.size();
    compacted.append(View(line));
    line.offset = offset;
  }
  bytes_ = std::move(compacted);
}

void TMemo::Adopt(std::string&& bytes, std::vector<LineRef>&& lines, bool ended) {
  bytes_ = std::move(bytes);
  lines_ = std::move(lines);
  live_bytes_ = 0;
  for (const LineRef& line : lines_) live_bytes_ += line.length;
  ends_with_line_end_ = ended;
  Changed();
}

void TMemo::SetLinesCut(std::vector<LineRef>&& line_refs) {
  live_bytes_ = 0;
  for (LineRef& line : line_refs) {
    line.length = std::min(line.length, kMaxLineRead);
    live_bytes_ += line.length;
  }
  lines_ = std::move(line_refs);
}

void TMemo::SpliceLines(size_t first, size_t last, std::string_view piece) {
  std::vector<LineRef> parts;
  const size_t base = bytes_.size();
  bytes_.append(piece);
  const bool ended = IndexLines(piece, base, parts);
  for (const LineRef& part : parts) live_bytes_ += part.length;
  for (size_t i = first; i < last; ++i) live_bytes_ -= lines_[i].length;
  const bool at_end = last == lines_.size();
  const auto at = lines_.begin() + static_cast<long>(first);
  const size_t replaced = last - first;
  std::copy_n(parts.begin(), std::min(replaced, parts.size()), at);
  if (parts.size() < replaced)
    lines_.erase(at + static_cast<long>(parts.size()), at + static_cast<long>(replaced));
  else
    lines_.insert(at + static_cast<long>(replaced), parts.begin() + static_cast<long>(replaced), parts.end());
  // Without lines of its own the piece leaves the text ending with the line
  // end of the line before it, if there is one.
  if (at_end) ends_with_line_end_ = parts.empty() ? !lines_.empty() : ended;
}

void TMemo::KeepLines(const std::vector<size_t>& indices) {
  std::vector<LineRef> kept;
  kept.reserve(indices.size());
  for (size_t i : indices) kept.push_back(lines_.at(i));
  SetLinesCut(std::move(kept));
  ends_with_line_end_ = !lines_.empty();
  Changed();
}

void TMemo::ReorderLines(const std::vector<uint32_t>& order) {
  std::vector<LineRef> reordered;
  reordered.reserve(order.size());
  for (uint32_t i : order) reordered.push_back(lines_.at(i));
  SetLinesCut(std::move(reordered));
  // As with ReplaceLine: an emptied last line without a line end goes.
  if (!ends_with_line_end_ && !lines_.empty() && lines_.back().length == 0) {
    lines_.pop_back();
    ends_with_line_end_ = !lines_.empty();
  }
  Changed();
}

void TMemo::ReplaceLine(size_t i, std::string_view text) {
  if (i >= lines_.size()) return;
  const bool has_line_end = i + 1 < lines_.size() || ends_with_line_end_;
  if (text.find_first_of("\r\n") != std::string_view::npos) {
    // The new text takes the place of the line's text and the line's own
    // line end (if it has one) follows it, so the line may become several.
    std::string piece(text);
    if (has_line_end) piece += "\r\n";
    SpliceLines(i, i + 1, piece);
  } else if (text.empty() && !has_line_end) {
    // The last line has no line end, so emptying it leaves the text ending
    // with the line end of the line before: that line is now the last one.
    live_bytes_ -= lines_.back().length;
    lines_.pop_back();
    ends_with_line_end_ = !lines_.empty();
  } else {
    live_bytes_ -= lines_[i].length;
    lines_[i] = Store(text);
  }
  Changed();
}

void TMemo::Append(std::string_view text) {
  // Empty text or a text ending with a line end gets text + CR LF; any
  // other text gets CR LF + text, which ends its last line first.
  const bool had_line_end = lines_.empty() || ends_with_line_end_;
  if (text.find_first_of("\r\n") == std::string_view::npos) {
    if (had_line_end || !text.empty()) lines_.push_back(Store(text));
    ends_with_line_end_ = had_line_end || text.empty();
  } else {
    std::string piece(text);
    if (had_line_end) piece += "\r\n";
    SpliceLines(lines_.size(), lines_.size(), piece);
  }
  Changed();
}

TextPoint TMemo::ReplaceRange(TextPoint from, TextPoint to, std::string_view text) {
  const size_t count = lines_.size();
  // Past the text is its end: after the last line end, or after the last
  // line when it has none.
  const TextPoint end = ends_with_line_end_ || count == 0 ? TextPoint{count, 0} : TextPoint{count - 1, lines_.back().length};
  auto clamp = [&](TextPoint& point) {
    if (point.line >= count) point = end;
    else point.column = std::min(point.column, lines_[point.line].length);
  };
  clamp(from);
  clamp(to);
  if (to.line < from.line || (to.line == from.line && to.column < from.column)) std::swap(from, to);
  const bool to_end_of_text = to.line == count;
  std::string piece;
  if (from.line < count) piece.append(View(lines_[from.line]).substr(0, from.column));
  piece.append(text);
  if (!to_end_of_text) {
    piece.append(View(lines_[to.line]).substr(to.column));
    if (to.line + 1 < count || ends_with_line_end_) piece += "\r\n";
  }
  SpliceLines(from.line, to_end_of_text ? count : to.line + 1, piece);
  Changed();

  // The point after the inserted text: past its last line break, if any.
  TextPoint after{from.line, from.column + text.size()};
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    after = {after.line + 1, text.size() - i - 1};
  }
  return after;
}

void TMemo::Clear() {
  bytes_ = std::string();
  lines_ = std::vector<LineRef>();
  live_bytes_ = 0;
  ends_with_line_end_ = false;
  Changed();
}

size_t TMemo::TextLength() const {
  if (lines_.empty()) return 0;
  return live_bytes_ + 2 * lines_.size() - (ends_with_line_end_ ? 0 : 2);
}

std::string TMemo::Text() const {
  std::string text;
  text.reserve(TextLength());
  for (size_t i = 0; i < lines_.size(); ++i) {
    text.append(View(lines_[i]));
    if (i + 1 < lines_.size() || ends_with_line_end_) text += "\r\n";
  }
  return text;
}

void TMemo::TakeText(std::string&& text) {
  std::vector<LineRef> lines;
  lines.reserve(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
  const bool ended = IndexLines(text, 0, lines);
  Adopt(std::move(text), std::move(lines), ended);
}

void TMemo::LoadFromStream(Stream& stream) {
  int64_t remaining = stream.Size() - stream.Position();
  if (remaining < 0) remaining = 0;
  // Lone CRs and LFs grow into CR LF, so normalised text is at most twice
  // as long as the bytes; check the bytes first to refuse before reading.
  if (static_cast<uint64_t>(remaining) > capacity_) throw EOutOfResources("Text exceeds memo capacity");
  std::string bytes(static_cast<size_t>(remaining), '\0');
  bytes.resize(stream.Read(bytes.data(), bytes.size()));
  if (size_t nul = bytes.find('\0'); nul != std::string::npos) bytes.resize(nul);
  std::vector<LineRef> lines;
  const bool ended = IndexLines(bytes, 0, lines);
  size_t normalised = 0;
  for (const LineRef& line : lines) normalised += line.length + 2;
  if (!lines.empty() && !ended) normalised -= 2;
  if (normalised > capacity_) throw EOutOfResources("Text exceeds memo capacity");
  Adopt(std::move(bytes), std::move(lines), ended);
}

}  // namespace kv
