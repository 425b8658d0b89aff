#pragma once
// The font of both windows: "MS Sans Serif" at 8 points where it exists,
// otherwise the nearest sans font that can show Cyrillic.

#include <QFont>

namespace kv::ui {

QFont WindowFont();

}  // namespace kv::ui
