#pragma once
// The error box: what a command did not catch, under the application's
// title, with the error icon and one OK button. The window shows it through
// a replaceable function, so that tests can read the box instead.

#include <functional>
#include <string>

class QWidget;

namespace kv::ui {

struct ErrorBoxContent {
  std::string title;  // Windows-1251
  std::string text;   // Windows-1251, already with the "." rule applied
};

using ErrorBoxShower = std::function<void(QWidget* parent, const ErrorBoxContent& content)>;

// The real box: modal over `parent`, returns when OK is pressed.
void ShowErrorBoxDialog(QWidget* parent, const ErrorBoxContent& content);

// The title for the running executable.
std::string ErrorBoxTitle();

}  // namespace kv::ui
