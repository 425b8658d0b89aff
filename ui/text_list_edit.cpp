#include "ui/text_list_edit.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <functional>
#include <iterator>
#include <utility>
#include <memory>

#include "ui/qt_text.h"

namespace kv::ui {
namespace {

// Space between the frame and the text, as a plain text box leaves it.
constexpr int kMargin = 4;
constexpr qreal kTabStop = 80;

struct MotionKeys {
  QKeySequence::StandardKey move;
  QKeySequence::StandardKey select;
};

// Word moves and double clicks stop at the edges of runs of letters and
// digits, of blanks, and of other characters.
enum class CharClass { kBlank, kWord, kOther };

CharClass ClassOf(QChar c) {
  if (c.isSpace()) return CharClass::kBlank;
  if (c.isLetterOrNumber() || c == u'_') return CharClass::kWord;
  return CharClass::kOther;
}

// Typed text as a plain text box accepts it: printable characters, not
// the letters of Ctrl and Ctrl+Shift combinations (AltGr, which is
// Ctrl+Alt, types).
bool IsTypedText(const QKeyEvent& event) {
  const QString text = event.text();
  if (text.isEmpty()) return false;
  const QChar c = text.front();
  if (c.category() == QChar::Other_Format) return true;
  const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
  if (modifiers == Qt::ControlModifier || modifiers == (Qt::ShiftModifier | Qt::ControlModifier)) return false;
  if (c.isPrint() || c.category() == QChar::Other_PrivateUse) return true;
  return c.isHighSurrogate() && text.size() > 1 && text.at(1).isLowSurrogate();
}

// Indexed by Motion.
const MotionKeys kMotionKeys[] = {
    {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar},
    {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar},
    {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord},
    {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord},
    {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine},
    {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine},
    {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage},
    {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage},
    {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine},
    {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine},
    {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument},
    {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument},
};

bool Before(TextPoint a, TextPoint b) { return a.line < b.line || (a.line == b.line && a.column < b.column); }

constexpr QKeySequence::StandardKey kEditingKeys[] = {
    QKeySequence::Undo,   QKeySequence::Redo,           QKeySequence::Cut,
    QKeySequence::Copy,   QKeySequence::Paste,          QKeySequence::SelectAll,
    QKeySequence::Delete, QKeySequence::DeleteStartOfWord, QKeySequence::DeleteEndOfWord,
    QKeySequence::InsertParagraphSeparator, QKeySequence::InsertLineSeparator};

}  // namespace

TextListEdit::TextListEdit(TMemo& memo, QWidget* parent) : QAbstractScrollArea(parent), memo_(memo) {
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  Push();
}

TextListEdit::~TextListEdit() = default;

// ---- The text as the screen sees it ----

size_t TextListEdit::blockCount() const {
  const size_t lines = memo_.LineCount();
  return memo_.EndsWithLineEnd() || lines == 0 ? lines + 1 : lines;
}

size_t TextListEdit::LineLength(size_t line) const {
  return line < memo_.LineCount() ? memo_.RawLine(line).size() : 0;
}

QString TextListEdit::LineText(size_t line) const {
  return line < memo_.LineCount() ? ToQt(memo_.RawLine(line)) : QString();
}

TextPoint TextListEdit::EndOfText() const {
  const size_t last = blockCount() - 1;
  return {last, LineLength(last)};
}

TextPoint TextListEdit::Clamped(TextPoint point) const {
  point.line = std::min(point.line, blockCount() - 1);
  point.column = std::min(point.column, LineLength(point.line));
  return point;
}

TextPoint TextListEdit::SelectionStart() const { return Before(caret_, anchor_) ? caret_ : anchor_; }
TextPoint TextListEdit::SelectionEnd() const { return Before(caret_, anchor_) ? anchor_ : caret_; }

TextPoint TextListEdit::WordStart(TextPoint at) const {
  if (at.column == 0) return at.line == 0 ? at : TextPoint{at.line - 1, LineLength(at.line - 1)};
  const QString text = LineText(at.line);
  size_t column = at.column;
  while (column > 0 && ClassOf(text.at(column - 1)) == CharClass::kBlank) --column;
  if (column == 0) return {at.line, 0};
  const CharClass run = ClassOf(text.at(column - 1));
  while (column > 0 && ClassOf(text.at(column - 1)) == run) --column;
  return {at.line, column};
}

TextPoint TextListEdit::WordEnd(TextPoint at) const {
  const size_t length = LineLength(at.line);
  if (at.column >= length) return at.line + 1 < blockCount() ? TextPoint{at.line + 1, 0} : at;
  const QString text = LineText(at.line);
  size_t column = at.column;
  const CharClass run = ClassOf(text.at(column));
  if (run != CharClass::kBlank)
    while (column < length && ClassOf(text.at(column)) == run) ++column;
  while (column < length && ClassOf(text.at(column)) == CharClass::kBlank) ++column;
  return {at.line, column};
}

TextPoint TextListEdit::Moved(TextPoint from, Motion motion) const {
  switch (motion) {
    case Motion::kNextChar:
      if (from.column < LineLength(from.line)) return {from.line, from.column + 1};
      return from.line + 1 < blockCount() ? TextPoint{from.line + 1, 0} : from;
    case Motion::kPreviousChar:
      if (from.column > 0) return {from.line, from.column - 1};
      return from.line > 0 ? TextPoint{from.line - 1, LineLength(from.line - 1)} : from;
    case Motion::kNextWord:
      return WordEnd(from);
    case Motion::kPreviousWord:
      return WordStart(from);
    case Motion::kStartOfLine:
      return {from.line, 0};
    case Motion::kEndOfLine:
      return {from.line, LineLength(from.line)};
    case Motion::kStartOfText:
      return {};
    case Motion::kEndOfText:
      return EndOfText();
    default:
      return from;  // lines and pages keep the caret's goal: MoveCaret
  }
}

// ---- Geometry ----

int TextListEdit::LineHeight() const { return std::max(1, fontMetrics().height()); }

size_t TextListEdit::PageLines() const {
  return static_cast<size_t>(std::max(1, (viewport()->height() - 2 * kMargin) / LineHeight()));
}

void TextListEdit::LayOut(QTextLayout& layout, size_t line) const {
  layout.setText(LineText(line));
  layout.setFont(font());
  QTextOption option;
  option.setWrapMode(QTextOption::NoWrap);
  option.setTabStopDistance(kTabStop);
  layout.setTextOption(option);
  layout.beginLayout();
  layout.createLine().setPosition(QPointF(0, 0));
  layout.endLayout();
}

int TextListEdit::CaretX(TextPoint point) const {
  QTextLayout layout;
  LayOut(layout, point.line);
  return qRound(layout.lineAt(0).cursorToX(static_cast<int>(point.column)));
}

TextPoint TextListEdit::PointAt(const QPoint& position) const {
  const int height = LineHeight();
  const int y = position.y() - kMargin;
  const long offset = y >= 0 ? y / height : -((-y + height - 1) / height);
  const long line = std::max(0L, static_cast<long>(top_line_) + offset);
  TextPoint point{std::min(static_cast<size_t>(line), blockCount() - 1), 0};
  QTextLayout layout;
  LayOut(layout, point.line);
  point.column = static_cast<size_t>(layout.lineAt(0).xToCursor(position.x() - kMargin + left_px_));
  return Clamped(point);
}

// ---- Showing the model ----

void TextListEdit::KeepNextCommandUndoable() { text_before_command_ = memo_.Text(); }

void TextListEdit::Push() {
  std::optional<std::string> text_before = std::exchange(text_before_command_, std::nullopt);
  if (!shown_.Changed()) return;
  if (text_before) {
    // One step puts the whole text back: the steps before it refer to that
    // text, so they stay good.
    undo_.Record({}, EndOfText(), std::move(*text_before), false);
  } else {
    // The steps of undo refer to text a command has replaced.
    undo_.Clear();
  }
  caret_ = Clamped(caret_);
  anchor_ = caret_;
  goal_x_ = -1;
  ScrollTo(top_line_);
  viewport()->update();
  shown_.MarkShown();
}

QString TextListEdit::toPlainText() const {
  QString text;
  text.reserve(static_cast<qsizetype>(memo_.TextLength()));
  for (size_t i = 0, n = memo_.LineCount(); i < n; ++i) {
    if (i > 0) text += u'\n';
    text += ToQt(memo_.RawLine(i));
  }
  if (memo_.EndsWithLineEnd()) text += u'\n';
  return text;
}

void TextListEdit::setPlainText(const QString& text) {
  shown_.ApplyShownChange([&] { memo_.TakeText(FromQt(text)); });
  undo_.Clear();
  caret_ = anchor_ = {};
  goal_x_ = -1;
  top_line_ = 0;
  left_px_ = 0;
  viewport()->update();
}

void TextListEdit::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  const int height = LineHeight();
  const QRect dirty = event->rect();
  // Clamped: a dialog's event loop may paint while a command has changed
  // the text and not yet pushed it.
  const TextPoint start = Clamped(SelectionStart());
  const TextPoint end = Clamped(SelectionEnd());
  const TextPoint caret = Clamped(caret_);
  QTextCharFormat selected;
  selected.setBackground(palette().brush(QPalette::Highlight));
  selected.setForeground(palette().brush(QPalette::HighlightedText));
  const bool draw_caret = caret_shown_ && hasFocus();
  const size_t lines = blockCount();
  int y = kMargin;
  for (size_t line = top_line_; line < lines && y <= dirty.bottom(); ++line, y += height) {
    if (y + height <= dirty.top()) continue;
    const bool in_selection = start != end && start.line <= line && line <= end.line;
    if (!in_selection && !(draw_caret && caret.line == line) && LineLength(line) == 0) continue;
    QTextLayout layout;
    LayOut(layout, line);
    const QPointF origin(kMargin - left_px_, y);
    QList<QTextLayout::FormatRange> selections;
    if (in_selection) {
      const size_t from = line == start.line ? start.column : 0;
      const size_t to = line == end.line ? end.column : LineLength(line);
      if (to > from) selections.push_back({static_cast<int>(from), static_cast<int>(to - from), selected});
      if (line < end.line) {
        // The line end is selected too: a blank's width after the text.
        const qreal x = layout.lineAt(0).cursorToX(static_cast<int>(LineLength(line)));
        painter.fillRect(QRectF(origin.x() + x, y, fontMetrics().horizontalAdvance(u' '), height),
                         palette().brush(QPalette::Highlight));
      }
    }
    layout.draw(&painter, origin, selections);
    if (draw_caret && caret.line == line) layout.drawCursor(&painter, origin, static_cast<int>(caret.column), 1);
  }
}

