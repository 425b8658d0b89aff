#pragma once
// The cookie manager of the HTTP client: it keeps the cookies that
// responses set, drops them when they expire, and writes the "Cookie"
// header value for a request. Nothing is written to disk.

#include <functional>
#include <memory>
#include <string>

#include "http/cookies.h"
#include "http/uri.h"
#include "net/component.h"

namespace kv {

using TOnManagerEvent = std::function<void(Component* ASender, TIdCookies* ACookieCollection)>;
// The handler may clear VAccept to refuse the cookie.
using TOnNewCookieEvent = std::function<void(Component* ASender, TIdNetscapeCookie* ACookie, bool& VAccept)>;

class TIdCookieManager : public TIdBaseComponent {
 public:
  explicit TIdCookieManager(Component* owner = nullptr);
  // The same, with OnCreate attached in time to be raised.
  TIdCookieManager(Component* owner, TOnManagerEvent onCreate);
  // Drops the expired cookies, raises OnDestroy (its handler must not
  // throw), then frees every cookie.
  ~TIdCookieManager() override;

  // Stores the cookie of one "Set-cookie" (or "Set-cookie2") value of a
  // response from `host`. A cookie refused for its host, for a line break
  // in its name or value, or by OnNewCookie is dropped without a word.
  // A "Port" list item of a "Set-cookie2" value that is not a number raises
  // EConvertError; nothing stored is touched then.
  void StoreSetCookie(const std::string& value, const std::string& host);
  void StoreSetCookie2(const std::string& value, const std::string& host);

  // The "Cookie" header value for a request to `uri` (its Host and
  // Directory count); empty text means no header. Secure cookies go only
  // over a secure connection. Expired cookies are dropped first.
  std::string CookieHeaderFor(const TIdURI& uri, bool secureConnection);

  // Destroys every stored cookie whose expiry date has passed; a date that
  // cannot be read counts as long past.
  void DropExpiredCookies();

  TIdCookies& CookieCollection() const noexcept { return *cookies_; }

  TOnManagerEvent OnCreate;
  TOnManagerEvent OnDestroy;
  TOnNewCookieEvent OnNewCookie;

 protected:
  virtual void DoOnCreate();
  virtual void DoOnDestroy();
  // The answer of OnNewCookie; true without a handler.
  virtual bool DoOnNewCookie(TIdNetscapeCookie* cookie);

 private:
  // Parses `cookie` (a new record of the collection) from `value`, then
  // files or drops it.
  void StoreResponseCookie(TIdNetscapeCookie* cookie, const std::string& value, const std::string& host);

  std::unique_ptr<TIdCookies> cookies_;
};

}  // namespace kv
