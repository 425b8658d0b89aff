#include "tools/stat_sim/query.h"

#include "base/percent_encoding.h"

namespace kv::statsim {

Query::Query(std::string_view target) {
  size_t question = target.find('?');
  if (question == std::string_view::npos) return;
  std::string_view rest = target.substr(question + 1);
  while (!rest.empty()) {
    size_t amp = rest.find('&');
    std::string_view pair = rest.substr(0, amp);
    rest = amp == std::string_view::npos ? std::string_view() : rest.substr(amp + 1);
    if (pair.empty()) continue;
    size_t eq = pair.find('=');
    std::string_view name = pair.substr(0, eq);
    std::string_view value = eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1);
    // A "%" without two digits stays as it is, as the service reads it.
    pairs_.emplace_back(*PercentDecode(name, BadEscape::kKeep), *PercentDecode(value, BadEscape::kKeep));
  }
}

std::optional<std::string> Query::Value(std::string_view name) const {
  for (const auto& [n, v] : pairs_)
    if (n == name) return v;
  return std::nullopt;
}

std::string PercentEncode(std::string_view bytes) {
  std::string out;
  for (char c : bytes) {
    auto b = static_cast<unsigned char>(c);
    bool plain = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' ||
                 b == '_' || b == '.';
    if (plain) {
      out.push_back(c);
    } else {
      AppendPercentEscape(out, b);
    }
  }
  return out;
}

}  // namespace kv::statsim
