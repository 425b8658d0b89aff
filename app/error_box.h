#pragma once
// What the error box shows for a failure that a handler did not catch, and
// the one place where handlers run with that catch around them.

#include <exception>
#include <functional>
#include <string>
#include <string_view>

namespace kv {

// The failure's message with "." appended when its last character has a
// code above that of "." (so ".", "!", ")" and a blank get nothing).
std::string ErrorBoxText(std::string_view message);

// The application's title from the executable's path: the file name up to
// its first ".", every letter after the first in lower case.
std::string ApplicationTitle(std::string_view executable_path);

// Runs `handler`; a failure that escapes it is passed to `show` as the
// error box's text. Returns false when a failure was shown.
bool RunHandler(const std::function<void()>& handler, const std::function<void(const std::string&)>& show);

}  // namespace kv
