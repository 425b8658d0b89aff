#include "http/cookie_manager.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "base/collation.h"
#include "http/cookie_host.h"
#include "http/internet_date.h"

namespace kv {
namespace {

// A line break in a name or value would end the "Cookie" header line early
// and let the rest of the value pass for a header of its own.
bool FitsOnHeaderLine(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

// A cookie path is sent for directories that begin with it; case counts.
bool PathCoversDirectory(std::string_view path, std::string_view directory) {
  return !path.empty() && directory.substr(0, path.size()) == path;
}

struct Candidate {
  const std::string* Path;
  const TIdNetscapeCookie* Cookie;
};

}  // namespace

TIdCookieManager::TIdCookieManager(Component* owner) : TIdCookieManager(owner, nullptr) {}

TIdCookieManager::TIdCookieManager(Component* owner, TOnManagerEvent onCreate)
    : TIdBaseComponent(owner), OnCreate(std::move(onCreate)), cookies_(std::make_unique<TIdCookies>(this)) {
  DoOnCreate();
}

TIdCookieManager::~TIdCookieManager() {
  try {
    DropExpiredCookies();
  } catch (const EIdFailedToRetreiveTimeZoneInfo&) {
    // Without the time zone nothing can be judged; every cookie goes below.
  }
  DoOnDestroy();
  cookies_.reset();
}

void TIdCookieManager::DoOnCreate() {
  if (OnCreate) OnCreate(this, cookies_.get());
}

void TIdCookieManager::DoOnDestroy() {
  if (OnDestroy) OnDestroy(this, cookies_.get());
}

bool TIdCookieManager::DoOnNewCookie(TIdNetscapeCookie* cookie) {
  bool accept = true;
  if (OnNewCookie) OnNewCookie(this, cookie, accept);
  return accept;
}

void TIdCookieManager::StoreSetCookie(const std::string& value, const std::string& host) {
  StoreResponseCookie(cookies_->NewRfc2109Cookie(), value, host);
}

void TIdCookieManager::StoreSetCookie2(const std::string& value, const std::string& host) {
  StoreResponseCookie(cookies_->NewRfc2965Cookie(), value, host);
}

void TIdCookieManager::StoreResponseCookie(TIdNetscapeCookie* cookie, const std::string& value,
                                           const std::string& host) {
  // The record is the collection's from birth; until it is filed, any way
  // out (a refusal, a failed parse) destroys it.
  std::unique_ptr<TIdNetscapeCookie> unfiled(cookie);
  cookie->ParseCookieText(value);
  if (cookie->Domain().empty()) cookie->SetDomain(host);
  if (!cookie->AcceptableForHost(host)) return;
  if (!FitsOnHeaderLine(cookie->Name()) || !FitsOnHeaderLine(cookie->Value())) return;
  if (!DoOnNewCookie(cookie)) return;
  cookies_->StoreCookie(unfiled.release());
}

std::string TIdCookieManager::CookieHeaderFor(const TIdURI& uri, bool secureConnection) {
  {
    // An empty jar has nothing to send and nothing to drop: asked before
    // every request, it is answered under the shared lock alone.
    TIdDomainIndexLock lock(*cookies_, caRead);
    if (lock.Index().Count() == 0) return {};
  }
  DropExpiredCookies();
  TIdDomainIndexLock lock(*cookies_, caRead);
  const TIdCookieDomainIndex& index = lock.Index();

  // Ordered by path; a candidate goes before those of an equal path, and
  // the header is written from the last to the first, so longer paths come
  // first and equal paths keep the order in which they were met.
  std::vector<Candidate> candidates;
  for (int d = 0; d < index.Count(); ++d) {
    if (!DomainReachesHost(index.Key(d), uri.Host)) continue;
    const TIdCookieList& cookies = *index.Value(d);
    for (int c = cookies.Count() - 1; c >= 0; --c) {
      const TIdNetscapeCookie* cookie = cookies.Value(c);
      if (!PathCoversDirectory(cookie->Path(), uri.Directory)) continue;
      if (cookie->Secure() && !secureConnection) continue;
      if (cookie->Value().empty()) continue;
      const auto at = std::lower_bound(candidates.begin(), candidates.end(), cookie->Path(),
                                       [](const Candidate& candidate, const std::string& path) {
                                         return CompareText(*candidate.Path, path) < 0;
                                       });
      candidates.insert(at, Candidate{&cookie->Path(), cookie});
    }
  }

  std::string header;
  for (auto it = candidates.rbegin(); it != candidates.rend(); ++it) {
    if (!header.empty()) header += "; ";
    header += it->Cookie->NameValueText();
  }
  return header;
}

void TIdCookieManager::DropExpiredCookies() {
  TIdDomainIndexLock lock(*cookies_, caWrite);
  TIdCookieDomainIndex& index = lock.Index();
  // The clock is read once, and only when there is an expiry to judge.
  std::optional<TDateTime> now;
  for (int d = 0; d < index.Count(); ++d) {
    TIdCookieList& cookies = *index.Value(d);
    // From the last to the first, so that a destroyed record, which takes
    // its own entry out of this list, moves no entry still to be looked at.
    for (int c = cookies.Count() - 1; c >= 0; --c) {
      const std::string& expiry = cookies.Value(c)->ExpiryText();
      if (expiry.empty()) continue;
      if (!now) now = Now();
      if (*now > InternetDateToLocal(expiry)) delete cookies.Value(c);
    }
  }
}

}  // namespace kv
