#pragma once
// A cookie manager under a fixed collation (Russian) and a fixed time zone,
// with short ways to store response cookies and ask for the request header.

#include <gtest/gtest.h>

#include <string>

#include "base/collation.h"
#include "fixed_zone.h"
#include "http/cookie_manager.h"
#include "http/internet_date.h"

namespace kv::testing {

inline constexpr const char* kHost = "h.example.ru";

class CookieTest : public ::testing::Test {
 protected:
  void SetUp() override { SetDefaultCollatorLocale("ru_RU"); }

  void Store(const std::string& value, const std::string& host = kHost) { manager.StoreSetCookie(value, host); }
  std::string HeaderFor(const std::string& url, bool secure = false) {
    return manager.CookieHeaderFor(TIdURI(url), secure);
  }
  // The per-domain list of `domain`, or nullptr.
  TIdCookieList* Filed(const std::string& domain) {
    TIdDomainIndexLock lock(manager.CookieCollection(), caRead);
    const int at = lock.Index().IndexOf(domain);
    return at < 0 ? nullptr : lock.Index().Value(at).get();
  }
  // An internet date `seconds` from now, as a server would write it.
  static std::string DateFromNow(double seconds) { return InternetDateText(Now() + seconds / kSecondsPerDay); }

  FixedZone zone{"MSK-3"};
  TIdCookieManager manager;
};

}  // namespace kv::testing
