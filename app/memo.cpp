#include "app/memo.h"

#include <cstring>

#include "base/exception.h"

namespace kv {

std::string TMemo::Line(size_t i) const {
  if (i >= lines_.size()) return {};
  const std::string& line = lines_[i];
  return line.size() <= kMaxLineRead ? line : line.substr(0, kMaxLineRead);
}

std::string_view TMemo::LineView(size_t i) const {
  if (i >= lines_.size()) return {};
  return std::string_view(lines_[i]).substr(0, kMaxLineRead);
}

void TMemo::KeepLines(const std::vector<size_t>& indices) {
  std::vector<std::string> kept;
  kept.reserve(indices.size());
  for (size_t i : indices) {
    kept.push_back(std::move(lines_.at(i)));
    if (kept.back().size() > kMaxLineRead) kept.back().resize(kMaxLineRead);
  }
  lines_ = std::move(kept);
  ends_with_line_end_ = !lines_.empty();
  ++revision_;
}

bool TMemo::SplitLines(std::string_view text, std::vector<std::string>& out) {
  size_t start = 0;
  bool ended = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c != '\r' && c != '\n') continue;
    out.emplace_back(text.substr(start, i - start));
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
    ended = true;
  }
  if (start < text.size()) {
    out.emplace_back(text.substr(start));
    ended = false;
  }
  return ended;
}

void TMemo::ReplaceLine(size_t i, std::string_view text) {
  if (i >= lines_.size()) return;
  if (text.find_first_of("\r\n") == std::string_view::npos) return ReplaceLineTaking(i, std::string(text));
  // The new text takes the place of the line's text and the line's own line
  // end (if it has one) follows it, so the line may become several lines.
  const bool has_line_end = i + 1 < lines_.size() || ends_with_line_end_;
  std::string piece(text);
  if (has_line_end) piece += "\r\n";
  std::vector<std::string> parts;  // never empty: the piece holds a line break
  const bool ended = SplitLines(piece, parts);
  lines_[i] = std::move(parts[0]);
  lines_.insert(lines_.begin() + static_cast<long>(i) + 1, std::make_move_iterator(parts.begin() + 1),
                std::make_move_iterator(parts.end()));
  if (!has_line_end) ends_with_line_end_ = ended;
  ++revision_;
}

void TMemo::Append(std::string_view text) {
  // Empty text or a text ending with a line end gets text + CR LF; any
  // other text gets CR LF + text, which ends its last line first.
  bool had_line_end = lines_.empty() || ends_with_line_end_;
  if (text.find_first_of("\r\n") == std::string_view::npos) {
    if (had_line_end || !text.empty()) lines_.emplace_back(text);
    ends_with_line_end_ = had_line_end || text.empty();
  } else {
    std::string piece(text);
    if (had_line_end) piece += "\r\n";
    ends_with_line_end_ = SplitLines(piece, lines_);
  }
  ++revision_;
}

void TMemo::ReplaceLineTaking(size_t i, std::string&& line) {
  if (line.find_first_of("\r\n") != std::string::npos) return ReplaceLine(i, std::string_view(line));
  if (i >= lines_.size()) return;
  if (line.empty() && i + 1 == lines_.size() && !ends_with_line_end_) {
    // The last line has no line end, so emptying it leaves the text ending
    // with the line end of the line before: that line is now the last one.
    lines_.pop_back();
    ends_with_line_end_ = !lines_.empty();
  } else {
    lines_[i] = std::move(line);
  }
  ++revision_;
}

void TMemo::AppendTaking(std::string&& line) {
  if (line.find_first_of("\r\n") != std::string::npos || !(lines_.empty() || ends_with_line_end_))
    return Append(std::string_view(line));
  lines_.push_back(std::move(line));
  ends_with_line_end_ = true;
  ++revision_;
}

void TMemo::Clear() {
  lines_.clear();
  ends_with_line_end_ = false;
  ++revision_;
}

size_t TMemo::TextLength() const {
  size_t n = 0;
  for (const auto& line : lines_) n += line.size() + 2;
  if (!lines_.empty() && !ends_with_line_end_) n -= 2;
  return n;
}

std::string TMemo::Text() const {
  std::string text;
  text.reserve(TextLength());
  for (size_t i = 0; i < lines_.size(); ++i) {
    text += lines_[i];
    if (i + 1 < lines_.size() || ends_with_line_end_) text += "\r\n";
  }
  return text;
}

void TMemo::SetText(std::string_view text) {
  std::vector<std::string> lines;
  bool ended = SplitLines(text, lines);
  lines_ = std::move(lines);
  ends_with_line_end_ = ended;
  ++revision_;
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
  std::vector<std::string> lines;
  bool ended = SplitLines(bytes, lines);
  size_t normalised = 0;
  for (const auto& line : lines) normalised += line.size() + 2;
  if (!lines.empty() && !ended) normalised -= 2;
  if (normalised > capacity_) throw EOutOfResources("Text exceeds memo capacity");
  lines_ = std::move(lines);
  ends_with_line_end_ = ended;
  ++revision_;
}

}  // namespace kv
