#pragma once
// Small text helpers of the run-time library kind: trimming of blanks and
// control characters, cutting a text at a delimiter, and ASCII case rules.
// Header-only, so that any layer can use them without another source file.

#include <cstddef>
#include <string>
#include <string_view>

namespace kv {

// A character that trimming removes: a blank or any control character
// (every byte up to 0x20). Bytes of Windows-1251 letters are never trimmed.
constexpr bool IsTrimmable(char c) noexcept { return static_cast<unsigned char>(c) <= 0x20; }

inline std::string_view TrimLeftView(std::string_view text) noexcept {
  size_t start = 0;
  while (start < text.size() && IsTrimmable(text[start])) ++start;
  return text.substr(start);
}

inline std::string_view TrimRightView(std::string_view text) noexcept {
  size_t end = text.size();
  while (end > 0 && IsTrimmable(text[end - 1])) --end;
  return text.substr(0, end);
}

inline std::string_view TrimView(std::string_view text) noexcept { return TrimRightView(TrimLeftView(text)); }

inline std::string Trim(std::string_view text) { return std::string(TrimView(text)); }
inline std::string TrimLeft(std::string_view text) { return std::string(TrimLeftView(text)); }
inline std::string TrimRight(std::string_view text) { return std::string(TrimRightView(text)); }

// Returns the text before the first `delimiter` (compared byte for byte)
// and removes it and the delimiter from `source`. Without the delimiter the
// whole source is returned and the source becomes empty.
inline std::string CutToken(std::string& source, std::string_view delimiter) {
  size_t at = delimiter.empty() ? std::string::npos : source.find(delimiter);
  std::string token;
  if (at == std::string::npos) {
    token.swap(source);
  } else {
    token = source.substr(0, at);
    source.erase(0, at + delimiter.size());
  }
  return token;
}

// CutToken for a view: the text before the first `delimiter`, with `source`
// moved past it and the delimiter; without one, all of `source`, which
// becomes empty.
inline std::string_view CutTokenView(std::string_view& source, std::string_view delimiter) noexcept {
  const size_t at = delimiter.empty() ? std::string_view::npos : source.find(delimiter);
  std::string_view token = source;
  if (at == std::string_view::npos) {
    source = {};
  } else {
    token = source.substr(0, at);
    source.remove_prefix(at + delimiter.size());
  }
  return token;
}

constexpr char UpperAscii(char c) noexcept { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Upper-cases the ASCII letters a to z only.
inline std::string UpperCaseAscii(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = UpperAscii(c);
  return result;
}

// Equality that ignores the case of ASCII letters.
inline bool SameTextAscii(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  if (a == b) return true;  // mostly spelled alike: one compare of the bytes
  for (size_t i = 0; i < a.size(); ++i)
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  return true;
}

}  // namespace kv
