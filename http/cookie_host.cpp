#include "http/cookie_host.h"

#include "base/int_conversion.h"
#include "base/text_tokens.h"

namespace kv {

bool IsDottedQuad(std::string_view text) {
  std::string rest = Trim(text);
  for (int piece = 0; piece < 4; ++piece) {
    const auto number = TryStrToInt(CutToken(rest, "."));
    if (!number || *number < 0 || *number > 255) return false;
  }
  return true;
}

bool IsPlainHostName(std::string_view text) {
  if (IsDottedQuad(text)) return false;
  return !(text.find('.') != std::string_view::npos && text.front() == '.');
}

std::string DomainOfHost(std::string_view host) {
  const size_t dot = host.find('.');
  return std::string(dot == std::string_view::npos ? host : host.substr(dot));
}

bool NamesMoreThanTopLevel(std::string_view domain) {
  if (domain.empty() || domain.front() != '.') return true;
  const size_t inner = domain.find('.', 1);
  return inner != std::string_view::npos && inner + 1 < domain.size();
}

bool DomainReachesHost(std::string_view domain, std::string_view host) {
  if (domain.empty() || host.size() < domain.size()) return false;
  const size_t start = host.size() - domain.size();
  if (!SameTextAscii(host.substr(start), domain)) return false;
  return start == 0 || domain.front() == '.' || host[start - 1] == '.';
}

}  // namespace kv
