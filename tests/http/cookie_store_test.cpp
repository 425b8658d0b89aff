#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/cp1251.h"
#include "cookie_fixture.h"

namespace kv {
namespace {

using testing::CookieTest;
using testing::kHost;

TEST_F(CookieTest, PathAndDomainDecideWhereACookieGoes) {
  for (const char* value : {"root=1; path=/", "stat=2; path=/stat/", "upper=3; path=/STAT/",
                            "file=4; path=/stat/wordsstat.pl", "nopath=5", "empty=; path=/",
                            "wide=6; path=/; domain=.example.ru"})
    Store(value);
  struct Case { const char* url; const char* header; };
  const Case cases[] = {
      {"http://h.example.ru/", "root=1; wide=6"},
      {"http://h.example.ru/stat/wordsstat.pl?rpt=ppc", "stat=2; root=1; wide=6"},
      {"http://H.EXAMPLE.RU/stat/sub/", "stat=2; root=1; wide=6"},
      {"http://www.example.ru/stat/", "wide=6"},
      {"http://xh.example.ru/", "wide=6"},
      {"http://h.example.ru.evil.net/", ""},
      {"http://example.ru/", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(HeaderFor(c.url), c.header) << c.url;
}

TEST_F(CookieTest, SecureCookiesStayOffPlainConnections) {
  Store("s=1; path=/; secure");
  Store("p=2; path=/");
  EXPECT_EQ(HeaderFor("http://h.example.ru/", false), "p=2");
  EXPECT_EQ(HeaderFor("https://h.example.ru/", true), "p=2; s=1");
}

TEST_F(CookieTest, LongerPathsFirstThenDomainsThenLaterStored) {
  for (const auto& order : {std::vector<std::string>{"r=1; path=/", "s=2; path=/stat/"},
                            std::vector<std::string>{"s=2; path=/stat/", "r=1; path=/"}}) {
    TIdCookieManager fresh;
    for (const auto& value : order) fresh.StoreSetCookie(value, kHost);
    EXPECT_EQ(fresh.CookieHeaderFor(TIdURI("http://h.example.ru/stat/"), false), "s=2; r=1") << order[0];
    EXPECT_EQ(fresh.CookieHeaderFor(TIdURI("http://h.example.ru/"), false), "r=1");
  }
  Store("a=1; path=/");
  Store("b=2; path=/; domain=.example.ru");
  Store("c=3; path=/");
  EXPECT_EQ(HeaderFor("http://h.example.ru/"), "c=3; a=1; b=2");
}

TEST_F(CookieTest, NamesDifferingOnlyInCaseReplaceInPlace) {
  struct Case { std::string first, second, header; };
  const Case cases[] = {
      {"SID=1; path=/", "sid=3; path=/", "sid=3"},
      {Utf8ToCp1251("Сессия=1; path=/"), Utf8ToCp1251("СЕССИЯ=2; path=/"), Utf8ToCp1251("СЕССИЯ=2")},
  };
  for (const auto& c : cases) {
    TIdCookieManager fresh;
    fresh.StoreSetCookie(c.first, kHost);
    fresh.StoreSetCookie("other=2; path=/", kHost);
    fresh.StoreSetCookie(c.second, kHost);
    EXPECT_EQ(fresh.CookieHeaderFor(TIdURI("http://h.example.ru/"), false), "other=2; " + c.header);
    EXPECT_EQ(fresh.CookieCollection().Count(), 2);
    TIdDomainIndexLock lock(fresh.CookieCollection(), caRead);
    const TIdCookieList& cookies = *lock.Index().Value(0);
    EXPECT_EQ(cookies.Key(0), c.first.substr(0, c.first.find('=')));  // the key as first stored
  }
}

TEST_F(CookieTest, ExpiredAndUnreadableDatesDropAtTheNextRequest) {
  Store("past=1; path=/; expires=" + DateFromNow(-60));
  Store("unreadable=2; path=/; expires=someday");
  Store("future=3; path=/; expires=" + DateFromNow(3600));
  Store("zero=4; path=/; max-age=0");
  Store("hour=5; path=/; max-age=3600");
  Store("session=6; path=/");
  Store("negative=7; path=/; max-age=-5");
  EXPECT_EQ(manager.CookieCollection().Count(), 7);
  EXPECT_EQ(HeaderFor("http://h.example.ru/"), "session=6; hour=5; future=3");
  EXPECT_EQ(manager.CookieCollection().Count(), 3);
  EXPECT_EQ(Filed(kHost)->Count(), 3);
}

TEST_F(CookieTest, EmptyValueReplacementHidesTheCookieUntilAValueComesBack) {
  Store("sid=1; path=/");
  Store("sid=; path=/");
  EXPECT_EQ(HeaderFor("http://h.example.ru/"), "");
  const TIdNetscapeCookie& stored = *Filed(kHost)->Value(0);
  EXPECT_EQ(Filed(kHost)->Key(0), "sid");
  EXPECT_EQ(stored.Name(), "path");
  EXPECT_EQ(stored.Value(), "/");
  EXPECT_EQ(stored.Path(), "");
  Store("sid=2; path=/");
  EXPECT_EQ(HeaderFor("http://h.example.ru/"), "sid=2");
  EXPECT_EQ(manager.CookieCollection().Count(), 1);
}

TEST_F(CookieTest, AReplacementKeepsItsExpiryDate) {
  Store("sid=1; path=/");
  const std::string later = DateFromNow(3600);
  Store("sid=2; path=/; expires=" + later);
  EXPECT_EQ(Filed(kHost)->Value(0)->ExpiryText(), later);
  Store("sid=deleted; path=/; expires=" + DateFromNow(-60));
  EXPECT_EQ(HeaderFor("http://h.example.ru/"), "");
  EXPECT_EQ(manager.CookieCollection().Count(), 0);
}

TEST_F(CookieTest, ARefusedCookieLeavesTheStoredOneUntouched) {
  Store("sid=1; path=/");
  bool refuse = false;
  manager.OnNewCookie = [&refuse](Component*, TIdNetscapeCookie* cookie, bool& accept) {
    EXPECT_EQ(cookie->Domain(), kHost);  // the host stands in for a missing domain
    if (refuse) accept = false;
  };
  Store("sid=2; path=/; domain=.other.ru");
  Store("sid=3; path=/; domain=.ru", "example.ru");
  Store("sid=4\rX-Injected: 1; path=/");
  refuse = true;
  Store("sid=5; path=/");
  EXPECT_THROW(manager.StoreSetCookie2("sid=6; path=/; Port=\"80,x\"", kHost), EConvertError);
  EXPECT_EQ(HeaderFor("http://h.example.ru/"), "sid=1");
  EXPECT_EQ(manager.CookieCollection().Count(), 1);
}

TEST_F(CookieTest, NewNamesBeyondTheDomainLimitAreRefused) {
  for (int i = 0; i <= TIdCookies::kMaxCookiesPerDomain; ++i) Store("n" + std::to_string(i) + "=1; path=/");
  EXPECT_EQ(Filed(kHost)->Count(), TIdCookies::kMaxCookiesPerDomain);
  EXPECT_EQ(Filed(kHost)->IndexOf("n" + std::to_string(TIdCookies::kMaxCookiesPerDomain)), -1);
  Store("n0=2; path=/");
  EXPECT_EQ(Filed(kHost)->Value(0)->Value(), "2");
}

TEST_F(CookieTest, ADestroyedRecordTakesItsIndexEntryAlong) {
  Store("a=1; path=/");
  Store("b=2; path=/");
  Store("c=3; path=/");
  delete Filed(kHost)->Value(1);
  // A record moved to another domain after filing is still found.
  TIdNetscapeCookie* moved = Filed(kHost)->Value(0);
  moved->SetDomain("elsewhere.ru");
  delete moved;
  EXPECT_EQ(Filed(kHost)->Count(), 1);
  EXPECT_EQ(HeaderFor("http://h.example.ru/"), "c=3");
}

TEST(CookieManagerLife, EventsAndOwnership) {
  TIdCookies* created = nullptr;
  TIdCookies* destroyed = nullptr;
  {
    Component owner;
    auto* manager = new TIdCookieManager(&owner, [&](Component*, TIdCookies* cookies) { created = cookies; });
    EXPECT_EQ(created, &manager->CookieCollection());
    manager->OnDestroy = [&destroyed, manager](Component* sender, TIdCookies* cookies) {
      EXPECT_EQ(sender, manager);
      destroyed = cookies;
    };
    manager->StoreSetCookie("a=1; path=/", kHost);
  }
  EXPECT_EQ(destroyed, created);
}

}  // namespace
}  // namespace kv
