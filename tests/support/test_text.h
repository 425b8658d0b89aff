#pragma once
// Small text helpers for tests that build commands and read outputs.
#include <cstddef>
#include <map>
#include <string>

namespace kv::test {

// How often `part` occurs in `text`, without overlaps.
inline size_t CountOf(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
  return count;
}

// Every "{name}" of `values` in `text` replaced by its value.
inline std::string Expand(std::string text, const std::map<std::string, std::string>& values) {
  for (const auto& [name, value] : values) {
    const std::string marker = "{" + name + "}";
    for (size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at + value.size())) {
      text.replace(at, marker.size(), value);
    }
  }
  return text;
}

}  // namespace kv::test
