// Interim: the client keeps no cookies until the cookie store lands.
#include "http/http_cookie_hooks.h"

namespace kv {

TIdCookieManager* MakeCookieManager(Component*) { return nullptr; }
void FreeCookieManager(TIdCookieManager*) {}
Component* CookieManagerComponent(TIdCookieManager*) { return nullptr; }
std::string CookieHeaderFor(TIdCookieManager&, const TIdURI&, bool) { return {}; }
void StoreSetCookie(TIdCookieManager&, const std::string&, const std::string&) {}
void StoreSetCookie2(TIdCookieManager&, const std::string&, const std::string&) {}

}  // namespace kv
