#pragma once
// The lists of the domain index: unsorted (key text, object) pairs kept in
// the order they were added. Keys are looked up with the locale-aware
// comparison that ignores case, the one the text list sorts with, so that
// a cookie key matches whatever the user's locale counts as the same text.

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/collation.h"

namespace kv {

class TIdNetscapeCookie;

template <typename Object>
class KeyedList {
 public:
  struct Entry {
    std::string Key;
    Object Value;
  };

  int Count() const noexcept { return static_cast<int>(entries_.size()); }
  bool Empty() const noexcept { return entries_.empty(); }
  const std::string& Key(int index) const { return entries_[static_cast<size_t>(index)].Key; }
  Object& Value(int index) { return entries_[static_cast<size_t>(index)].Value; }
  const Object& Value(int index) const { return entries_[static_cast<size_t>(index)].Value; }

  // The first entry whose key equals `key` ignoring case, or -1.
  int IndexOf(std::string_view key) const {
    for (size_t i = 0; i < entries_.size(); ++i)
      if (CompareText(entries_[i].Key, key) == 0) return static_cast<int>(i);
    return -1;
  }

  void Add(std::string key, Object value) { entries_.push_back({std::move(key), std::move(value)}); }
  void Delete(int index) { entries_.erase(entries_.begin() + index); }

 private:
  std::vector<Entry> entries_;
};

// The cookies of one domain by name. It refers to records; the collection
// owns them.
class TIdCookieList : public KeyedList<TIdNetscapeCookie*> {
 public:
  // The entry that refers to this very record, or -1.
  int IndexOfCookie(const TIdNetscapeCookie* cookie) const {
    for (int i = 0; i < Count(); ++i)
      if (Value(i) == cookie) return i;
    return -1;
  }
};

// The domain index: every domain, in the order of first storage, with the
// list of its cookies.
class TIdCookieDomainIndex : public KeyedList<std::unique_ptr<TIdCookieList>> {
 public:
  // The number of cookies filed under all domains.
  int CookieCount() const {
    int count = 0;
    for (int i = 0; i < Count(); ++i) count += Value(i)->Count();
    return count;
  }
};

}  // namespace kv
