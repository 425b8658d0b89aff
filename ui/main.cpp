// Kvornis: the application object with Qt's texts in Russian, the main
// window, the About window, then the message loop until the main window
// closes.

#include <QApplication>

#include "ui/app_icon.h"
#include "ui/form_about.h"
#include "ui/form_main.h"
#include "ui/qt_translation.h"

int main(int argc, char** argv) {
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
