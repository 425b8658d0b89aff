#include "http/cookie_text.h"

#include "base/collation.h"
#include "base/string_list.h"
#include "base/text_tokens.h"

namespace kv {
namespace {

// The part of an item before its first "=", or nothing when it has none.
bool SplitItem(std::string_view item, std::string_view& name, std::string_view& value) {
  const size_t equals = item.find('=');
  if (equals == std::string_view::npos) return false;
  name = item.substr(0, equals);
  value = item.substr(equals + 1);
  return true;
}

}  // namespace

TIdCookieAttributes::TIdCookieAttributes(const std::vector<std::string>& items) {
  const TextCollator& collator = DefaultCollator();
  items_.reserve(items.size());
  // One collation key per item keeps this linear however many parts a
  // hostile text has.
  for (const std::string& item : items) {
    std::string_view name, value;
    if (SplitItem(item, name, value)) {
      const auto [first, added] = values_.try_emplace(collator.SortKey(name), value);
      items_.push_back(UpperCaseAscii(name) + "=" + first->second);
    } else {
      std::string word = UpperCaseAscii(item);
      words_.insert(collator.SortKey(word));
      items_.push_back(std::move(word));
    }
  }
}

std::string TIdCookieAttributes::Value(std::string_view name) const {
  const auto found = values_.find(DefaultCollator().SortKey(name));
  return found == values_.end() ? std::string() : found->second;
}

bool TIdCookieAttributes::Has(std::string_view word) const {
  return words_.count(DefaultCollator().SortKey(word)) > 0;
}

std::vector<std::string> CookieTextItems(std::string_view text) {
  std::vector<std::string> items;
  if (text.find(';') == std::string_view::npos) {
    StringList lines;
    lines.SetText(text);
    return lines.Lines();
  }
  size_t start = 0;
  for (size_t semicolon = text.find(';'); semicolon != std::string_view::npos;
       semicolon = text.find(';', start)) {
    items.push_back(Trim(text.substr(start, semicolon - start)));
    start = semicolon + 1;
  }
  // What follows the last ";" counts only when there is something there.
  if (start < text.size()) items.push_back(Trim(text.substr(start)));
  return items;
}

TIdCookieTextParts SplitCookieText(std::string_view text) {
  std::vector<std::string> items = CookieTextItems(text);
  TIdCookieTextParts parts;
  if (items.empty()) return parts;

  std::string_view name, value;
  if (SplitItem(items.front(), name, value)) {
    parts.Name = std::string(name);
    parts.Value = std::string(value);
  } else {
    // A first part without "=" has an empty name; its value is that of the
    // first part that begins with "=" (compared as names, ignoring case).
    for (const std::string& item : items) {
      std::string_view itemName, itemValue;
      if (SplitItem(item, itemName, itemValue) && CompareText(itemName, "") == 0) {
        parts.Value = std::string(itemValue);
        break;
      }
    }
  }
  items.erase(items.begin());
  parts.Attributes = TIdCookieAttributes(items);
  return parts;
}

}  // namespace kv
