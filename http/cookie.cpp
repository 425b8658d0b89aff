#include "http/cookie.h"

#include <algorithm>
#include <cmath>

#include "base/int_conversion.h"
#include "base/text_tokens.h"
#include "base/comma_text.h"
#include "http/cookie_host.h"
#include "http/cookie_text.h"
#include "http/cookies.h"
#include "http/internet_date.h"

namespace kv {
namespace {

// Appends "name=value" (or the bare word when `name` is empty) to a cookie
// text, "; " between parts; a part with an empty value is left out.
void AppendPart(std::string& text, std::string_view name, std::string_view value) {
  if (value.empty()) return;
  if (!text.empty()) text += "; ";
  text += name;
  text += "=";
  text += value;
}

void AppendWord(std::string& text, std::string_view word) {
  if (!text.empty()) text += "; ";
  text += word;
}

// Now plus `seconds`, cut down to the whole second: the date text has no
// finer grain, and rounding up would let a max-age of 0 outlive the next
// request.
TDateTime WholeSecondsFromNow(int64_t seconds) {
  const double now = Now() * kSecondsPerDay;
  return (std::floor(now) + static_cast<double>(seconds)) / kSecondsPerDay;
}

bool IsQuoted(std::string_view text) { return !text.empty() && text.front() == '"' && text.back() == '"'; }

}  // namespace

// ---- TIdNetscapeCookie ------------------------------------------------------

TIdNetscapeCookie::TIdNetscapeCookie(TIdCookies* collection) : TIdNetscapeCookie(collection, ckNetscape) {}

TIdNetscapeCookie::TIdNetscapeCookie(TIdCookies* collection, TIdCookieKind kind)
    : collection_(collection), kind_(kind) {
  if (collection_) collection_->Insert(this);
}

TIdNetscapeCookie::~TIdNetscapeCookie() {
  if (collection_) collection_->Remove(this);
}

void TIdNetscapeCookie::ParseCookieText(const std::string& text) {
  if (text == raw_text_) return;
  raw_text_ = text;
  TIdCookieTextParts parts = SplitCookieText(text);
  name_ = std::move(parts.Name);
  value_ = std::move(parts.Value);
  ApplyAttributes(parts.Attributes);
}

void TIdNetscapeCookie::ApplyAttributes(const TIdCookieAttributes& attributes) {
  // Servers quote paths now and then; one quote at either end goes.
  path_ = attributes.Value("PATH");
  if (!path_.empty() && path_.front() == '"') path_.erase(0, 1);
  if (!path_.empty() && path_.back() == '"') path_.pop_back();
  SetExpiryText(attributes.Value("EXPIRES"));
  domain_ = attributes.Value("DOMAIN");
  secure_ = attributes.Has("SECURE");
}

void TIdNetscapeCookie::SetExpiryText(const std::string& text) { expiry_text_ = text; }

std::string TIdNetscapeCookie::FormatCookieText() const {
  std::string text;
  AppendPart(text, name_, value_);
  AppendPart(text, "path", path_);
  if (kind_ == ckNetscape) AppendPart(text, "expires", expiry_text_);
  AppendPart(text, "domain", domain_);
  if (secure_) AppendWord(text, "secure");
  return text;
}

bool TIdNetscapeCookie::AcceptableForHost(std::string_view host) const {
  if (!NamesMoreThanTopLevel(domain_)) return false;
  if (IsDottedQuad(host)) return domain_ == host;
  if (IsPlainHostName(host)) {
    if (IsPlainHostName(domain_)) return domain_ == host;
    return domain_ == DomainOfHost(host);
  }
  return SameTextAscii(domain_, DomainOfHost(host));
}

void TIdNetscapeCookie::TakeOverFrom(const TIdNetscapeCookie& source) {
  if (&source == this || dynamic_cast<const TIdCookieRFC2109*>(&source) == nullptr) return;
  ParseCookieText(source.FormatCookieText());
  kind_ = source.kind_;
  // The text above carries an expiry date only for the Netscape kind; the
  // date of a replacement of the richer kinds must not be lost, or a server
  // could never make a cookie expire by setting it again with a past date.
  expiry_text_ = source.expiry_text_;
}

// ---- TIdCookieRFC2109 -------------------------------------------------------

void TIdCookieRFC2109::ApplyAttributes(const TIdCookieAttributes& attributes) {
  TIdNetscapeCookie::ApplyAttributes(attributes);
  // A max-age of 0 or less asks for the cookie to go at once; a negative
  // one must not read as "no max-age" (-1), which would keep it for the
  // whole session.
  const std::optional<int32_t> max_age = TryStrToInt(attributes.Value("MAX-AGE"));
  max_age_ = max_age ? std::max<int64_t>(*max_age, 0) : -1;
  version_ = attributes.Value("VERSION");
  comment_ = attributes.Value("COMMENT");
  if (ExpiryText().empty()) {
    SetKind(ckNetscape);
    if (max_age_ >= 0) SetExpiryText(InternetDateText(WholeSecondsFromNow(max_age_)));
  }
}

void TIdCookieRFC2109::SetExpiryText(const std::string& text) {
  if (!text.empty()) {
    try {
      const double seconds = std::trunc((InternetDateToLocal(text) - Now()) * kSecondsPerDay);
      if (std::isfinite(seconds) && std::fabs(seconds) < 9.0e18) max_age_ = static_cast<int64_t>(seconds);
    } catch (const EIdFailedToRetreiveTimeZoneInfo&) {
      // Without the zone there is no telling; max-age stays as it was.
    }
  }
  TIdNetscapeCookie::SetExpiryText(text);
}

std::string TIdCookieRFC2109::FormatCookieText() const {
  std::string text = TIdNetscapeCookie::FormatCookieText();
  if (max_age_ >= 0 && ExpiryText().empty()) AppendPart(text, "max-age", IntToStr(max_age_));
  AppendPart(text, "comment", comment_);
  AppendPart(text, "version", version_);
  return text;
}

// ---- TIdCookieRFC2965 -------------------------------------------------------

void TIdCookieRFC2965::ApplyAttributes(const TIdCookieAttributes& attributes) {
  TIdCookieRFC2109::ApplyAttributes(attributes);
  comment_url_ = attributes.Value("CommentURL");
  discard_ = attributes.Has("DISCARD");
  const std::string ports = attributes.Value("Port");
  if (ports.empty()) {
    SetPort(0, 80);
    return;
  }
  // A port value without quotes is not a list this record reads.
  if (!IsQuoted(ports)) return;
  const std::vector<std::string> items =
      SplitCommaText(ports.size() >= 2 ? std::string_view(ports).substr(1, ports.size() - 2) : std::string_view());
  if (items.empty()) {
    SetPort(0, 80);
    return;
  }
  for (size_t i = 0; i < items.size(); ++i) SetPort(static_cast<int>(i), StrToInt(items[i]));
}

void TIdCookieRFC2965::SetPort(int index, int32_t port) {
  if (index < 0 || index > static_cast<int>(port_list_.size())) throw EIdCookiePortIndexError();
  if (index == static_cast<int>(port_list_.size())) {
    port_list_.push_back(port);
  } else {
    port_list_[static_cast<size_t>(index)] = port;
  }
}

}  // namespace kv
