#include "ui/browser.h"

#include <QDesktopServices>
#include <QUrl>

#include "base/cp1251.h"
#include "base/exception.h"

namespace kv::ui {

void OpenInBrowser(const std::string& address) {
  if (QDesktopServices::openUrl(QUrl(QString::fromStdString(address)))) return;
  throw Exception(std::string("Не удалось открыть веб-браузер для адреса "_w1251) + address);
}

}  // namespace kv::ui
