#pragma once
// The cookie collection: it owns every cookie record and files the stored
// ones in the domain index (domain -> name -> record), which a
// reader/writer lock guards. The lock also guards the collection's own list
// of records.

#include <vector>

#include "base/component.h"
#include "http/cookie.h"
#include "http/cookie_list.h"
#include "base/read_write_lock.h"

namespace kv {

enum TIdCookieAccess { caRead, caWrite };

class TIdCookies {
 public:
  // A server that invents a new cookie name on every response would
  // otherwise grow the store, and the "Cookie" header, without end. Beyond
  // these counts a cookie of a new name is refused; replacing a stored one
  // always works.
  static constexpr int kMaxCookiesPerDomain = 50;
  static constexpr int kMaxCookies = 3000;

  explicit TIdCookies(Component* owner = nullptr) : owner_(owner) {}
  // Destroys every record (each takes itself out of the index), then the
  // index.
  ~TIdCookies();
  TIdCookies(const TIdCookies&) = delete;
  TIdCookies& operator=(const TIdCookies&) = delete;

  Component* Owner() const noexcept { return owner_; }

  // Every record of the collection, filed in the index or not.
  int Count();
  TIdNetscapeCookie* Items(int index);

  // An empty record of that class inside the collection, not yet filed.
  TIdCookieRFC2109* NewRfc2109Cookie() { return new TIdCookieRFC2109(this); }
  TIdCookieRFC2965* NewRfc2965Cookie() { return new TIdCookieRFC2965(this); }

  // Files a record of this collection under its domain and name. When a
  // record of that name (ignoring case) is stored already, that one takes
  // over from `cookie` and keeps its place and key, and `cookie` is
  // destroyed; so it is when it is refused for the limits above or when
  // taking over fails.
  void StoreCookie(TIdNetscapeCookie* cookie);

  // Takes the lock and gives the domain index; every LockDomainIndex needs
  // its UnlockDomainIndex with the same access. The write lock may be taken
  // again by the thread that holds it.
  TIdCookieDomainIndex& LockDomainIndex(TIdCookieAccess access);
  void UnlockDomainIndex(TIdCookieAccess access);

 private:
  friend class TIdNetscapeCookie;
  // Called by the record's constructor and destructor.
  void Insert(TIdNetscapeCookie* cookie);
  void Remove(TIdNetscapeCookie* cookie);
  // Removes the index entry that refers to this very record, if any.
  void Unfile(const TIdNetscapeCookie* cookie);

  Component* owner_;
  std::vector<TIdNetscapeCookie*> items_;
  TIdCookieDomainIndex index_;
  TMultiReadExclusiveWriteSynchronizer lock_;
};

// Holds the domain index's lock for one scope.
class TIdDomainIndexLock {
 public:
  TIdDomainIndexLock(TIdCookies& cookies, TIdCookieAccess access)
      : cookies_(cookies), access_(access), index_(cookies.LockDomainIndex(access)) {}
  ~TIdDomainIndexLock() { cookies_.UnlockDomainIndex(access_); }
  TIdDomainIndexLock(const TIdDomainIndexLock&) = delete;
  TIdDomainIndexLock& operator=(const TIdDomainIndexLock&) = delete;

  TIdCookieDomainIndex& Index() const noexcept { return index_; }

 private:
  TIdCookies& cookies_;
  TIdCookieAccess access_;
  TIdCookieDomainIndex& index_;
};

}  // namespace kv
