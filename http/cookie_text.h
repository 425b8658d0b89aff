#pragma once
// Splitting the text of a "Set-cookie" or "Set-cookie2" value into the
// cookie's name, its value and the list of its attributes.
//
// The text is cut at every ";" and the parts are trimmed; a text without
// ";" is cut at line breaks instead. The first part is "name=value". Every
// attribute part is rewritten as its name upper-cased (ASCII letters only),
// "=" and the value of the first attribute of that name, so that only the
// first occurrence of an attribute counts. Names are compared with the
// locale-aware comparison that ignores case.

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace kv {

class TIdCookieAttributes {
 public:
  TIdCookieAttributes() = default;
  // Rewrites `items` (the parts after "name=value") as described above.
  explicit TIdCookieAttributes(const std::vector<std::string>& items);

  const std::vector<std::string>& Items() const noexcept { return items_; }

  // The text after the first "=" of the first item named `name`; empty
  // text when there is none.
  std::string Value(std::string_view name) const;
  // True when an item without "=" equals `word` ignoring case.
  bool Has(std::string_view word) const;

 private:
  std::vector<std::string> items_;
  std::unordered_map<std::string, std::string> values_;  // by collation key of the name
  std::unordered_set<std::string> words_;                // collation keys of items without "="
};

struct TIdCookieTextParts {
  std::string Name;
  std::string Value;
  TIdCookieAttributes Attributes;
};

// The parts of the text before the name is taken off: cut at ";" and
// trimmed, or cut at line breaks when there is no ";".
std::vector<std::string> CookieTextItems(std::string_view text);

// Name, value and attributes of a cookie text. An empty text gives an
// empty name, an empty value and no attributes.
TIdCookieTextParts SplitCookieText(std::string_view text);

}  // namespace kv
