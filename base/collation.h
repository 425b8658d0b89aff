#pragma once
// The locale-aware, case-insensitive comparison of lines, used to sort the
// text list and to compare cookie keys. It orders a blank before digits and
// digits before letters, which the sort tool relies on (counts are padded
// with leading blanks).

#include <memory>
#include <string>
#include <string_view>

struct UCollator;

namespace kv {

class TextCollator {
 public:
  // `locale` is an ICU locale id; empty means the process's default locale.
  // A C/POSIX locale uses the root collation: ICU's POSIX tailoring would
  // make ASCII case a primary difference.
  explicit TextCollator(const std::string& locale = {});
  ~TextCollator();
  TextCollator(const TextCollator&) = delete;
  TextCollator& operator=(const TextCollator&) = delete;

  // <0, 0, >0 for Windows-1251 texts a and b.
  int Compare(std::string_view a, std::string_view b) const;

  // A byte string whose plain byte order (memcmp, then length) equals the
  // order of Compare. Computed once per line for bulk sorting.
  std::string SortKey(std::string_view text) const;

  // Bulk form: writes the key of `text` and a closing NUL (the key itself
  // holds none, so C-string order is key order) to `out` when they fit in
  // `room` bytes. Returns the bytes they take; more than `room` means the
  // key did not fit. `wide` is scratch space the caller keeps between calls.
  size_t SortKeyInto(std::string_view text, char* out, size_t room, std::u16string& wide) const;

  const std::string& LocaleName() const { return locale_name_; }

 private:
  UCollator* collator_ = nullptr;
  std::string locale_name_;
};

// The collator for the process's default locale, made on first use.
const TextCollator& DefaultCollator();

// Makes DefaultCollator() use `locale` from now on (tests fix their locale).
void SetDefaultCollatorLocale(const std::string& locale);

// Shorthand for DefaultCollator().Compare(a, b).
int CompareText(std::string_view a, std::string_view b);

}  // namespace kv
