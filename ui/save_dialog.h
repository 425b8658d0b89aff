#pragma once
// The save-file dialog SaveDialog1 on the screen: the model's title, filter
// and default extension, the last chosen name offered again, and no
// question before an existing file is replaced.

#include <QStringList>
#include <optional>
#include <string>
#include <string_view>

#include "app/controls.h"

class QWidget;

namespace kv::ui {

// Runs the dialog modally over `parent`; the chosen file name, or nothing
// when the user cancelled. File names are kept as the file system spells
// them, so that the file opened is the file chosen.
std::optional<std::string> RunSaveDialog(QWidget* parent, const TSaveDialog& settings);

// "Text (*.txt)|*.txt|All|*.*;*" as Qt's name filters: one entry per pair,
// its patterns in parentheses after the display text unless it ends with
// them already.
QStringList QtNameFilters(std::string_view filter);

}  // namespace kv::ui
