#include "ui/text_list_edit.h"

#include "ui/qt_text.h"

namespace kv::ui {

TextListEdit::TextListEdit(TMemo& memo, QWidget* parent) : QPlainTextEdit(parent), memo_(memo) {
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setTabChangesFocus(true);
  connect(document(), &QTextDocument::contentsChanged, this, [this] {
    if (!pushing_) edited_ = true;
  });
  Push();
}

void TextListEdit::Pull() {
  if (!edited_) return;
  // The raw text keeps non-breaking spaces (plain text would turn them into
  // blanks); its block and line separators are line ends.
  QString text = document()->toRawText();
  text.replace(QChar::ParagraphSeparator, u'\n');
  text.replace(QChar::LineSeparator, u'\n');
  memo_.SetText(FromQt(text));
  shown_.MarkShown();
  edited_ = false;
}

void TextListEdit::Push() {
  if (!shown_.Changed()) return;
  QString text;
  text.reserve(static_cast<qsizetype>(memo_.TextLength()));
  for (size_t i = 0, n = memo_.LineCount(); i < n; ++i) {
    if (i > 0) text += u'\n';
    text += ToQt(memo_.RawLine(i));
  }
  if (memo_.EndsWithLineEnd()) text += u'\n';
  pushing_ = true;
  setPlainText(text);
  pushing_ = false;
  shown_.MarkShown();
  edited_ = false;
}

}  // namespace kv::ui
