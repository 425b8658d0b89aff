#pragma once
// Windows-1251 <-> UTF-8. Every text of the system is a std::string of
// Windows-1251 bytes; UTF-8 appears only at the edges (pages, the terminal,
// the window toolkit).

#include <cstddef>
#include <string>
#include <string_view>

#include "base/cp1251_table.h"

namespace kv {

// UTF-8 that is not well-formed gives the empty text; a character that
// Windows-1251 lacks becomes "?".
std::string Utf8ToCp1251(std::string_view utf8);

// For UTF-8 that need not be well-formed, such as a file name: every
// malformed sequence, like every character Windows-1251 lacks, becomes "?".
std::string Utf8ToCp1251Substituting(std::string_view utf8);

// Every Windows-1251 byte has a UTF-8 form (0x98, which has no character,
// becomes the control U+0098, so that it survives the round trip).
std::string Cp1251ToUtf8(std::string_view cp1251);
// The same, appended to `out` (for writers that build long texts).
void AppendCp1251AsUtf8(std::string& out, std::string_view cp1251);

// UTF-16 form of one Windows-1251 byte (built from ICU's mapping).
char16_t Cp1251ToUtf16(unsigned char byte) noexcept;
// The UTF-16 form of a whole text, into `out` (whose room is reused).
void Cp1251ToUtf16(std::string_view cp1251, std::u16string& out);

// ---- The program's own texts ------------------------------------------------
// Written as UTF-8 literals in the source and turned into Windows-1251 at
// compile time: "Не указан кейворд"_w1251 is a std::string_view of its
// Windows-1251 bytes. A character Windows-1251 cannot hold does not compile.

namespace detail {

template <size_t N>
struct Utf8Literal {
  char bytes[N]{};
  consteval Utf8Literal(const char (&text)[N]) {
    for (size_t i = 0; i < N; ++i) bytes[i] = text[i];
  }
};

template <size_t N>
struct Cp1251Literal {
  char bytes[N]{};
  size_t size = 0;
  constexpr std::string_view view() const { return {bytes, size}; }
};

consteval unsigned char EncodeCp1251(char32_t cp) {
  if (cp < 0x80) return static_cast<unsigned char>(cp);
  for (size_t i = 0; i < kCp1251Upper.size(); ++i)
    if (kCp1251Upper[i] == cp && cp != 0) return static_cast<unsigned char>(0x80 + i);
  throw "character not in Windows-1251";  // a compile-time error in a consteval
}

template <Utf8Literal S>
consteval auto ConvertLiteral() {
  constexpr size_t n = sizeof(S.bytes);
  Cp1251Literal<n> out;
  for (size_t i = 0; i + 1 < n;) {
    auto b = static_cast<unsigned char>(S.bytes[i]);
    char32_t cp;
    size_t len;
    if (b < 0x80) { cp = b; len = 1; }
    else if ((b & 0xE0) == 0xC0) { cp = b & 0x1F; len = 2; }
    else if ((b & 0xF0) == 0xE0) { cp = b & 0x0F; len = 3; }
    else throw "not a Windows-1251 character";
    for (size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(S.bytes[i + k]) & 0x3F);
    out.bytes[out.size++] = static_cast<char>(EncodeCp1251(cp));
    i += len;
  }
  return out;
}

template <Utf8Literal S>
inline constexpr auto kCp1251Of = ConvertLiteral<S>();

}  // namespace detail

inline namespace literals {
template <detail::Utf8Literal S>
constexpr std::string_view operator""_w1251() {
  return detail::kCp1251Of<S>.view();
}
}  // namespace literals

}  // namespace kv