// ---- Changes ----

void TextListEdit::ScrollTo(size_t top_line) {
  const size_t lines = blockCount();
  const size_t page = PageLines();
  top_line_ = std::min(top_line, lines > page ? lines - page : 0);
}

void TextListEdit::EnsureCaretVisible() {
  const size_t page = PageLines();
  if (caret_.line < top_line_) top_line_ = caret_.line;
  else if (caret_.line >= top_line_ + page) top_line_ = caret_.line - page + 1;
  const int width = std::max(1, viewport()->width() - 2 * kMargin);
  const int x = CaretX(caret_);
  if (x < left_px_) left_px_ = std::max(0, x - width / 3);
  else if (x >= left_px_ + width) left_px_ = x - width * 2 / 3;
}

void TextListEdit::RestartBlink() {
  caret_shown_ = true;
  const int flash = QApplication::cursorFlashTime();
  if (flash > 0 && hasFocus()) blink_.start(flash / 2, this);
  else blink_.stop();
}

void TextListEdit::MoveCaret(TextPoint to, Extend extend, bool keep_goal) {
  caret_ = Clamped(to);
  if (extend == Extend::kNo) anchor_ = caret_;
  if (!keep_goal) goal_x_ = -1;
  EnsureCaretVisible();
  RestartBlink();
  viewport()->update();
}

