#pragma once
// A multi-line text box on the screen: the text list MemoArea, which the
// user may edit. No word wrap and no scroll bars (it still scrolls with the
// caret, the keys and the wheel); Tab moves the focus on.
//
// Lists run to a million lines, so the box keeps no text of its own: it
// paints the lines in view straight from the model and edits the model
// with TMemo::ReplaceRange. A command that changed the model needs only a
// repaint. Input methods and accessibility are not served.

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <optional>
#include <string>

#include "app/memo.h"
#include "ui/revision_sync.h"
#include "ui/text_list_undo.h"

class QMenu;
class QTextLayout;

namespace kv::ui {

class TextListEdit : public QAbstractScrollArea {
 public:
  TextListEdit(TMemo& memo, QWidget* parent);
  ~TextListEdit() override;

  // Shows the model after a command changed it: the caret stays where it
  // was, moved back into the text if the text got shorter.
  void Push();
  // The change the next command makes (shown by the Push after it) becomes
  // one step of undo instead of voiding them all.
  void KeepNextCommandUndoable();

  // The parts of a plain text box the window and its tests use. The text
  // is the model's with line feeds for line ends; setting it replaces the
  // whole text as pasting over all of it would, but cannot be undone.
  QString toPlainText() const;
  void setPlainText(const QString& text);
  // Lines on the screen: the text's lines, and the empty one after a final
  // line end (or of an empty text) where typing would go on.
  size_t blockCount() const;
  QMenu* createStandardContextMenu();

  TextPoint Caret() const { return caret_; }
  // The other end of the selection; the caret itself when none.
  TextPoint Anchor() const { return anchor_; }
  bool HasSelection() const { return caret_ != anchor_; }

  void Undo();
  void Redo();
  void Cut();
  void Copy() const;
  void Paste();
  void SelectAll();

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  enum class Motion {
    kNextChar,
    kPreviousChar,
    kNextWord,
    kPreviousWord,
    kNextLine,
    kPreviousLine,
    kNextPage,
    kPreviousPage,
    kStartOfLine,
    kEndOfLine,
    kStartOfText,
    kEndOfText
  };
  enum class Extend { kNo, kSelection };

  // ---- The text as the screen sees it ----
  size_t LineLength(size_t line) const;
  QString LineText(size_t line) const;
  TextPoint EndOfText() const;
  TextPoint Clamped(TextPoint point) const;
  TextPoint SelectionStart() const;
  TextPoint SelectionEnd() const;
  TextPoint Moved(TextPoint from, Motion motion) const;
  TextPoint WordStart(TextPoint at) const;
  TextPoint WordEnd(TextPoint at) const;

  // ---- Geometry ----
  int LineHeight() const;
  // Lines that fit wholly in the view (at least one).
  size_t PageLines() const;
  void LayOut(QTextLayout& layout, size_t line) const;
  int CaretX(TextPoint point) const;
  TextPoint PointAt(const QPoint& position) const;

  // ---- Changes ----
  void MoveCaret(TextPoint to, Extend extend, bool keep_goal = false);
  void MoveCaret(Motion motion, Extend extend);
  // Replaces the selection (or the text from `from` to `to`) with `text`.
  void Replace(TextPoint from, TextPoint to, std::string_view text, bool typed = false);
  void ReplaceSelection(std::string_view text, bool typed = false);
  void ScrollTo(size_t top_line);
  void EnsureCaretVisible();
  void RestartBlink();
  bool HandlesKey(const QKeyEvent& event) const;

  TMemo& memo_;
  RevisionSync<TMemo> shown_{memo_};
  TextListUndo undo_;
  std::optional<std::string> text_before_command_;
  TextPoint caret_;
  TextPoint anchor_;
  // Where Up and Down aim, in pixels from the line's start; -1: the caret's.
  int goal_x_ = -1;
  size_t top_line_ = 0;
  int left_px_ = 0;
  int wheel_rest_ = 0;
  bool selecting_ = false;
  bool caret_shown_ = true;
  QBasicTimer blink_;
};

}  // namespace kv::ui
