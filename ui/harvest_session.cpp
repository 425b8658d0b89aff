#include "ui/harvest_session.h"

#include <exception>
#include <utility>

#include "app/minus_words.h"
#include "base/cp1251.h"
#include "harvest/proxy_list.h"
#include "harvest/sqlite_store.h"
#include "http/http_client.h"
#include "http/transport_options.h"

namespace kv::ui {
namespace {

using namespace harvest;

// A page may take long; a stop does not wait for it.
constexpr int kReadTimeoutMs = 30000;

// Failures name files as the file system does (UTF-8); the window's texts
// are Windows-1251.
std::string Shown(std::string_view utf8) { return Utf8ToCp1251Substituting(utf8); }

std::vector<PoolProxy> ProxiesOf(const std::string& file) {
  if (file.empty()) return {};
  return ReadProxyList(file, TransportOptions{});
}

// The run lock is taken on the project's file, so a new project is made
// (and closed) first.
const std::string& Created(const std::string& project) {
  OpenSqliteProject(project, ProjectOpening::kCreateIfMissing);
  return project;
}

}  // namespace

HarvestSession::HarvestSession(const HarvestSettings& settings)
    : proxies_(ProxiesOf(settings.proxies_file)),
      run_lock_(Created(settings.project)),
      store_(OpenSqliteProject(settings.project, ProjectOpening::kExisting)),
      reader_(OpenSqliteProject(settings.project, ProjectOpening::kExisting)) {
  HarvestOptions options;
  options.proxies = std::move(proxies_);
  options.workers = settings.workers;
  options.service_url = settings.service_url;
  options.client_setup = [](TIdHTTP& http, TIdSSLIOHandlerSocket&) { http.ReadTimeout = kReadTimeoutMs; };
  options.spacing = {settings.pause_ms, settings.pause_ms};

  // As kvornis-harvest's "minus" and "add": queued seeds holding a minus
  // word are dropped, and so are new seeds holding one.
  store_->AddMinusWords(settings.minus_words);
  const MinusWords minus(store_->MinusWordList());
  store_->DropQueuedSeeds([&](const std::string& keyword) { return minus.Matches(keyword); });
  std::vector<QueuedSeed> seeds;
  for (const std::string& phrase : settings.seeds) {
    if (!minus.Matches(phrase)) seeds.push_back({phrase, 0, settings.dig});
  }
  store_->QueueSeeds(seeds);

  harvest_ = std::make_unique<Harvest>(*store_, std::move(options));
  harvest_->OnFailure = [this](const std::string& keyword, const std::string& error, bool final) {
    Report("\"" + keyword + "\": " + Shown(error) + std::string(final ? " (не удалось)"_w1251 : " (будет повтор)"_w1251));
  };
  harvest_->OnProxyBenched = [this](const ProxyIdentity& proxy, const std::string& error,
                                    std::chrono::milliseconds cooldown) {
    Report(std::string("Прокси "_w1251) + Shown(proxy.Text()) + std::string(" отдыхает "_w1251) +
           std::to_string(cooldown.count() / 1000) + std::string(" с: "_w1251) + Shown(error));
  };
  thread_ = std::thread([this] {
    try {
      harvest_->Run();
    } catch (const std::exception& e) {
      std::lock_guard<std::mutex> guard(lock_);
      failure_ = Shown(e.what());
    }
    finished_ = true;
  });
}

HarvestSession::~HarvestSession() {
  harvest_->Stop();
  thread_.join();
}

std::optional<std::string> HarvestSession::Failure() const {
  std::lock_guard<std::mutex> guard(lock_);
  return failure_;
}

double HarvestSession::ElapsedSeconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void HarvestSession::Report(std::string text) {
  std::lock_guard<std::mutex> guard(lock_);
  errors_.push_back(std::move(text));
}

std::vector<std::string> HarvestSession::TakeErrors() {
  std::lock_guard<std::mutex> guard(lock_);
  return std::exchange(errors_, {});
}

std::vector<ResultRecord> HarvestSession::LatestResults(int64_t limit) { return reader_->LatestResults(limit); }

}  // namespace kv::ui
