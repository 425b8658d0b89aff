#pragma once
// Undo and redo for the text list. A step keeps the text an edit replaced
// and where the edit's own text now lies, so undoing it is one more
// replacement, which in turn becomes the step that redoes it. Pasting a
// long list over an empty one therefore costs no memory; replacing one
// does, and the steps together keep at most kMaxBytes of replaced text:
// the oldest steps go first, and an edit that replaced more is not
// undoable at all.

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "app/memo.h"

namespace kv::ui {

// The text from `from` to `to` (from first, both within the text) as the
// text list holds it, lines ended by CR LF.
std::string TextBetween(const TMemo& memo, TextPoint from, TextPoint to);

class TextListUndo {
 public:
  static constexpr size_t kMaxBytes = size_t{64} * 1024 * 1024;

  explicit TextListUndo(size_t max_bytes = kMaxBytes) : max_bytes_(max_bytes) {}

  // An edit replaced `removed` with the text now running from `from` to
  // `after`. Typed characters that follow each other make one step.
  void Record(TextPoint from, TextPoint after, std::string removed, bool typed);

  bool CanUndo() const { return !undo_.empty(); }
  bool CanRedo() const { return !redo_.empty(); }
  // Puts back the text the last step replaced; the point after it, or
  // nothing when there is no step.
  std::optional<TextPoint> Undo(TMemo& memo);
  std::optional<TextPoint> Redo(TMemo& memo);
  // The text changed in a way no step knows of: every step is void.
  void Clear();

 private:
  struct Step {
    TextPoint from;
    TextPoint after;
    std::string removed;
    bool typed = false;
  };

  // Applies `step` to `memo` and returns its inverse.
  static Step Apply(TMemo& memo, const Step& step);
  // Applies the last step of `from` and keeps its inverse in `to`.
  std::optional<TextPoint> Replay(TMemo& memo, std::deque<Step>& from, std::deque<Step>& to);
  void Push(std::deque<Step>& steps, Step step);
  void Trim();

  std::deque<Step> undo_;
  std::deque<Step> redo_;
  size_t max_bytes_;
  size_t bytes_ = 0;
};

}  // namespace kv::ui
