#pragma once
// The program's icon, painted in code: the window shows it without any
// image plugin. kvornis.svg, installed for the desktop's menus, draws the
// same picture.

#include <QIcon>

namespace kv::ui {

QIcon AppIcon();

}  // namespace kv::ui
