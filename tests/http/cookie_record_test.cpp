#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/collation.h"
#include "base/cp1251.h"
#include "fixed_zone.h"
#include "base/comma_text.h"
#include "http/cookie.h"
#include "http/cookie_text.h"
#include "http/internet_date.h"

namespace kv {
namespace {

using Items = std::vector<std::string>;

class CookieRecordTest : public ::testing::Test {
 protected:
  void SetUp() override { SetDefaultCollatorLocale("ru_RU"); }
  testing::FixedZone zone{"MSK-3"};
};

TEST_F(CookieRecordTest, TextIsCutAtSemicolonsOrElseAtLineBreaks) {
  struct Case { std::string text; Items items; };
  const Case cases[] = {
      {"a=b; path=/", {"a=b", "path=/"}},
      {"a=b;;\tx ", {"a=b", "", "x"}},
      {"a=b;", {"a=b"}},
      {"a=b; ", {"a=b", ""}},
      {" a=b \r\nc=d", {" a=b ", "c=d"}},  // no ";": split at line breaks, untrimmed
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(CookieTextItems(c.text), c.items) << c.text;
}

TEST_F(CookieRecordTest, NameValueAndFirstOccurrenceOfEachAttribute) {
  struct Case { std::string text, name, value, path, domain; bool secure; };
  const Case cases[] = {
      {"a=b=c; path=/", "a", "b=c", "/", "", false},
      {"n=v; PATH=/a; path=/b; Domain=x.ru; DOMAIN=y.ru", "n", "v", "/a", "x.ru", false},
      {"path=x; path=/p", "path", "x", "/p", "", false},  // the name part is no attribute
      {"n=v; secure=1", "n", "v", "", "", false},
      {"n=v; SeCuRe", "n", "v", "", "", true},
      {"flag; =v; path=/", "", "v", "/", "", false},
      {"", "", "", "", "", false},
  };
  for (const auto& c : cases) {
    TIdCookieRFC2109 cookie;
    cookie.ParseCookieText(c.text);
    EXPECT_EQ(cookie.Name(), c.name) << c.text;
    EXPECT_EQ(cookie.Value(), c.value) << c.text;
    EXPECT_EQ(cookie.Path(), c.path) << c.text;
    EXPECT_EQ(cookie.Domain(), c.domain) << c.text;
    EXPECT_EQ(cookie.Secure(), c.secure) << c.text;
  }
  // Attribute names match under the locale's case rules, not only ASCII's.
  TIdCookieAttributes cyrillic({Utf8ToCp1251("Путь=/a"), Utf8ToCp1251("ПУТЬ=/b")});
  EXPECT_EQ(cyrillic.Value(Utf8ToCp1251("путь")), "/a");
}

TEST_F(CookieRecordTest, OneQuoteIsStrippedFromEitherEndOfThePath) {
  struct Case { const char* path; const char* stored; };
  const Case cases[] = {{"\"/a\"", "/a"}, {"\"", ""}, {"\"\"", ""}, {"\"/a", "/a"}, {"/a\"", "/a"},
                        {"\"\"/a\"\"", "\"/a\""}};
  for (const auto& c : cases) {
    TIdNetscapeCookie cookie;
    cookie.ParseCookieText(std::string("n=v; path=") + c.path);
    EXPECT_EQ(cookie.Path(), c.stored) << c.path;
  }
}

TEST_F(CookieRecordTest, TheSameTextAgainIsNotParsedAgainAnEmptyOneClears) {
  TIdCookieRFC2965 cookie;
  cookie.ParseCookieText("n=v; path=/");
  cookie.SetValue("changed");
  cookie.ParseCookieText("n=v; path=/");
  EXPECT_EQ(cookie.Value(), "changed");
  cookie.ParseCookieText("n=w; path=/");
  EXPECT_EQ(cookie.Value(), "w");
  cookie.ParseCookieText("");
  EXPECT_EQ(cookie.Name(), "");
  EXPECT_EQ(cookie.Value(), "");
  EXPECT_EQ(cookie.Path(), "");
}

TEST_F(CookieRecordTest, MaxAgeAndExpiryDates) {
  const double now = Now();
  auto secondsFromNow = [now](const std::string& date) { return (InternetDateToLocal(date) - now) * kSecondsPerDay; };

  TIdCookieRFC2109 byAge;
  byAge.ParseCookieText("n=v; max-age=60");
  EXPECT_EQ(byAge.Kind(), ckNetscape);
  EXPECT_NEAR(secondsFromNow(byAge.ExpiryText()), 60, 2);
  EXPECT_NEAR(static_cast<double>(byAge.MaxAge()), 60, 2);

  // A date in the text stays the expiry; max-age is the attribute's or -1.
  const std::string date = "Sun, 06 Nov 2094 08:49:37 GMT";
  for (const auto& [text, maxAge] : {std::pair{"n=v; max-age=60; expires=" + date, int64_t{60}},
                                     std::pair{"n=v; expires=" + date, int64_t{-1}}}) {
    TIdCookieRFC2109 byDate;
    byDate.ParseCookieText(text);
    EXPECT_EQ(byDate.ExpiryText(), date);
    EXPECT_EQ(byDate.MaxAge(), maxAge) << text;
    EXPECT_EQ(byDate.Kind(), ckRFC2109);
  }

  TIdCookieRFC2109 badAge;
  badAge.ParseCookieText("n=v; max-age=soon");
  EXPECT_EQ(badAge.MaxAge(), -1);
  EXPECT_EQ(badAge.ExpiryText(), "");

  // An unreadable date counts as long past.
  TIdCookieRFC2109 unreadable;
  unreadable.SetExpiryText("when pigs fly");
  EXPECT_LT(unreadable.MaxAge(), -3'000'000'000LL);
  EXPECT_EQ(unreadable.ExpiryText(), "when pigs fly");
}

TEST_F(CookieRecordTest, FormatWritesTheSetCookieForm) {
  struct Case { std::string text, formatted; };
  const Case cases[] = {
      {"a=b; Path=/; Domain=h.ru; Secure", "a=b; path=/; domain=h.ru; secure"},
      {"a=b; Version=1; Comment=c; path=/", "a=b; path=/; comment=c; version=1"},
      {"a=; path=/", "path=/"},
      // Only the Netscape kind writes its date.
      {"a=b; expires=Sun, 06 Nov 2094 08:49:37 GMT", "a=b"},
  };
  for (const auto& c : cases) {
    TIdCookieRFC2109 cookie;
    cookie.ParseCookieText(c.text);
    EXPECT_EQ(cookie.FormatCookieText(), c.formatted) << c.text;
  }
  TIdNetscapeCookie netscape;
  netscape.ParseCookieText("a=b; expires=Sun, 06 Nov 2094 08:49:37 GMT");
  EXPECT_EQ(netscape.FormatCookieText(), "a=b; expires=Sun, 06 Nov 2094 08:49:37 GMT");
}

TEST_F(CookieRecordTest, PortListOfSetCookie2) {
  struct Case { std::string port; std::vector<int32_t> ports; };
  const Case cases[] = {
      {"", {80}},  {"; Port=\"\"", {80}}, {"; Port=\"8080, 443\"", {8080, 443}},
      {"; port=\"81 82\"", {81, 82}}, {"; Port=8080", {}},
  };
  for (const auto& c : cases) {
    TIdCookieRFC2965 cookie;
    cookie.ParseCookieText("n=v; Discard; CommentURL=u" + c.port);
    EXPECT_EQ(cookie.PortList(), c.ports) << c.port;
    EXPECT_TRUE(cookie.Discard());
    EXPECT_EQ(cookie.CommentURL(), "u");
  }
  for (const auto& [port, message] : {std::pair{"\"80,x\"", "'x' is not a valid integer value"},
                                      std::pair{"\"80,\"", "'' is not a valid integer value"}}) {
    TIdCookieRFC2965 cookie;
    try {
      cookie.ParseCookieText(std::string("n=v; Port=") + port);
      ADD_FAILURE() << port;
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), message);
    }
  }
  TIdCookieRFC2965 cookie;
  cookie.SetPort(0, 1);
  cookie.SetPort(1, 2);
  cookie.SetPort(0, 3);
  EXPECT_EQ(cookie.PortList(), (std::vector<int32_t>{3, 2}));
  for (int index : {-1, 3}) EXPECT_THROW(cookie.SetPort(index, 4), EIdCookiePortIndexError);
  EXPECT_STREQ(EIdCookiePortIndexError().what(), "Index out of range.");
}

TEST_F(CookieRecordTest, CommaTextSplitting) {
  struct Case { std::string text; Items items; };
  const Case cases[] = {
      {"a,b c", {"a", "b", "c"}},  {" a , b ", {"a", "b"}},     {"a,,b", {"a", "", "b"}},
      {"a,", {"a", ""}},           {"\"x, y\",z", {"x, y", "z"}}, {"\"a\"\"b\"", {"a\"b"}},
      {"\"open", {"open"}},        {std::string("a\0b", 3), {"a"}}, {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitCommaText(c.text), c.items) << c.text;
}

}  // namespace
}  // namespace kv