void TextListEdit::MoveCaret(Motion motion, Extend extend) {
  // Without Shift, Left and Right end a selection at its own edge.
  if (extend == Extend::kNo && HasSelection() && (motion == Motion::kPreviousChar || motion == Motion::kNextChar))
    return MoveCaret(motion == Motion::kPreviousChar ? SelectionStart() : SelectionEnd(), extend);
  const bool by_line = motion == Motion::kNextLine || motion == Motion::kPreviousLine;
  const bool by_page = motion == Motion::kNextPage || motion == Motion::kPreviousPage;
  if (!by_line && !by_page) return MoveCaret(Moved(caret_, motion), extend);

  // Up, Down and the page keys aim at the same x on the target line, so
  // that passing a short line does not pull the caret to the left.
  const int goal = goal_x_ >= 0 ? goal_x_ : CaretX(caret_);
  const size_t step = by_line ? 1 : PageLines();
  const bool down = motion == Motion::kNextLine || motion == Motion::kNextPage;
  const size_t last = blockCount() - 1;
  const size_t line = down ? std::min(caret_.line + step, last) : caret_.line - std::min(caret_.line, step);
  // A page key scrolls the view by the page as well.
  if (by_page) ScrollTo(down ? top_line_ + step : top_line_ - std::min(top_line_, step));
  QTextLayout layout;
  LayOut(layout, line);
  const auto column = static_cast<size_t>(layout.lineAt(0).xToCursor(goal));
  MoveCaret(TextPoint{line, column}, extend, true);
  goal_x_ = goal;
}

