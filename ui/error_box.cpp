#include "ui/error_box.h"

#include <QCoreApplication>
#include <QMessageBox>

#include "app/error_box.h"
#include "ui/qt_text.h"

namespace kv::ui {

void ShowErrorBoxDialog(QWidget* parent, const ErrorBoxContent& content) {
  QMessageBox box(QMessageBox::Critical, ToQt(content.title), ToQt(content.text), QMessageBox::Ok, parent);
  // A message is shown as written, even when it looks like markup.
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

std::string ErrorBoxTitle() { return ApplicationTitle(FromQt(QCoreApplication::applicationFilePath())); }

}  // namespace kv::ui
