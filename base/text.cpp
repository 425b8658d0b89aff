#include "base/text.h"

namespace kv {

std::string_view CopyView(std::string_view text, long index, long count) noexcept {
  if (index < 1) index = 1;
  if (count <= 0 || static_cast<size_t>(index) > text.size()) return {};
  return text.substr(static_cast<size_t>(index - 1), static_cast<size_t>(count));
}

size_t Pos(std::string_view marker, std::string_view text) noexcept {
  if (marker.empty()) return 0;
  size_t at = text.find(marker);
  return at == std::string_view::npos ? 0 : at + 1;
}

bool HasAt(std::string_view text, long index, std::string_view marker) noexcept {
  return index >= 1 && CopyView(text, index, static_cast<long>(marker.size())) == marker;
}

}  // namespace kv
