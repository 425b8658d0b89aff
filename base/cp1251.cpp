#include "base/cp1251.h"

#include <unicode/uchar.h>
#include <unicode/ucnv.h>

#include <array>
#include <cstdint>
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

// The Windows-1251 byte of each character of the Basic Multilingual Plane
// it holds, from ICU's own mapping without fallbacks: the characters that
// Cp1251Utf16Table gives and that ICU turns back into the same byte. The
// byte is stored plus one, 0 standing for "none".
const std::array<uint16_t, 0x10000>& Utf16Cp1251Table() {
  static const std::unique_ptr<std::array<uint16_t, 0x10000>> table = [] {
    auto t = std::make_unique<std::array<uint16_t, 0x10000>>();
    t->fill(0);
    UConverter* to = Windows1251();
    for (int b = 0; b < 256; ++b) {
      const UChar wide = Cp1251Utf16Table()[static_cast<size_t>(b)];
      char back = 0;
      UErrorCode status = U_ZERO_ERROR;
      ucnv_reset(to);
      const int32_t n = ucnv_fromUChars(to, &back, 1, &wide, 1, &status);
      if (U_SUCCESS(status) && n == 1 && static_cast<unsigned char>(back) == b) {
        (*t)[wide] = static_cast<uint16_t>(b + 1);
      }
    }
    return t;
  }();
  return *table;
}

// The code point of the UTF-8 sequence that starts at `at` (its first byte
// 0x80 or above), `at` moved past it; -1 when the bytes are not a
// well-formed sequence (an overlong form, an encoded surrogate, a code
// point past U+10FFFF, a lone or missing continuation byte).
int32_t NextCodePoint(std::string_view text, size_t& at) {
  const auto byte = [&](size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0; };
  const unsigned char lead = byte(at);
  int length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  int32_t cp = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, cp = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, cp = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return -1;
  }
  for (int k = 1; k < length; ++k) {
    const unsigned char next = byte(at + static_cast<size_t>(k));
    if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) return -1;
    cp = (cp << 6) | (next & 0x3F);
  }
  at += static_cast<size_t>(length);
  return cp;
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

// Decoded here and mapped through ICU's table rather than through the
// converters: keywords by the million pass through it, and a conversion by
// ICU's calls costs some twenty times as much.
std::string Utf8ToCp1251(std::string_view utf8) {
  const std::array<uint16_t, 0x10000>& table = Utf16Cp1251Table();
  std::string out;
  out.reserve(utf8.size());
  for (size_t at = 0; at < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[at]);
    if (lead < 0x80) {
      out.push_back(static_cast<char>(lead));
      ++at;
      continue;
    }
    const int32_t cp = NextCodePoint(utf8, at);
    if (cp < 0) return {};
    const uint16_t mapped = cp < 0x10000 ? table[static_cast<size_t>(cp)] : 0;
    if (mapped != 0) {
      out.push_back(static_cast<char>(mapped - 1));
    } else if (!u_hasBinaryProperty(cp, UCHAR_DEFAULT_IGNORABLE_CODE_POINT)) {
      // ICU's substitution leaves out an invisible character (a joiner, a
      // variation selector) rather than show it as "?".
      out.push_back('?');
    }
  }
  return out;
}

std::string Utf8ToCp1251Substituting(std::string_view utf8) { return ConvertUtf8(LenientUtf8(), utf8); }

std::string Cp1251ToUtf8(std::string_view cp1251) {
  std::string out;
  out.reserve(cp1251.size() * 2);
  AppendCp1251AsUtf8(out, cp1251);
  return out;
}

void AppendCp1251AsUtf8(std::string& out, std::string_view cp1251) {
  const std::array<char16_t, 256>& table = Cp1251Utf16Table();
  for (unsigned char b : cp1251) {
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
      continue;
    }
    // Every Windows-1251 character lies in the Basic Multilingual Plane.
    const char32_t cp = table[b];
    if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    }
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace kv
