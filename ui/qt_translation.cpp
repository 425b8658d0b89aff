#include "ui/qt_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace kv::ui {

QString QtTranslationsFolder() { return QLibraryInfo::path(QLibraryInfo::TranslationsPath); }

bool InstallQtTranslation() {
  // Owned by the application, so it lives exactly as long as the texts it
  // translates can be asked for.
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (translator->load(QString::fromLatin1(kQtTranslation), QtTranslationsFolder()) &&
      QCoreApplication::installTranslator(translator))
    return true;
  delete translator;
  return false;
}

}  // namespace kv::ui
