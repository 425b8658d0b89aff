#include "ui/keyword_edit.h"

#include <limits>

#include "ui/qt_text.h"

namespace kv::ui {

KeywordEdit::KeywordEdit(TEdit& edit, QWidget* parent) : QLineEdit(parent), edit_(edit) {
  // Qt's default limit is 32767 characters; the keyword box has none.
  setMaxLength(std::numeric_limits<int>::max());
  Push();
}

void KeywordEdit::Pull() {
  std::string typed = FromQt(text());
  if (typed != edit_.Text()) edit_.SetText(typed);
  shown_.MarkShown();
}

void KeywordEdit::Push() {
  if (!shown_.Changed()) return;
  setText(ToQt(edit_.Text()));
  shown_.MarkShown();
}

}  // namespace kv::ui
