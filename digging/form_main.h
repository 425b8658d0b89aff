#pragma once
// The main window with its digging commands: the window model and list
// tools of the app layer, the HTTP client IdHTTP1 that the commands fetch
// the service's pages with (over TLS for an https service, in clear text
// for http), and the service's base address.
#include <memory>
#include <string>

#include "app/form_main.h"
#include "base/stream.h"
#include "digging/page_readers.h"

namespace kv {

class TIdHTTP;
class TIdSSLIOHandlerSocket;
class PageStream;

class TFormMain : public TFormMainModel {
 public:
  // `serviceUrl`: scheme and host of the keyword-statistics service, no
  // trailing "/" (the program's constant unless a test or tool says other).
  explicit TFormMain(Component* owner = nullptr, std::string serviceUrl = DefaultServiceUrl());
  ~TFormMain() override;

  // The build's service address (the KVORNIS_SERVICE_URL cache variable).
  static std::string DefaultServiceUrl();
  // The build's authorities for an https service (KVORNIS_SERVICE_CA);
  // empty: the system's store.
  static std::string DefaultServiceCa();

  const std::string& ServiceUrl() const { return service_url_; }
  TIdHTTP& IdHTTP1() { return *id_http1_; }
  // IdHTTP1's transport. It checks an https service's certificate against
  // the build's KVORNIS_SERVICE_CA, or the system's store when that is empty.
  TIdSSLIOHandlerSocket& IdSSLIOHandlerSocket1() { return *id_ssl_io_handler_socket1_; }

  // ---- Digging commands ----
  void DigButtClick();    // "Получить": the seed keyword's pages
  void DeepButtClick();   // "Вглубь": the keyword of the grid's current row
  void BroadButtClick();  // "Вширь": the one-line broad table of that row

 private:
  // The query address: the form page fetched, its hidden fields and the
  // keyword of EditKw appended.
  std::string BuildQueryAddress();
  // Result pages from `address` on, their rows appended from `next_row`,
  // following the next-page links while the limits allow.
  void DigPages(std::string address, TableKind table, int page_limit, int minimum_count, int next_row);
  // Fetches into `page`; a socket failure is shown and the page is taken as
  // it arrived. A page too large for the page text ends the fetch, and
  // loading it into the page text fails.
  void FetchPage(const std::string& url, PageStream& page);
  void LoadPage(PageStream& page);
  // Result page `page_number` fetched into the page text and its number
  // shown in the status bar at once.
  void FetchResultPage(const std::string& address, int page_number);
  void ShowFinalStatus();

  std::string service_url_;
  // Before the client, so that the client's last disconnect still finds it.
  std::unique_ptr<TIdSSLIOHandlerSocket> id_ssl_io_handler_socket1_;
  std::unique_ptr<TIdHTTP> id_http1_;
};

}  // namespace kv
