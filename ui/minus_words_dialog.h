#pragma once
// The minus-words dialog on the screen: a box of words, one a line, and the
// buttons "Применить" and "Отмена".

#include <optional>
#include <string>

class QWidget;

namespace kv::ui {

// Runs the dialog modally over `parent` with `words` (Windows-1251) in the
// box; the words as the user applied them, or nothing on cancel.
std::optional<std::string> RunMinusWordsDialog(QWidget* parent, const std::string& words);

}  // namespace kv::ui
