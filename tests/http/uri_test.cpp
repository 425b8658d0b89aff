#include "http/uri.h"

#include <gtest/gtest.h>

#include <string>

namespace kv {
namespace {

struct SplitCase {
  const char* url;
  const char* protocol;
  const char* username;
  const char* password;
  const char* host;
  const char* port;
  const char* directory;
  const char* resource;
  const char* query;
  const char* fragment;
};

void ExpectSplit(const SplitCase& c) {
  TIdURI uri(c.url);
  SCOPED_TRACE(c.url);
  EXPECT_EQ(uri.Protocol, c.protocol);
  EXPECT_EQ(uri.Username, c.username);
  EXPECT_EQ(uri.Password, c.password);
  EXPECT_EQ(uri.Host, c.host);
  EXPECT_EQ(uri.Port, c.port);
  EXPECT_EQ(uri.Directory, c.directory);
  EXPECT_EQ(uri.Resource, c.resource);
  EXPECT_EQ(uri.Query, c.query);
  EXPECT_EQ(uri.Fragment, c.fragment);
}

TEST(UriSplit, AbsoluteUrlsGiveTheirFieldsUnencoded) {
  const SplitCase cases[] = {
      {"http://h/stat/wordsstat.pl?rpt=ppc&shw=1", "http", "", "", "h", "", "/stat/", "wordsstat.pl", "?rpt=ppc&shw=1", ""},
      // Without "?", the query starts at the first "=".
      {"http://h/a/b=c", "http", "", "", "h", "", "/a/", "b", "=c", ""},
      {"http://user:pw@h:8080/d/r.pl?q=%C0%20&x=1#frag", "http", "user", "pw", "h", "8080", "/d/", "r.pl",
       "?q=%C0%20&x=1", "frag"},
      {"http://h", "http", "", "", "h", "", "/", "", "", ""},
      {"http://h/dir/", "http", "", "", "h", "", "/dir/", "", "", ""},
      {"https://h:443/", "https", "", "", "h", "443", "/", "", "", ""},
      {"http://h/page#top", "http", "", "", "h", "", "/", "page", "", "top"},
      {"http://h/a?x=1#f", "http", "", "", "h", "", "/", "a", "?x=1", "f"},
      {"http://h/p?k=\xC0\xE1", "http", "", "", "h", "", "/", "p", "?k=\xC0\xE1", ""},
      // The slash inside the query does not end the directory.
      {"http://h/d/x?u=/a/b", "http", "", "", "h", "", "/d/", "x", "?u=/a/b", ""},
      // A bracketed IPv6 host keeps its brackets; the port follows the "]".
      {"http://[::1]:8080/", "http", "", "", "[::1]", "8080", "/", "", "", ""},
      {"http://u:p@[fe80::1%25eth0]/x", "http", "u", "p", "[fe80::1%25eth0]", "", "/", "x", "", ""},
      {"http://[::1]", "http", "", "", "[::1]", "", "/", "", "", ""},
      {"http://[::1:80/", "http", "", "", "[", ":1:80", "/", "", "", ""},  // unclosed: the first ":" as ever
  };
  for (const auto& c : cases) ExpectSplit(c);
}

TEST(UriSplit, CredentialsNeedAUserName) {
  const SplitCase cases[] = {
      {"http://user@h/", "http", "user", "", "h", "", "/", "", "", ""},
      {"http://:pw@h/", "http", "", "", "h", "", "/", "", "", ""},
      {"http://u:p:q@h/", "http", "u", "p:q", "h", "", "/", "", "", ""},
      // The first "@" ends the credentials.
      {"http://u:p@x@h/", "http", "u", "p", "x@h", "", "/", "", "", ""},
  };
  for (const auto& c : cases) ExpectSplit(c);
}

TEST(UriSplit, RelativeUrlsKeepTheirDirectoryAsWritten) {
  const SplitCase cases[] = {
      {"x.pl?a=1", "", "", "", "", "", "", "x.pl", "?a=1", ""},
      {"sub/x.pl", "", "", "", "", "", "sub/", "x.pl", "", ""},
      {"/abs/x.pl", "", "", "", "", "", "/abs/", "x.pl", "", ""},
      // A fragment is cut off a relative URL as well: it must never reach
      // the request line.
      {"x.pl#part", "", "", "", "", "", "", "x.pl", "", "part"},
      {"?q", "", "", "", "", "", "", "", "?q", ""},
  };
  for (const auto& c : cases) ExpectSplit(c);
}

TEST(UriSplit, BackslashesBecomeSlashesEverywhere) {
  TIdURI uri("http:\\\\h\\dir\\x.pl?p=a\\b");
  EXPECT_EQ(uri.Text, "http://h/dir/x.pl?p=a/b");
  EXPECT_EQ(uri.Host, "h");
  EXPECT_EQ(uri.Directory, "/dir/");
  EXPECT_EQ(uri.Resource, "x.pl");
  EXPECT_EQ(uri.Query, "?p=a/b");
}

TEST(UriSplit, HostileTextsNeverFail) {
  const std::string texts[] = {"",    "://", ":///", "?",  "#",   "=",        "@",  "http://@:/",
                               "//",  "\\",  "a#b#c", "http://h:/?#", "http://h/?=#=?"};
  for (const auto& text : texts) {
    TIdURI uri(text);
    EXPECT_EQ(uri.Text, TIdURI::NormalizeSlashes(text));
  }
  // Reparsing clears every field.
  TIdURI uri("http://u:p@h:1/d/r?q#f");
  uri.Parse("");
  EXPECT_EQ(uri.Protocol + uri.Username + uri.Password + uri.Host + uri.Port + uri.Directory + uri.Resource +
                uri.Query + uri.Fragment,
            "");

  const std::string huge = "http://h/" + std::string(1 << 20, '/') + "x?" + std::string(1 << 20, '=');
  TIdURI big(huge);
  EXPECT_EQ(big.Resource, "x");
  EXPECT_EQ(big.Query.size(), (1u << 20) + 1);
}

TEST(UriFullUri, ComposesTheOptionalPartsOnRequest) {
  TIdURI uri("http://u:p@h:80/d/r.pl?a=1#f");
  EXPECT_EQ(uri.FullUri(0), "http://h:80/d/r.pl?a=1");
  EXPECT_EQ(uri.Text, "http://u:p@h:80/d/r.pl?a=1#f");
  EXPECT_EQ(uri.FullUri(ofAuthInfo), "http://u:p@h:80/d/r.pl?a=1");
  EXPECT_EQ(uri.FullUri(ofBookmark), "http://h:80/d/r.pl?a=1#f");
  uri.Password.clear();
  EXPECT_EQ(uri.FullUri(), "http://u@h:80/d/r.pl?a=1#f");
  uri.Port.clear();
  EXPECT_EQ(uri.FullUri(0), "http://h/d/r.pl?a=1");
}

TEST(UriFullUri, NeedsProtocolAndHost) {
  TIdURI relative("x.pl");
  try {
    relative.FullUri();
    FAIL() << "no exception";
  } catch (const EIdURIException& e) {
    EXPECT_STREQ(e.what(), "Protocol field is empty");
  }
  relative.Protocol = "http";
  try {
    relative.FullUri();
    FAIL() << "no exception";
  } catch (const EIdURIException& e) {
    EXPECT_STREQ(e.what(), "Host field is empty");
  }
}

TEST(UriMergePath, ResolvesRelativeDirectories) {
  struct Case { const char* base; const char* path; const char* expected; };
  const Case cases[] = {
      {"/stat/", "", "/stat/"},
      {"", "/stat/", "/stat/"},
      {"/stat/", "/a/", "/a/"},
      {"/stat/", "sub/", "/stat/sub/"},
      {"/stat", "sub/", "/stat/sub/"},
      {"/stat/", "../x/", "/x/"},
      {"/a/b/", "../../../c/", "/c/"},
      {"/a/", "../", "/"},
      {"", "a//b/", "a/b/"},
      {"/a//", "b/", "/a/b/"},
      {"/a/", "b", "/a/b"},
      {"/a/", "b/..", "/a"},
      {"/a/./", "b/", "/a/./b/"},
      {"/a/", "...x/", "/.x/"},
      {"", "../x/", "../x/"},
  };
  for (const auto& c : cases) EXPECT_EQ(MergePath(c.base, c.path), c.expected) << c.base << " + " << c.path;
}

TEST(UriMergePath, ManyParentStepsStopAtTheRoot) {
  std::string path;
  for (int i = 0; i < 100000; ++i) path += "../";
  EXPECT_EQ(MergePath("/a/b/", path + "z/"), "/z/");
}

}  // namespace
}  // namespace kv
