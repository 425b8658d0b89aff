#include "base/cp1251.h"

#include <unicode/ucnv.h>

#include <array>
#include <memory>
#include <stdexcept>

namespace kv {
namespace {

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter OpenConverter(const char* name) {
  UErrorCode status = U_ZERO_ERROR;
  Converter conv(ucnv_open(name, &status));
  if (U_FAILURE(status)) throw std::runtime_error(std::string("ICU converter missing: ") + name);
  return conv;
}

// UTF-8 input that is not well-formed must stop the conversion, not be
// replaced, so that the caller can turn the whole text into empty text.
UConverter* StrictUtf8() {
  thread_local Converter conv = [] {
    Converter c = OpenConverter("UTF-8");
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setToUCallBack(c.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    return c;
  }();
  return conv.get();
}

// The same, but a malformed sequence becomes U+FFFD, which Windows-1251
// then shows as "?".
UConverter* LenientUtf8() {
  thread_local Converter conv = OpenConverter("UTF-8");
  return conv.get();
}

UConverter* Windows1251() {
  thread_local Converter conv = [] {
    Converter c = OpenConverter("windows-1251");
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setSubstChars(c.get(), "?", 1, &status);
    ucnv_setFallback(c.get(), false);
    return c;
  }();
  return conv.get();
}

const std::array<char16_t, 256>& Cp1251Utf16Table() {
  static const std::array<char16_t, 256> table = [] {
    std::array<char16_t, 256> t{};
    Converter conv = OpenConverter("windows-1251");
    for (int b = 0; b < 256; ++b) {
      char in = static_cast<char>(b);
      UChar out[4];
      UErrorCode status = U_ZERO_ERROR;
      int32_t n = ucnv_toUChars(conv.get(), out, 4, &in, 1, &status);
      t[b] = U_SUCCESS(status) && n == 1 ? out[0] : 0xFFFD;
    }
    return t;
  }();
  return table;
}

// UTF-8 through `from` to UTF-16 and on to Windows-1251; empty text when
// `from` stops at malformed input.
std::string ConvertUtf8(UConverter* from, std::string_view utf8) {
  if (utf8.empty()) return {};
  ucnv_reset(from);
  std::u16string wide(utf8.size() + 1, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t n = ucnv_toUChars(from, reinterpret_cast<UChar*>(wide.data()), static_cast<int32_t>(wide.size()),
                            utf8.data(), static_cast<int32_t>(utf8.size()), &status);
  if (U_FAILURE(status)) return {};
  wide.resize(static_cast<size_t>(n));

  UConverter* to = Windows1251();
  ucnv_reset(to);
  std::string out(wide.size() + 1, '\0');
  status = U_ZERO_ERROR;
  n = ucnv_fromUChars(to, out.data(), static_cast<int32_t>(out.size()), reinterpret_cast<const UChar*>(wide.data()),
                      static_cast<int32_t>(wide.size()), &status);
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<size_t>(n));
  return out;
}

}  // namespace

char16_t Cp1251ToUtf16(unsigned char byte) noexcept { return Cp1251Utf16Table()[byte]; }

void Cp1251ToUtf16(std::string_view cp1251, std::u16string& out) {
  const auto& table = Cp1251Utf16Table();
  out.resize(cp1251.size());
  for (size_t i = 0; i < cp1251.size(); ++i) out[i] = table[static_cast<unsigned char>(cp1251[i])];
}

std::string Utf8ToCp1251(std::string_view utf8) { return ConvertUtf8(StrictUtf8(), utf8); }

std::string Utf8ToCp1251Substituting(std::string_view utf8) { return ConvertUtf8(LenientUtf8(), utf8); }

std::string Cp1251ToUtf8(std::string_view cp1251) {
  std::string out;
  out.reserve(cp1251.size() * 2);
  for (unsigned char b : cp1251) {
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
      continue;
    }
    // Every Windows-1251 character lies in the Basic Multilingual Plane.
    char32_t cp = Cp1251ToUtf16(b);
    if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    }
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
  return out;
}

}  // namespace kv
