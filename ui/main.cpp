// Kvornis: the application object with Qt's texts in Russian, the main
// window, the About window, then the message loop until the main window
// closes.

#include <QApplication>
#include <cstdio>
#include <string_view>

#include "base/version.h"
#include "ui/app_icon.h"
#include "ui/form_about.h"
#include "ui/form_main.h"
#include "ui/qt_translation.h"

namespace {

constexpr const char* kUsage =
    "usage: kvornis [Qt options]\n"
    "Opens the Kvornis window. Qt's own options (-platform NAME, -style NAME,\n"
    "-display DISPLAY, ...) are taken as by any Qt program.\n"
    "  --help      this text\n"
    "  --version   the program's version\n";

// --help and --version answer before Qt starts, so that they need no
// display.
bool AnsweredWithoutWindow(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return true;
    }
    if (arg == "--version") {
      std::printf("kvornis %s\n", kv::kVersion);
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (AnsweredWithoutWindow(argc, argv)) return 0;
  QApplication application(argc, argv);
  if (!kv::ui::InstallQtTranslation())
    qWarning("kvornis: %s.qm is not in %s; Qt's own texts stay English", kv::ui::kQtTranslation,
             qPrintable(kv::ui::QtTranslationsFolder()));
  QApplication::setWindowIcon(kv::ui::AppIcon());
  // The installed .desktop entry, so that the desktop can match the window to it.
  QGuiApplication::setDesktopFileName("kvornis");
  kv::ui::FormMain form_main;
  kv::ui::FormAbout form_about(&form_main);  // stays hidden until asked for
  form_main.SetAboutWindow(&form_about);
  form_main.show();
  return QApplication::exec();
}
