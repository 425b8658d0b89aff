#include "app/error_box.h"

#include <cctype>

#include "base/exception.h"

namespace kv {

std::string ErrorBoxText(std::string_view message) {
  std::string text(message);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.')) text += '.';
  return text;
}

std::string ApplicationTitle(std::string_view executable_path) {
  size_t slash = executable_path.find_last_of('/');
  std::string_view name = slash == std::string_view::npos ? executable_path : executable_path.substr(slash + 1);
  name = name.substr(0, name.find('.'));
  std::string title(name);
  for (size_t i = 1; i < title.size(); ++i)
    title[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(title[i])));
  return title;
}

bool RunHandler(const std::function<void()>& handler, const std::function<void(const std::string&)>& show) {
  try {
    handler();
    return true;
  } catch (const std::exception& e) {
    show(ErrorBoxText(e.what()));
  }
  return false;
}

}  // namespace kv
