#include "harvest/seed_dig.h"

#include <sys/socket.h>

#include "digging/form_main.h"
#include "app/memo.h"
#include "base/int_conversion.h"
#include "base/stream.h"
#include "digging/page_readers.h"
#include "digging/service_client.h"
#include "http/http_client.h"
#include "net/socket_handle.h"
#include "net/io_handler_ssl.h"

namespace kv::harvest {

namespace {

constexpr std::string_view kPageTooLarge = "Text exceeds memo capacity";

// The page at `url` as the page text holds it. A page larger than the page
// text can hold fails, as it does for the Get command.
TMemo FetchPage(TIdHTTP& http, const std::string& url, const DigHooks& hooks) {
  if (hooks.before_request) hooks.before_request();
  MemoryStream body(kPageTextCapacity, std::string(kPageTooLarge));
  http.Get(url, &body);
  body.Seek(0, SeekOrigin::Beginning);
  TMemo page(kPageTextCapacity);
  page.LoadFromStream(body);
  return page;
}

// An aligned count as a number; one that is no number fails as the Get
// command's check of the last count fails.
int64_t CountOf(const std::string& aligned) {
  if (const std::optional<int64_t> count = TryStrToInt64(aligned)) return *count;
  return StrToInt(aligned);
}

}  // namespace

SeedDigger::SeedDigger(std::string service_url, const ClientSetup& setup)
    : service_url_(std::move(service_url)),
      tls_(std::make_unique<TIdSSLIOHandlerSocket>()),
      http_(std::make_unique<TIdHTTP>()) {
  ConfigureServiceClient(*http_, *tls_, TFormMain::DefaultServiceCa());
  if (setup) setup(*http_, *tls_);
  // The binding is made now, so that Interrupt() finds the same object
  // for the digger's whole life.
  tls_->PrepareTransport();
}

void SeedDigger::Interrupt() {
  const TIdSocketHandle* binding = tls_->Binding();
  if (binding && binding->HandleOpen()) ::shutdown(binding->Handle(), SHUT_RDWR);
}

SeedDigger::~SeedDigger() = default;

DigOutcome SeedDigger::Dig(std::string_view keyword, const DigSettings& settings, const DigHooks& hooks) {
  DigOutcome outcome;
  const TMemo form = FetchPage(*http_, FormPageAddress(service_url_), hooks);
  if (HiddenFieldsQuery(form).empty()) outcome.form_without_fields = form.Text();
  std::string address = QueryAddress(service_url_, form, keyword);
  while (!address.empty()) {
    TMemo page = FetchPage(*http_, address, hooks);
    ++outcome.pages;
    if (hooks.after_page) hooks.after_page();
    ResultPage result = ReadResultPage(page, TableKind::kGet);
    if (!result.has_table) {
      outcome.ended_without_table = true;
      outcome.page_without_table = page.Text();
      break;
    }
    int64_t last_count = 0;
    for (ResultRow& row : result.rows) {
      last_count = CountOf(row.count);
      outcome.keywords.push_back({std::move(row.keyword), last_count});
    }
    if (last_count < settings.minimum_count || outcome.pages == settings.page_limit) break;
    address = result.next_target ? service_url_ + *result.next_target : std::string();
  }
  return outcome;
}

}  // namespace kv::harvest
