#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "fixed_zone.h"
#include "http/internet_date.h"
#include "http/proxy_info.h"
#include "http/request_header.h"
#include "http/response_header.h"

namespace kv {
namespace {

using testing::FixedZone;

// An authenticator that answers with its credentials in plain text.
class PlainAuthentication : public TIdAuthentication {
 public:
  std::string CredentialsText() override { return user_.empty() ? std::string() : "Plain " + user_ + "/" + password_; }
  void AssignUserName(std::string_view value) override { user_ = value; }
  void AssignPassword(std::string_view value) override { password_ = value; }
  bool KeepsConnection() const override { return false; }

 private:
  std::string user_;
  std::string password_;
};

std::vector<std::string> LinesOf(const StringList& list) { return list.Lines(); }

TEST(RequestCompose, DefaultsGiveContentTypeAcceptAndUserAgent) {
  TIdRequestHeaderInfo request;
  request.ComposeHeaders();
  EXPECT_EQ(request.HeaderLines.Text(),
            "Content-Type: text/html\r\n"
            "Accept: text/html, */*\r\n"
            "User-Agent: Mozilla/3.0 (compatible; Kvornis)\r\n");
  request.Host = "h";
  request.ComposeHeaders();
  EXPECT_EQ(LinesOf(request.HeaderLines),
            (std::vector<std::string>{"Content-Type: text/html", "Host: h", "Accept: text/html, */*",
                                      "User-Agent: Mozilla/3.0 (compatible; Kvornis)"}));
  EXPECT_EQ(request.HeaderLines.FoldWidth, 1024);
  EXPECT_EQ(request.CustomHeaders.FoldWidth, 78);
  EXPECT_EQ(request.ContentLength, -1);
  EXPECT_FALSE(request.ContentLengthKnown);
}

TEST(RequestCompose, EveryFieldInItsPlace) {
  FixedZone zone("MSK-3");
  TIdRequestHeaderInfo request;
  request.Connection = "keep-alive";
  request.ContentVersion = "1";
  request.ContentEncoding = "gzip";
  request.ContentLanguage = "ru";
  request.ContentType = "text/plain";
  request.SetContentLength(0);
  request.CacheControl = "no-cache";
  TDateTime date = 0;
  ASSERT_TRUE(TryEncodeDate(1994, 11, 6, date));
  request.Date = date;
  request.Expires = date + 1;
  request.Pragma = "no-cache";
  request.CustomHeaders.Add("X-Custom: 1");
  request.ProxyConnection = "keep-alive";
  request.Host = "h:8080";
  request.AcceptCharSet = "windows-1251";
  request.AcceptEncoding = "identity";
  request.AcceptLanguage = "ru";
  request.From = "a@b";
  request.Referer = "http://r/";
  request.LastModified = date;
  request.ContentRangeStart = 10;
  request.ContentRangeEnd = 20;
  request.BasicAuthentication = true;
  request.Username = "u";
  request.Password = "p";
  request.ComposeHeaders();
  EXPECT_EQ(LinesOf(request.HeaderLines),
            (std::vector<std::string>{
                "Connection: keep-alive", "Content-Version: 1", "Content-Encoding: gzip", "Content-Language: ru",
                "Content-Type: text/plain", "Content-Length: 0", "Cache-control: no-cache",
                "Date: Sun, 6 Nov 1994 00:00:00 +0300", "Expires: Mon, 7 Nov 1994 00:00:00 +0300",
                "Pragma: no-cache", "X-Custom: 1", "Proxy-Connection: keep-alive", "Host: h:8080",
                "Accept: text/html, */*", "Accept-Charset: windows-1251", "Accept-Encoding: identity",
                "Accept-Language: ru", "From: a@b", "Referer: http://r/",
                "User-Agent: Mozilla/3.0 (compatible; Kvornis)", "If-Modified-Since: Sun, 6 Nov 1994 00:00:00 +0300",
                "Range: bytes=10-20", "Authorization: Basic dTpw"}));
}

TEST(RequestCompose, RangeForms) {
  struct Case { uint32_t start, end; const char* range; };
  const Case cases[] = {{0, 0, ""}, {5, 0, "bytes=5-"}, {0, 9, "bytes=0-9"}, {4294967295u, 0, "bytes=4294967295-"}};
  for (const auto& c : cases) {
    TIdRequestHeaderInfo request;
    request.ContentRangeStart = c.start;
    request.ContentRangeEnd = c.end;
    request.ComposeHeaders();
    EXPECT_EQ(request.HeaderLines.ValueOf("Range"), c.range);
  }
}

TEST(RequestCompose, CustomLinesFollowUnchangedAndKnownNamesAreReplacedInPlace) {
  TIdRequestHeaderInfo request;
  request.Host = "h";
  request.CustomHeaders.Add("Host: x");
  request.CustomHeaders.Add("X-Two: a\rX-Three: b");
  request.ComposeHeaders();
  EXPECT_EQ(LinesOf(request.HeaderLines),
            (std::vector<std::string>{"Content-Type: text/html", "Host: h", "X-Two: a", "X-Three: b",
                                      "Accept: text/html, */*", "User-Agent: Mozilla/3.0 (compatible; Kvornis)"}));
  // Composing again rebuilds the list from scratch.
  request.ComposeHeaders();
  EXPECT_EQ(request.HeaderLines.Count(), 6);
}

TEST(RequestCompose, CredentialsSentUnasked) {
  TIdRequestHeaderInfo request;
  request.BasicAuthentication = true;
  request.Username = "u";
  request.ComposeHeaders();  // an empty password still sends the colon
  EXPECT_EQ(request.HeaderLines.ValueOf("Authorization"), "Basic dTo=");
  // The authenticator stays; later credentials do not reach it.
  request.Username = "other";
  request.ComposeHeaders();
  EXPECT_EQ(request.HeaderLines.ValueOf("Authorization"), "Basic dTo=");

  TIdRequestHeaderInfo silent;
  silent.Authenticator = std::make_unique<PlainAuthentication>();  // no user: empty credentials
  silent.ComposeHeaders();
  EXPECT_EQ(silent.HeaderLines.IndexOfHeader("Authorization"), -1);
}

TEST(RequestReset, TouchesOnlyItsOwnDefaults) {
  TIdRequestHeaderInfo request;
  request.Accept = "a";
  request.AcceptCharSet = "c";
  request.UserAgent = "u";
  request.BasicAuthentication = true;
  request.Host = "h";
  request.Referer = "r";
  request.CacheControl = "cc";
  request.Pragma = "p";
  request.ContentType = "x";
  request.SetContentLength(5);
  request.CustomHeaders.Add("X: 1");
  request.ResetFields();
  EXPECT_EQ(request.Accept, "text/html, */*");
  EXPECT_EQ(request.AcceptCharSet, "");
  EXPECT_EQ(request.UserAgent, "Mozilla/3.0 (compatible; Kvornis)");
  EXPECT_FALSE(request.BasicAuthentication);
  EXPECT_EQ(request.Host, "h");
  EXPECT_EQ(request.Referer, "r");
  EXPECT_EQ(request.CacheControl, "cc");
  EXPECT_EQ(request.Pragma, "p");
  EXPECT_EQ(request.ContentType, "text/html");
  EXPECT_EQ(request.ContentLength, -1);
  EXPECT_TRUE(request.ContentLengthKnown);  // not reset
  EXPECT_EQ(request.CustomHeaders.Count(), 1);
}

TEST(RequestParse, ReadsAReceivedRequest) {
  TIdRequestHeaderInfo request;
  request.HeaderLines.SetText("Host: h\r\nRange: bytes=100-199 x\r\nUser-Agent: ua\r\nReferer: r\r\n");
  request.ParseHeaders();
  EXPECT_EQ(request.Host, "h");
  EXPECT_EQ(request.UserAgent, "ua");
  EXPECT_EQ(request.Accept, "");
  EXPECT_EQ(request.ContentRangeStart, 100u);
  EXPECT_EQ(request.ContentRangeEnd, 199u);
  request.HeaderLines.SetText("Range: bytes=-5\r\n");
  request.ParseHeaders();
  EXPECT_EQ(request.ContentRangeStart, 0u);
  EXPECT_EQ(request.ContentRangeEnd, 5u);
  const char* bad[] = {"bytes=x-y", "bytes=-1--2", "nonsense", "bytes=="};
  for (const char* range : bad) {
    request.HeaderLines.SetText(std::string("Range: ") + range + "\r\n");
    request.ParseHeaders();
    EXPECT_EQ(request.ContentRangeStart, 0u) << range;
    EXPECT_EQ(request.ContentRangeEnd, 0u) << range;
  }
}

TIdResponseHeaderInfo Parsed(std::string_view text) {
  TIdResponseHeaderInfo response;
  response.HeaderLines.SetText(text);
  response.ParseHeaders();
  return response;
}

TEST(ResponseParse, ContentLengthAndWhetherItIsKnown) {
  struct Case { const char* header; int64_t length; bool known; };
  const Case cases[] = {
      {"content-length: 42\r\n", 42, true},
      {"Content-Length: 0\r\n", 0, true},
      {"Content-Length:  7  \r\n", 7, true},
      {"Content-Length: abc\r\n", -1, false},
      {"Content-Length: 2147483648\r\n", 2147483648, true},
      {"Content-Length: 9223372036854775807\r\n", INT64_MAX, true},
      {"Content-Length: 9223372036854775808\r\n", -1, false},
      {"Content-Length: 99999999999999999999999999\r\n", -1, false},
      {"Content-Length: -5\r\n", -5, false},
      {"Content-Length: 1 2\r\n", -1, false},
      {"", -1, false},
  };
  for (const auto& c : cases) {
    auto response = Parsed(c.header);
    EXPECT_EQ(response.ContentLength, c.length) << c.header;
    EXPECT_EQ(response.ContentLengthKnown, c.known) << c.header;
  }
}

TEST(ResponseParse, FieldsFromTheirHeaders) {
  FixedZone zone("MSK-3");
  auto response = Parsed(
      "Location: http://h/next\r\nServer: s\r\nProxy-Connection: close\r\nConnection: keep-alive\r\n"
      "Content-Type: text/html; charset=windows-1251\r\nContent-Encoding: gzip\r\nContent-Language: ru\r\n"
      "Content-Version: 2\r\nPragma: no-cache\r\nCache-Control: private\r\n"
      "Date: Sun, 06 Nov 1994 08:49:37 GMT\r\nLast-Modified: Sunday, 06-Nov-94 08:49:37 +0100\r\n"
      "WWW-Authenticate: NTLM\r\nWWW-Authenticate: Basic realm=\"x\"\r\nProxy-Authenticate: Basic\r\n"
      "Content-Range: bytes 0-99/1234\r\n");
  EXPECT_EQ(response.Location, "http://h/next");
  EXPECT_EQ(response.Server, "s");
  EXPECT_EQ(response.ProxyConnection, "close");
  EXPECT_EQ(response.Connection, "keep-alive");
  EXPECT_EQ(response.ContentType, "text/html; charset=windows-1251");
  EXPECT_EQ(response.ContentEncoding, "gzip");
  EXPECT_EQ(response.ContentLanguage, "ru");
  EXPECT_EQ(response.ContentVersion, "2");
  EXPECT_EQ(response.Pragma, "no-cache");
  EXPECT_EQ(response.CacheControl, "");  // not read from responses
  EXPECT_EQ(response.ContentRangeStart, 0u);
  EXPECT_EQ(response.ContentRangeEnd, 99u);
  EXPECT_EQ(LinesOf(response.WWWAuthenticate), (std::vector<std::string>{"NTLM", "Basic realm=\"x\""}));
  EXPECT_EQ(LinesOf(response.ProxyAuthenticate), (std::vector<std::string>{"Basic"}));
  TDateTime day = 0;
  ASSERT_TRUE(TryEncodeDate(1994, 11, 6, day));
  EXPECT_NEAR(response.Date, day + (11 * 3600 + 49 * 60 + 37) / kSecondsPerDay, 1e-8);
  EXPECT_NEAR(response.LastModified, day + (10 * 3600 + 49 * 60 + 37) / kSecondsPerDay, 1e-8);

  // A second head overwrites every field; absent ones become empty.
  response.HeaderLines.SetText("Server: t\r\n");
  response.ParseHeaders();
  EXPECT_EQ(response.Location, "");
  EXPECT_EQ(response.ContentType, "");
  EXPECT_EQ(response.WWWAuthenticate.Count(), 0);
  EXPECT_DOUBLE_EQ(response.Date, LocalOffsetFromUtc());
}

TEST(ResponseParse, ExpiresAsSecondsFromNowOrAsADate) {
  FixedZone zone("MSK-3");
  struct Case { const char* value; double seconds; };
  const Case relative[] = {{"3600", 3600}, {"90000", 90000}, {"0", 0}};
  for (const auto& c : relative) {
    const TDateTime before = Now();
    auto response = Parsed(std::string("Expires: ") + c.value + "\r\n");
    const TDateTime after = Now();
    EXPECT_GE(response.Expires, before + c.seconds / kSecondsPerDay - 1e-9) << c.value;
    EXPECT_LE(response.Expires, after + c.seconds / kSecondsPerDay + 1e-9) << c.value;
  }
  auto dated = Parsed("Expires: Thu, 01 Dec 1994 16:00:00 GMT\r\n");
  TDateTime day = 0;
  ASSERT_TRUE(TryEncodeDate(1994, 12, 1, day));
  EXPECT_NEAR(dated.Expires, day + 19.0 / 24.0, 1e-8);
  // -1 is not a number of seconds; as a date it is unreadable.
  EXPECT_DOUBLE_EQ(Parsed("Expires: -1\r\n").Expires, LocalOffsetFromUtc());
}

TEST(ResponseParse, MalformedContentRangeIsAConversionError) {
  const char* bad[] = {"bytes */1234", "bytes 1-x/9", "0-99/1234", "bytes 1--5/9", "bytes 99999999999999999999-1/2"};
  for (const char* range : bad) {
    TIdResponseHeaderInfo response;
    response.HeaderLines.SetText(std::string("Content-Range: ") + range + "\r\n");
    EXPECT_THROW(response.ParseHeaders(), EConvertError) << range;
  }
  TIdResponseHeaderInfo response;
  response.HeaderLines.SetText("Content-Range: bytes */1234\r\n");
  try {
    response.ParseHeaders();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'*/1234' is not a valid integer value");
  }

  // The refusal comes after the response's own fields are read and before
  // the entity fields and the challenges are: those keep the last head's.
  response.HeaderLines.SetText("Content-Type: text/plain\r\nWWW-Authenticate: Basic\r\nConnection: close\r\n");
  response.ParseHeaders();
  response.HeaderLines.SetText(
      "Location: /next\r\nContent-Type: image/png\r\nWWW-Authenticate: Digest\r\nContent-Range: bytes x-1/2\r\n");
  EXPECT_THROW(response.ParseHeaders(), EConvertError);
  EXPECT_EQ(response.Location, "/next");
  EXPECT_EQ(response.ContentType, "text/plain");
  EXPECT_EQ(response.Connection, "close");
  ASSERT_EQ(response.WWWAuthenticate.Count(), 1);
  EXPECT_EQ(response.WWWAuthenticate[0], "Basic");
}

TEST(ResponseCompose, OnlyTheEntityLines) {
  TIdResponseHeaderInfo response;
  response.Location = "l";
  response.Server = "s";
  response.SetContentLength(3);
  response.ComposeHeaders();
  EXPECT_EQ(response.HeaderLines.Text(), "Content-Type: text/html\r\nContent-Length: 3\r\n");
}

TEST(RecordAssign, EachClassCopiesItsOwnFields) {
  TIdRequestHeaderInfo source;
  source.Accept = "a";
  source.AcceptCharSet = "cs";
  source.AcceptEncoding = "e";
  source.AcceptLanguage = "l";
  source.From = "f";
  source.Password = "pw";
  source.Referer = "r";
  source.UserAgent = "ua";
  source.Username = "u";
  source.BasicAuthentication = true;
  source.Host = "h";
  source.ContentType = "text/plain";
  source.CacheControl = "cc";
  source.Connection = "close";
  source.SetContentLength(9);
  source.ContentRangeStart = 1;
  source.ContentRangeEnd = 2;
  source.ContentEncoding = "gzip";
  source.Date = 3;
  source.Expires = 4;
  source.LastModified = 5;
  source.HeaderLines.Add("X: 1");

  // Request into request: the request fields only.
  TIdRequestHeaderInfo request;
  request.Assign(source);
  EXPECT_EQ(request.Accept, "a");
  EXPECT_EQ(request.AcceptCharSet, "cs");
  EXPECT_EQ(request.AcceptEncoding, "e");
  EXPECT_EQ(request.AcceptLanguage, "l");
  EXPECT_EQ(request.From, "f");
  EXPECT_EQ(request.Password, "pw");
  EXPECT_EQ(request.Referer, "r");
  EXPECT_EQ(request.UserAgent, "ua");
  EXPECT_EQ(request.Username, "u");
  EXPECT_TRUE(request.BasicAuthentication);
  EXPECT_EQ(request.Host, "");
  EXPECT_EQ(request.ContentType, "text/html");
  EXPECT_EQ(request.ContentLength, -1);
  EXPECT_EQ(request.HeaderLines.Count(), 0);

  // Request into response: the entity fields, not CacheControl or Connection.
  TIdResponseHeaderInfo response;
  response.Assign(source);
  EXPECT_EQ(response.ContentType, "text/plain");
  EXPECT_EQ(response.ContentLength, 9);
  EXPECT_FALSE(response.ContentLengthKnown);
  EXPECT_EQ(response.ContentRangeStart, 1u);
  EXPECT_EQ(response.ContentRangeEnd, 2u);
  EXPECT_EQ(response.ContentEncoding, "gzip");
  EXPECT_EQ(response.Date, 3);
  EXPECT_EQ(response.Expires, 4);
  EXPECT_EQ(response.LastModified, 5);
  EXPECT_EQ(response.HeaderLines.Text(), "X: 1\r\n");
  EXPECT_EQ(response.HeaderLines.FoldWidth, 1024);
  EXPECT_EQ(response.CacheControl, "");
  EXPECT_EQ(response.Connection, "");

  // Response into request: the entity fields.
  TIdRequestHeaderInfo fromResponse;
  fromResponse.Assign(response);
  EXPECT_EQ(fromResponse.ContentType, "text/plain");
  EXPECT_EQ(fromResponse.Accept, "text/html, */*");

  TIdProxyConnectionInfo proxy;
  try {
    request.Assign(proxy);
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Cannot assign a TIdProxyConnectionInfo to a TIdRequestHeaderInfo");
  }
  EXPECT_THROW(proxy.Assign(request), EConvertError);
}

TEST(ProxyInfo, ChangingTheProxyDropsItsCredentials) {
  TIdProxyConnectionInfo proxy;
  EXPECT_EQ(proxy.ProxyServer(), "");
  EXPECT_EQ(proxy.ProxyPort(), 0);
  proxy.SetProxyServer("p");
  proxy.SetProxyPort(3128);
  proxy.ProxyAuthenticator = std::make_unique<PlainAuthentication>();
  proxy.SetProxyServer("P");
  proxy.SetProxyPort(3128);
  EXPECT_NE(proxy.ProxyAuthenticator, nullptr);
  proxy.SetProxyServer("q");
  EXPECT_EQ(proxy.ProxyAuthenticator, nullptr);
  proxy.ProxyAuthenticator = std::make_unique<PlainAuthentication>();
  proxy.SetProxyPort(8080);
  EXPECT_EQ(proxy.ProxyAuthenticator, nullptr);

  proxy.ProxyUsername = "u";
  proxy.ProxyPassword = "pw";
  proxy.BasicAuthentication = true;
  TIdProxyConnectionInfo copy;
  copy.Assign(proxy);
  EXPECT_EQ(copy.ProxyServer(), "q");
  EXPECT_EQ(copy.ProxyPort(), 8080);
  EXPECT_EQ(copy.ProxyUsername, "u");
  EXPECT_EQ(copy.ProxyPassword, "pw");
  EXPECT_TRUE(copy.BasicAuthentication);

  proxy.ResetFields();
  EXPECT_EQ(proxy.ProxyServer(), "");
  EXPECT_EQ(proxy.ProxyPort(), 0);
  EXPECT_EQ(proxy.ProxyUsername, "");
  EXPECT_EQ(proxy.ProxyPassword, "");
  EXPECT_TRUE(proxy.BasicAuthentication);
}

TEST(ProxyInfo, ComposesProxyAuthorizationWhenThereAreCredentials) {
  TIdHeaderList lines;
  lines.SetText("Host: h\r\n");
  TIdProxyConnectionInfo proxy;
  proxy.ProxyUsername = "u";
  proxy.ProxyPassword = "pw";
  proxy.ComposeHeaders(lines);
  EXPECT_EQ(lines.Count(), 1);
  proxy.BasicAuthentication = true;
  proxy.ComposeHeaders(lines);
  EXPECT_EQ(lines.Text(), "Host: h\r\nProxy-Authorization: Basic dTpwdw==\r\n");
  proxy.ComposeHeaders(lines);
  EXPECT_EQ(lines.Count(), 2);
}

}  // namespace
}  // namespace kv