void TextListEdit::Replace(TextPoint from, TextPoint to, std::string_view text, bool typed) {
  from = Clamped(from);
  to = Clamped(to);
  if (Before(to, from)) std::swap(from, to);
  if (from == to && text.empty()) return;
  std::string removed = TextBetween(memo_, from, to);
  TextPoint after;
  shown_.ApplyShownChange([&] { after = memo_.ReplaceRange(from, to, text); });
  undo_.Record(from, after, std::move(removed), typed);
  MoveCaret(after, Extend::kNo);
}

void TextListEdit::ReplaceSelection(std::string_view text, bool typed) {
  Replace(SelectionStart(), SelectionEnd(), text, typed);
}

void TextListEdit::Undo() {
  std::optional<TextPoint> after;
  shown_.ApplyShownChange([&] { after = undo_.Undo(memo_); });
  if (after) MoveCaret(*after, Extend::kNo);
}

void TextListEdit::Redo() {
  std::optional<TextPoint> after;
  shown_.ApplyShownChange([&] { after = undo_.Redo(memo_); });
  if (after) MoveCaret(*after, Extend::kNo);
}

void TextListEdit::Copy() const {
  if (!HasSelection()) return;
  const TextPoint start = SelectionStart();
  const TextPoint end = SelectionEnd();
  QString text;
  for (size_t line = start.line; line <= end.line; ++line) {
    const std::string_view raw = line < memo_.LineCount() ? memo_.RawLine(line) : std::string_view();
    const size_t from = line == start.line ? start.column : 0;
    const size_t to = line == end.line ? end.column : raw.size();
    text += ToQt(raw.substr(from, to - from));
    if (line < end.line) text += u'\n';
  }
  QApplication::clipboard()->setText(text);
}

void TextListEdit::Cut() {
  if (!HasSelection()) return;
  Copy();
  ReplaceSelection({});
}

void TextListEdit::Paste() {
  // Line feeds, CR LF pairs and lone CRs all become line ends.
  const QString text = QApplication::clipboard()->text();
  if (!text.isEmpty()) ReplaceSelection(FromQt(text));
}

void TextListEdit::SelectAll() {
  anchor_ = {};
  caret_ = EndOfText();
  goal_x_ = -1;
  RestartBlink();
  viewport()->update();
}

// ---- Keys ----

bool TextListEdit::HandlesKey(const QKeyEvent& event) const {
  if (event.key() == Qt::Key_Backspace || IsTypedText(event)) return true;
  for (QKeySequence::StandardKey key : kEditingKeys)
    if (event.matches(key)) return true;
  for (const MotionKeys& keys : kMotionKeys)
    if (event.matches(keys.move) || event.matches(keys.select)) return true;
  return false;
}

bool TextListEdit::event(QEvent* event) {
  // Keys the box acts on are its own, not the window's shortcuts; the
  // menu's shortcuts are claimed for the menu before this sees them.
  if (event->type() == QEvent::ShortcutOverride && HandlesKey(*static_cast<QKeyEvent*>(event))) {
    event->accept();
    return true;
  }
  return QAbstractScrollArea::event(event);
}

void TextListEdit::keyPressEvent(QKeyEvent* event) {
  for (size_t i = 0; i < std::size(kMotionKeys); ++i) {
    const auto motion = static_cast<Motion>(i);
    if (event->matches(kMotionKeys[i].move)) return MoveCaret(motion, Extend::kNo);
    if (event->matches(kMotionKeys[i].select)) return MoveCaret(motion, Extend::kSelection);
  }
  if (event->matches(QKeySequence::Undo)) return Undo();
  if (event->matches(QKeySequence::Redo)) return Redo();
  if (event->matches(QKeySequence::Cut)) return Cut();
  if (event->matches(QKeySequence::Copy)) return Copy();
  if (event->matches(QKeySequence::Paste)) return Paste();
  if (event->matches(QKeySequence::SelectAll)) return SelectAll();
  if (event->matches(QKeySequence::InsertParagraphSeparator) || event->matches(QKeySequence::InsertLineSeparator))
    return ReplaceSelection("\r\n");
  if (HasSelection() && (event->key() == Qt::Key_Backspace || event->matches(QKeySequence::Delete) ||
                         event->matches(QKeySequence::DeleteStartOfWord) ||
                         event->matches(QKeySequence::DeleteEndOfWord)))
    return ReplaceSelection({});
  if (event->matches(QKeySequence::DeleteStartOfWord)) return Replace(WordStart(caret_), caret_, {});
  if (event->matches(QKeySequence::DeleteEndOfWord)) return Replace(caret_, WordEnd(caret_), {});
  if (event->matches(QKeySequence::Delete)) return Replace(caret_, Moved(caret_, Motion::kNextChar), {});
  if (event->key() == Qt::Key_Backspace && !(event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier)))
    return Replace(Moved(caret_, Motion::kPreviousChar), caret_, {});
  // A character Windows-1251 lacks is typed as "?".
  if (IsTypedText(*event)) return ReplaceSelection(FromQt(event->text()), true);
  event->ignore();
}

