// The proxy address and credentials as the tools read them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/transport_options.h"

namespace kv {
namespace {

TEST(TransportOptions, ProxyUrlsAndCredentials) {
  const std::string kKindNames[] = {"", "socks4 ", "socks4a ", "socks5 "};
  struct Case {
    std::string url;
    std::string expected;  // "[socks kind ]host port [user password]", or the complaint
  };
  const std::vector<Case> cases = {
      {"http://127.0.0.1:3128", "127.0.0.1 3128"},
      {"HTTP://proxy.example:8080/", "proxy.example 8080"},
      {"127.0.0.1", "127.0.0.1 1080"},
      {"proxy.example:1", "proxy.example 1"},
      {"[::1]:3128", "::1 3128"},
      {"http://u:p@h", "h 1080 [u p]"},
      // Percent-decoded, split at the first colon; "@" ends at the last one.
      {"http://us%20er:p%40ss%3A1@h:2", "h 2 [us er p@ss:1]"},
      {"http://a@b:c@h", "h 1080 [a@b c]"},
      {"http://u@h", "h 1080 [u ]"},
      // SOCKS: the kind before the address; both socks5 forms are one.
      {"socks4://127.0.0.1:1081", "socks4 127.0.0.1 1081"},
      {"SOCKS4a://h", "socks4a h 1080"},
      {"socks5://u:p%3A@h:9", "socks5 h 9 [u p:]"},
      {"Socks5h://h/", "socks5 h 1080"},
      {"https://h", "proxy 'https://h': unsupported scheme 'https'; use http://, socks4://, socks4a://, socks5:// "
                    "or socks5h://"},
      {"socks://h", "proxy 'socks://h': unsupported scheme 'socks'; use http://, socks4://, socks4a://, socks5:// "
                    "or socks5h://"},
      {"socks5://h:0", "proxy 'socks5://h:0': bad port '0'"},
      {"http://h:0", "proxy 'http://h:0': bad port '0'"},
      {"http://h:65536", "proxy 'http://h:65536': bad port '65536'"},
      {"http://h:+80", "proxy 'http://h:+80': bad port '+80'"},
      {"http://h:", "proxy 'http://h:': empty port"},
      {"http://:80", "proxy 'http://:80': no host"},
      // A password is never shown, wherever the mistake is.
      {"http://u:p@", "proxy 'http://u:***@': no host"},
      {"ftp://u:secret@h", "proxy 'ftp://u:***@h': unsupported scheme 'ftp'; use http://, socks4://, socks4a://, "
                           "socks5:// or socks5h://"},
      {"u:pa/ss@h", "proxy 'u:***@h': a proxy address has no path"},
      {"http://h/path", "proxy 'http://h/path': a proxy address has no path"},
      {"http://h?x", "proxy 'http://h?x': a proxy address has no path"},
      {"http://h:1#", "proxy 'http://h:1#': a proxy address has no path"},
      {"[::1", "proxy '[::1': unclosed '['"},
      {"[::1]x:1", "proxy '[::1]x:1': junk after ']'"},
      {"[::1]:", "proxy '[::1]:': empty port"},
      {"h:1:2", "proxy 'h:1:2': bad port '1:2'"},
      {"http://u%4:p@h", "proxy 'http://u%4:***@h': bad percent escape in user:pass"},
      {"http://u:p%@h", "proxy 'http://u:***@h': bad percent escape in user:pass"},
  };
  for (const Case& c : cases) {
    const ProxyParse parsed = ParseProxyUrl(c.url);
    std::string got = parsed.complaint;
    if (parsed.address) {
      got = kKindNames[static_cast<int>(parsed.address->kind)] + parsed.address->host + " " + std::to_string(parsed.address->port);
      if (parsed.address->credentials) {
        got += " [" + parsed.address->credentials->user + " " + parsed.address->credentials->password + "]";
      }
    }
    EXPECT_EQ(got, c.expected) << c.url;
  }
  // -u and -U are taken as given: no decoding, the first colon splits.
  const Credentials credentials = ParseCredentials("a%41:b:c");
  EXPECT_EQ(credentials.user + "|" + credentials.password, "a%41|b:c");
  EXPECT_EQ(ParseCredentials("alone").password, "");
}

}  // namespace
}  // namespace kv
