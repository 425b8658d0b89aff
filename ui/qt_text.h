#pragma once
// The program's texts are Windows-1251; Qt's are UTF-16. Every text that
// reaches a widget, or comes back from one, crosses here.

#include <QString>
#include <string>
#include <string_view>

namespace kv::ui {

QString ToQt(std::string_view cp1251);
// A character that Windows-1251 lacks becomes "?".
std::string FromQt(const QString& text);

}  // namespace kv::ui
