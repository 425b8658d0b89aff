#include "http/cookies.h"

#include <algorithm>
#include <memory>
#include <stdexcept>

namespace kv {

TIdCookies::~TIdCookies() {
  while (!items_.empty()) delete items_.back();
}

int TIdCookies::Count() {
  TIdDomainIndexLock lock(*this, caRead);
  return static_cast<int>(items_.size());
}

TIdNetscapeCookie* TIdCookies::Items(int index) {
  TIdDomainIndexLock lock(*this, caRead);
  return items_.at(static_cast<size_t>(index));
}

TIdCookieDomainIndex& TIdCookies::LockDomainIndex(TIdCookieAccess access) {
  if (access == caWrite) {
    lock_.BeginWrite();
  } else {
    lock_.BeginRead();
  }
  return index_;
}

void TIdCookies::UnlockDomainIndex(TIdCookieAccess access) {
  if (access == caWrite) {
    lock_.EndWrite();
  } else {
    lock_.EndRead();
  }
}

void TIdCookies::Insert(TIdNetscapeCookie* cookie) {
  TIdDomainIndexLock lock(*this, caWrite);
  items_.push_back(cookie);
}

void TIdCookies::Remove(TIdNetscapeCookie* cookie) {
  TIdDomainIndexLock lock(*this, caWrite);
  Unfile(cookie);
  items_.erase(std::remove(items_.begin(), items_.end(), cookie), items_.end());
}

void TIdCookies::Unfile(const TIdNetscapeCookie* cookie) {
  auto removeFrom = [cookie](TIdCookieList& list) {
    const int at = list.IndexOfCookie(cookie);
    if (at >= 0) list.Delete(at);
    return at >= 0;
  };
  const int domain = index_.IndexOf(cookie->Domain());
  if (domain >= 0 && removeFrom(*index_.Value(domain))) return;
  // A record whose domain was changed after it was filed still has its
  // entry under the old domain; no entry may outlive its record.
  for (int i = 0; i < index_.Count(); ++i)
    if (removeFrom(*index_.Value(i))) return;
}

void TIdCookies::StoreCookie(TIdNetscapeCookie* cookie) {
  if (cookie == nullptr || cookie->Collection() != this)
    throw std::invalid_argument("StoreCookie: the record belongs to another collection");
  TIdDomainIndexLock lock(*this, caWrite);
  // Destroyed on every way out but filing (the write lock is taken again
  // inside, which the owner of the lock may do).
  std::unique_ptr<TIdNetscapeCookie> unfiled(cookie);

  int domain = index_.IndexOf(cookie->Domain());
  if (domain < 0) {
    index_.Add(cookie->Domain(), std::make_unique<TIdCookieList>());
    domain = index_.Count() - 1;
  }
  TIdCookieList& cookies = *index_.Value(domain);
  const int stored = cookies.IndexOf(cookie->Name());
  if (stored >= 0) {
    cookies.Value(stored)->TakeOverFrom(*cookie);
    return;
  }
  if (cookies.Count() >= kMaxCookiesPerDomain || index_.CookieCount() >= kMaxCookies) return;
  cookies.Add(cookie->Name(), unfiled.release());
}

}  // namespace kv
