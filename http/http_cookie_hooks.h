#pragma once
// The points where the client meets its cookie manager: the "Cookie" value
// of a request, the cookies a response sets, and the manager the client
// makes for itself when cookies are allowed.
#include <memory>
#include <string>

#include "http/uri.h"

namespace kv {

class Component;
class TIdCookieManager;

// A manager owned by the client; null while the client keeps no cookies.
TIdCookieManager* MakeCookieManager(Component* owner);
void FreeCookieManager(TIdCookieManager* manager);
Component* CookieManagerComponent(TIdCookieManager* manager);

std::string CookieHeaderFor(TIdCookieManager& manager, const TIdURI& uri, bool secure_connection);
void StoreSetCookie(TIdCookieManager& manager, const std::string& value, const std::string& host);
void StoreSetCookie2(TIdCookieManager& manager, const std::string& value, const std::string& host);

}  // namespace kv
