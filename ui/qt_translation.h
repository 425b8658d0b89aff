#pragma once
// Qt's own texts (the file dialog's captions and buttons, the standard
// buttons of message boxes, the text boxes' context menus) in Russian,
// whatever the system's locale: the window is Russian by design.

#include <QString>

namespace kv::ui {

// The catalogue of Qt's own texts, a name in Qt's translations folder.
inline constexpr const char* kQtTranslation = "qtbase_ru";

// Qt's translations folder, where the system's Qt keeps its catalogues.
QString QtTranslationsFolder();

// Loads the catalogue from that folder and installs it on the running
// application. False when it is not there; Qt's texts then stay English
// and the program runs on.
bool InstallQtTranslation();

}  // namespace kv::ui
