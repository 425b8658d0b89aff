#include "ui/qt_text.h"

#include "base/cp1251.h"

namespace kv::ui {

QString ToQt(std::string_view cp1251) {
  // Byte by byte through the table: the text list can hold megabytes.
  QString text(static_cast<qsizetype>(cp1251.size()), Qt::Uninitialized);
  QChar* out = text.data();
  for (char byte : cp1251) *out++ = QChar(Cp1251ToUtf16(static_cast<unsigned char>(byte)));
  return text;
}

std::string FromQt(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return Utf8ToCp1251(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

}  // namespace kv::ui
