#include "base/collation.h"

#include <unicode/ucol.h>
#include <unicode/uloc.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <stdexcept>

#include "base/cp1251.h"

namespace kv {
namespace {

std::u16string ToUtf16(std::string_view cp1251) {
  std::u16string wide;
  Cp1251ToUtf16(cp1251, wide);
  return wide;
}

std::string EffectiveLocale(const std::string& requested) {
  std::string name = requested.empty() ? std::string(uloc_getDefault()) : requested;
  // "C", "POSIX" and en_US_POSIX carry a tailoring that makes case primary.
  if (name.empty() || name == "c" || name == "C" || name == "POSIX" || name.find("POSIX") != std::string::npos)
    return "";
  return name;
}

std::mutex default_mutex;
std::unique_ptr<TextCollator> default_collator;

}  // namespace

TextCollator::TextCollator(const std::string& locale) : locale_name_(EffectiveLocale(locale)) {
  UErrorCode status = U_ZERO_ERROR;
  collator_ = ucol_open(locale_name_.c_str(), &status);
  if (U_FAILURE(status)) throw std::runtime_error("cannot open the collator for '" + locale_name_ + "'");
  ucol_setStrength(collator_, UCOL_SECONDARY);
}

TextCollator::~TextCollator() { ucol_close(collator_); }

int TextCollator::Compare(std::string_view a, std::string_view b) const {
  std::u16string wa = ToUtf16(a), wb = ToUtf16(b);
  return ucol_strcoll(collator_, reinterpret_cast<const UChar*>(wa.data()), static_cast<int32_t>(wa.size()),
                      reinterpret_cast<const UChar*>(wb.data()), static_cast<int32_t>(wb.size()));
}

std::string TextCollator::SortKey(std::string_view text) const {
  std::u16string wide = ToUtf16(text);
  std::string key(wide.size() * 2 + 16, '\0');
  auto get = [&] {
    return ucol_getSortKey(collator_, reinterpret_cast<const UChar*>(wide.data()), static_cast<int32_t>(wide.size()),
                           reinterpret_cast<uint8_t*>(key.data()), static_cast<int32_t>(key.size()));
  };
  int32_t needed = get();
  if (needed > static_cast<int32_t>(key.size())) {
    key.resize(static_cast<size_t>(needed));
    needed = get();
  }
  // The key ends with a NUL that is not part of the order.
  key.resize(needed > 0 ? static_cast<size_t>(needed - 1) : 0);
  return key;
}

size_t TextCollator::SortKeyInto(std::string_view text, char* out, size_t room, std::u16string& wide) const {
  Cp1251ToUtf16(text, wide);
  const int32_t needed =
      ucol_getSortKey(collator_, reinterpret_cast<const UChar*>(wide.data()), static_cast<int32_t>(wide.size()),
                      reinterpret_cast<uint8_t*>(out), static_cast<int32_t>(std::min<size_t>(room, INT32_MAX)));
  if (needed > 0) return static_cast<size_t>(needed);
  // No key at all (the library failed): the empty key, which sorts first.
  if (room > 0) out[0] = '\0';
  return 1;
}

const TextCollator& DefaultCollator() {
  std::lock_guard lock(default_mutex);
  if (!default_collator) default_collator = std::make_unique<TextCollator>();
  return *default_collator;
}

void SetDefaultCollatorLocale(const std::string& locale) {
  std::lock_guard lock(default_mutex);
  default_collator = std::make_unique<TextCollator>(locale.empty() ? std::string("root") : locale);
}

int CompareText(std::string_view a, std::string_view b) { return DefaultCollator().Compare(a, b); }

}  // namespace kv
