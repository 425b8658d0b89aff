#pragma once
// The query part of a request target, read the way the service reads it:
// pairs split at "&" and the first "=", values percent-decoded byte for byte
// ("+" stays "+"), so that a keyword in Windows-1251 percent form comes back
// as its Windows-1251 bytes.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kv::statsim {

class Query {
 public:
  // `target` is the raw request target, e.g. "/stat/wordsstat.pl?rpt=ppc&text=%EA".
  explicit Query(std::string_view target);

  // The decoded value of the first pair named `name`; none when absent.
  std::optional<std::string> Value(std::string_view name) const;

 private:
  std::vector<std::pair<std::string, std::string>> pairs_;
};

// Every byte but ASCII letters, digits, "-", "_" and "." as "%XX", so the
// result is safe in a query and in an HTML attribute.
std::string PercentEncode(std::string_view bytes);

}  // namespace kv::statsim
