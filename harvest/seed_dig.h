#pragma once
// Digging one seed as the Get command digs it: the form page with its
// session cookie and hidden fields, then the result pages while the page
// limit and the minimum count allow. Each worker has its own digger, so
// its own client, connection and cookies.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "harvest/project_store.h"

namespace kv {
class TIdHTTP;
class TIdSSLIOHandlerSocket;
}  // namespace kv

namespace kv::harvest {

// Sets a worker's client and transport the way the user asked (proxy, TLS
// checks, time limits), after the service's own settings.
using ClientSetup = std::function<void(TIdHTTP&, TIdSSLIOHandlerSocket&)>;

struct FoundKeyword {
  std::string keyword;  // Windows-1251; empty when the page's text did not convert
  int64_t count = 0;
};

struct DigOutcome {
  std::vector<FoundKeyword> keywords;
  int pages = 0;  // result pages read
  // A result page without the result table ended the dig (on the first
  // page: the seed has no keywords); its text, for telling a block page.
  bool ended_without_table = false;
  std::string page_without_table;
  // The form page's text when it had none of its hidden fields (a block
  // page may stand in its place); empty otherwise.
  std::string form_without_fields;
};

// What a dig lets its caller do on the way.
struct DigHooks {
  // Before every request: may wait (the pace of the requests) or raise to
  // end the dig.
  std::function<void()> before_request;
  // After every result page fetched.
  std::function<void()> after_page;
};

class SeedDigger {
 public:
  SeedDigger(std::string service_url, const ClientSetup& setup);
  ~SeedDigger();
  SeedDigger(const SeedDigger&) = delete;
  SeedDigger& operator=(const SeedDigger&) = delete;

  // Digs `keyword`; every failure raises, a socket error on any page
  // included (the Get command only shows that one in the status line), and
  // so does a count that is no number.
  DigOutcome Dig(std::string_view keyword, const DigSettings& settings, const DigHooks& hooks);

  // The client, whose last response tells a status failure's details.
  TIdHTTP& Client() { return *http_; }

  // Called from another thread: the request under way, waiting on a slow
  // page say, fails at once (its socket is shut down both ways, which
  // wakes a blocked read); what the dig does then is the caller's affair.
  // The socket may have been closed a moment before and its number taken
  // by another: a shutdown of a file that is no socket does nothing, and
  // a stopping run's other sockets are meant to end anyway.
  void Interrupt();

 private:
  std::string service_url_;
  // Before the client, so that the client's last disconnect still finds it.
  std::unique_ptr<TIdSSLIOHandlerSocket> tls_;
  std::unique_ptr<TIdHTTP> http_;
};

}  // namespace kv::harvest