// ---- Mouse and wheel ----

void TextListEdit::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return event->ignore();
  const bool shift = event->modifiers() & Qt::ShiftModifier;
  MoveCaret(PointAt(event->position().toPoint()), shift ? Extend::kSelection : Extend::kNo);
  selecting_ = true;
}

void TextListEdit::mouseMoveEvent(QMouseEvent* event) {
  if (selecting_ && (event->buttons() & Qt::LeftButton))
    MoveCaret(PointAt(event->position().toPoint()), Extend::kSelection);
}

void TextListEdit::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) selecting_ = false;
}

void TextListEdit::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return event->ignore();
  // The run of letters and digits (or blanks, or one other character)
  // under the pointer.
  const TextPoint at = PointAt(event->position().toPoint());
  const QString text = LineText(at.line);
  size_t from = at.column;
  size_t to = at.column;
  if (to < static_cast<size_t>(text.size())) {
    const CharClass run = ClassOf(text.at(to));
    if (run == CharClass::kOther) {
      ++to;
    } else {
      while (to < static_cast<size_t>(text.size()) && ClassOf(text.at(to)) == run) ++to;
      while (from > 0 && ClassOf(text.at(from - 1)) == run) --from;
    }
  }
  anchor_ = {at.line, from};
  MoveCaret(TextPoint{at.line, to}, Extend::kSelection);
  selecting_ = false;
}

void TextListEdit::wheelEvent(QWheelEvent* event) {
  wheel_rest_ += event->angleDelta().y();
  const int notches = wheel_rest_ / 120;
  wheel_rest_ -= notches * 120;
  const long lines = static_cast<long>(notches) * QApplication::wheelScrollLines();
  if (lines > 0) ScrollTo(top_line_ - std::min(top_line_, static_cast<size_t>(lines)));
  else if (lines < 0) ScrollTo(top_line_ + static_cast<size_t>(-lines));
  if (lines != 0) viewport()->update();
  event->accept();
}

// ---- The rest ----

QMenu* TextListEdit::createStandardContextMenu() {
  // Qt's own texts for a text box's menu, so its translation speaks them.
  auto* menu = new QMenu(this);
  auto add = [&](const char* text, const QKeySequence& keys, bool enabled, std::function<void()> act) {
    QString caption = QCoreApplication::translate("QWidgetTextControl", text);
    if (!keys.isEmpty()) caption += u'\t' + keys.toString(QKeySequence::NativeText);
    QAction* item = menu->addAction(caption);
    item->setEnabled(enabled);
    connect(item, &QAction::triggered, this, std::move(act));
  };
  const bool has_clipboard_text = !QApplication::clipboard()->text().isEmpty();
  add("&Undo", QKeySequence::Undo, undo_.CanUndo(), [this] { Undo(); });
  add("&Redo", QKeySequence::Redo, undo_.CanRedo(), [this] { Redo(); });
  menu->addSeparator();
  add("Cu&t", QKeySequence::Cut, HasSelection(), [this] { Cut(); });
  // Ctrl+C belongs to the menu's count; Ctrl+Insert copies.
  add("&Copy", QKeySequence(Qt::CTRL | Qt::Key_Insert), HasSelection(), [this] { Copy(); });
  add("&Paste", QKeySequence::Paste, has_clipboard_text, [this] { Paste(); });
  add("Delete", {}, HasSelection(), [this] { ReplaceSelection({}); });
  menu->addSeparator();
  add("Select All", QKeySequence::SelectAll, true, [this] { SelectAll(); });
  return menu;
}

void TextListEdit::contextMenuEvent(QContextMenuEvent* event) {
  std::unique_ptr<QMenu> menu(createStandardContextMenu());
  menu->exec(event->globalPos());
}

void TextListEdit::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  RestartBlink();
  viewport()->update();
}

void TextListEdit::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  blink_.stop();
  selecting_ = false;
  viewport()->update();
}

void TextListEdit::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  ScrollTo(top_line_);
}

void TextListEdit::timerEvent(QTimerEvent* event) {
  if (event->timerId() != blink_.timerId()) return QAbstractScrollArea::timerEvent(event);
  caret_shown_ = !caret_shown_;
  const int height = LineHeight();
  if (caret_.line >= top_line_)
    viewport()->update(0, kMargin + static_cast<int>(caret_.line - top_line_) * height, viewport()->width(), height);
}

}  // namespace kv::ui
