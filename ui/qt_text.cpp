#include "ui/qt_text.h"

#include <array>
#include <cstdint>

#include "base/cp1251.h"

namespace kv::ui {
namespace {

// Windows-1251 byte of every UTF-16 code unit that is one of its
// characters; -1 for the rest.
const std::array<int16_t, 0x10000>& Cp1251OfUtf16() {
  static const std::array<int16_t, 0x10000> table = [] {
    std::array<int16_t, 0x10000> t;
    t.fill(-1);
    for (int byte = 0xFF; byte >= 0; --byte) {
      const char16_t unit = Cp1251ToUtf16(static_cast<unsigned char>(byte));
      if (unit != 0xFFFD) t[unit] = static_cast<int16_t>(byte);
    }
    return t;
  }();
  return table;
}

}  // namespace

QString ToQt(std::string_view cp1251) {
  // Byte by byte through the table: the text list can hold megabytes.
  QString text(static_cast<qsizetype>(cp1251.size()), Qt::Uninitialized);
  QChar* out = text.data();
  for (char byte : cp1251) *out++ = QChar(Cp1251ToUtf16(static_cast<unsigned char>(byte)));
  return text;
}

std::string FromQt(const QString& text) {
  // Through the table as well, for the same reason, as long as every
  // character has its byte. Any other goes to the converter with the whole
  // text, which knows what becomes "?" and what is left out.
  const auto& table = Cp1251OfUtf16();
  std::string out(static_cast<size_t>(text.size()), '\0');
  char* byte = out.data();
  for (const QChar c : text) {
    const int16_t mapped = table[c.unicode()];
    if (mapped < 0) {
      const QByteArray utf8 = text.toUtf8();
      return Utf8ToCp1251(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
    }
    *byte++ = static_cast<char>(mapped);
  }
  return out;
}

}  // namespace kv::ui
