#include "ui/text_list_undo.h"

#include <utility>

namespace kv::ui {

std::string TextBetween(const TMemo& memo, TextPoint from, TextPoint to) {
  auto line = [&](size_t i) { return i < memo.LineCount() ? memo.RawLine(i) : std::string_view(); };
  if (from.line == to.line) return std::string(line(from.line).substr(from.column, to.column - from.column));
  std::string text(line(from.line).substr(from.column));
  for (size_t i = from.line + 1; i < to.line; ++i) {
    text += "\r\n";
    text += line(i);
  }
  text += "\r\n";
  text += line(to.line).substr(0, to.column);
  return text;
}

void TextListUndo::Record(TextPoint from, TextPoint after, std::string removed, bool typed) {
  for (const Step& step : redo_) bytes_ -= step.removed.size();
  redo_.clear();
  if (removed.size() > max_bytes_) {
    // Steps before it would point into text that is gone.
    Clear();
    return;
  }
  if (typed && removed.empty() && !undo_.empty() && undo_.back().typed && undo_.back().after == from) {
    undo_.back().after = after;
    return;
  }
  Push(undo_, {from, after, std::move(removed), typed});
}

TextListUndo::Step TextListUndo::Apply(TMemo& memo, const Step& step) {
  Step inverse{step.from, {}, TextBetween(memo, step.from, step.after)};
  inverse.after = memo.ReplaceRange(step.from, step.after, step.removed);
  return inverse;
}

std::optional<TextPoint> TextListUndo::Undo(TMemo& memo) { return Replay(memo, undo_, redo_); }

std::optional<TextPoint> TextListUndo::Redo(TMemo& memo) { return Replay(memo, redo_, undo_); }

std::optional<TextPoint> TextListUndo::Replay(TMemo& memo, std::deque<Step>& from, std::deque<Step>& to) {
  if (from.empty()) return std::nullopt;
  Step step = std::move(from.back());
  from.pop_back();
  bytes_ -= step.removed.size();
  Step inverse = Apply(memo, step);
  const TextPoint after = inverse.after;
  Push(to, std::move(inverse));
  return after;
}

void TextListUndo::Clear() {
  undo_.clear();
  redo_.clear();
  bytes_ = 0;
}

void TextListUndo::Push(std::deque<Step>& steps, Step step) {
  bytes_ += step.removed.size();
  steps.push_back(std::move(step));
  Trim();
}

void TextListUndo::Trim() {
  // The oldest undo steps go first; redo steps are newer than all of them.
  while (bytes_ > max_bytes_ && !undo_.empty()) {
    bytes_ -= undo_.front().removed.size();
    undo_.pop_front();
  }
  while (bytes_ > max_bytes_ && !redo_.empty()) {
    bytes_ -= redo_.front().removed.size();
    redo_.pop_front();
  }
}

}  // namespace kv::ui
