// kvornis-harvest: digs many seed keywords to a depth with parallel
// workers, keeping the queue and the keywords found in a project file, and
// exports what it found.

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "base/cp1251.h"
#include "base/exception.h"
#include "base/version.h"
#include "digging/form_main.h"
#include "app/export/table_export.h"
#include "harvest/harvest_run.h"
#include "app/minus_words.h"
#include "harvest/run_lock.h"
#include "harvest/sqlite_store.h"
#include "harvest/word_file.h"
#include "http/http_client.h"
#include "tools/harvest/harvest_options.h"
#include "tools/harvest/progress_line.h"
#include "harvest/proxy_list.h"
#include "harvest/project_export.h"

namespace {

using namespace kv::harvest;
using kv::MinusWords;
using kv::tools::HarvestArguments;
using kv::operator""_w1251;

constexpr int kExitFailure = 1;

std::string Shown(const std::string& cp1251) { return kv::Cp1251ToUtf8(cp1251); }

int Add(const HarvestArguments& arguments) {
  const std::vector<std::string> phrases = ReadWordFile(arguments.file);
  std::unique_ptr<ProjectStore> store = OpenSqliteProject(arguments.project, ProjectOpening::kCreateIfMissing);
  const MinusWords minus(store->MinusWordList());
  std::vector<QueuedSeed> seeds;
  size_t minus_matches = 0;
  for (const std::string& phrase : phrases) {
    if (minus.Matches(phrase))
      ++minus_matches;
    else
      seeds.push_back({phrase, 0, arguments.settings});
  }
  const int64_t queued = store->QueueSeeds(seeds);
  std::cout << queued << " seeds queued, " << (static_cast<int64_t>(seeds.size()) - queued) << " known before";
  if (minus_matches > 0) std::cout << ", " << minus_matches << " left out for their minus words";
  std::cout << '\n';
  return 0;
}

int Minus(const HarvestArguments& arguments) {
  const std::vector<std::string> words = ReadWordFile(arguments.file);
  std::unique_ptr<ProjectStore> store = OpenSqliteProject(arguments.project, ProjectOpening::kExisting);
  const int64_t added = store->AddMinusWords(words);
  const MinusWords minus(store->MinusWordList());
  const int64_t dropped = store->DropQueuedSeeds([&](const std::string& keyword) { return minus.Matches(keyword); });
  std::cout << added << " minus words added, " << dropped << " queued seeds dropped\n";
  return 0;
}

int Status(const HarvestArguments& arguments) {
  std::unique_ptr<ProjectStore> store = OpenSqliteProject(arguments.project, ProjectOpening::kExisting);
  const SeedCounts counts = store->Counts();
  std::cout << "seeds: " << counts.done << " done, " << counts.queued << " queued, " << counts.failed << " failed\n"
            << "keywords: " << counts.results << '\n'
            << "minus words: " << store->MinusWordList().size() << '\n';
  const std::vector<ProxyScore> proxies = store->ProxyScores();
  if (!proxies.empty()) std::cout << "proxies:\n";
  const int64_t now_ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
  for (const ProxyScore& proxy : proxies) {
    std::cout << "  " << proxy.identity.Text() << ": " << proxy.requests << " requests, " << proxy.failures
              << " failures";
    if (proxy.benched_until_ms > now_ms)
      std::cout << ", benched for " << (proxy.benched_until_ms - now_ms + 999) / 1000 << " s more";
    if (!proxy.last_error.empty()) std::cout << ", last error: " << proxy.last_error;
    std::cout << '\n';
  }
  const std::vector<FailedSeed> failed = store->FailedSeeds();
  if (!failed.empty()) std::cout << "failed seeds (run --retry-failed queues them again):\n";
  for (const FailedSeed& seed : failed) {
    std::cout << "  " << Shown(seed.keyword) << ": " << seed.error << " (" << seed.attempts << " attempts)\n";
  }
  return 0;
}

int Export(const HarvestArguments& arguments) {
  const std::optional<kv::ExportFormat> format = kv::ExportFormatOf(arguments.file);
  if (!format) {
    std::cerr << "kvornis-harvest: " << arguments.file << ": the export's name must end in .xlsx, .csv or .txt\n";
    return 2;
  }
  std::unique_ptr<ProjectStore> store = OpenSqliteProject(arguments.project, ProjectOpening::kExisting);
  const int64_t rows = ExportProject(*store, arguments.file, *format, arguments.export_minimum, arguments.separator);
  std::cout << rows << " keywords written to " << arguments.file << '\n';
  return 0;
}

// SIGINT and SIGTERM end a run at once: no new seed is taken, what is
// being committed is committed, and the seeds in flight stay queued.
class StopSignals {
 public:
  // Blocks both signals in this thread and every thread started after.
  StopSignals() {
    sigemptyset(&set_);
    sigaddset(&set_, SIGINT);
    sigaddset(&set_, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set_, nullptr);
  }
  // Runs `on_stop` with the signal's number on a thread of its own.
  template <typename OnStop>
  void Watch(OnStop on_stop) {
    std::thread([set = set_, on_stop] {
      int signal_number = 0;
      if (sigwait(&set, &signal_number) == 0) on_stop(signal_number);
    }).detach();
  }

 private:
  sigset_t set_;
};

int Run(const HarvestArguments& arguments, StopSignals& stop_signals) {
  // A bad proxies file is refused before anything is sent.
  std::vector<PoolProxy> proxies;
  if (!arguments.proxies_file.empty()) proxies = kv::harvest::ReadProxyList(arguments.proxies_file, arguments.transport);
  const ProjectRunLock run_lock(arguments.project);
  std::unique_ptr<ProjectStore> store = OpenSqliteProject(arguments.project, ProjectOpening::kExisting);
  if (arguments.retry_failed) store->RequeueFailed();

  HarvestOptions options;
  options.workers = arguments.workers;
  options.service_url = arguments.service_url.empty() ? kv::TFormMain::DefaultServiceUrl() : arguments.service_url;
  options.client_setup = [&arguments](kv::TIdHTTP& http, kv::TIdSSLIOHandlerSocket& tls) {
    kv::ApplyTransportOptions(arguments.transport, http, tls);
    http.ReadTimeout = arguments.timeout_ms;
  };
  options.proxies = std::move(proxies);
  options.spacing = {arguments.delay_min_ms, arguments.delay_max_ms};
  options.max_requests = arguments.max_requests;
  if (!arguments.block_markers.empty()) {
    options.block_markers.clear();
    for (const std::string& marker : arguments.block_markers) options.block_markers.push_back(kv::Utf8ToCp1251(marker));
  }
  Harvest harvest(*store, options);

  std::unique_ptr<kv::tools::ProgressReporter> reporter;
  if (!arguments.quiet)
    reporter = std::make_unique<kv::tools::ProgressReporter>(stderr, [&harvest] { return harvest.Progress(); });
  auto print = [&reporter](const std::string& line) {
    if (reporter)
      reporter->PrintLine(line);
    else
      std::fprintf(stderr, "%s\n", line.c_str());
  };
  int64_t failed = 0;
  harvest.OnFailure = [&](const std::string& keyword, const std::string& error, bool final) {
    failed += final ? 1 : 0;
    print("kvornis-harvest: \"" + Shown(keyword) + "\": " + error + (final ? " (failed)" : " (will retry)"));
  };
  harvest.OnProxyBenched = [&](const ProxyIdentity& proxy, const std::string& error, std::chrono::milliseconds cooldown) {
    print("kvornis-harvest: proxy " + proxy.Text() + " benched for " + std::to_string(cooldown.count() / 1000) +
          " s: " + error);
  };
  auto summary = [&](const char* how, const HarvestProgress& progress) {
    const double elapsed = reporter ? reporter->ElapsedSeconds() : 0;
    return std::string(how) + ": " + kv::tools::ProgressText(progress, elapsed);
  };
  stop_signals.Watch([&](int signal_number) {
    const HarvestProgress progress = harvest.Abandon();
    if (reporter) reporter->Finish(summary(signal_number == SIGINT ? "stopped (SIGINT)" : "stopped (SIGTERM)", progress));
    std::fflush(nullptr);
    _exit(128 + signal_number);
  });

  harvest.Run();
  const HarvestProgress end = harvest.Progress();
  if (reporter) reporter->Finish(summary(end.request_limit_reached ? "request limit reached" : "finished", end));
  return failed > 0 ? kExitFailure : 0;
}

}  // namespace

int main(int argc, char** argv) {
  HarvestArguments arguments;
  switch (kv::tools::ParseHarvestArguments(argc, argv, arguments, std::cerr)) {
    case kv::tools::ParseVerdict::kHelp: std::cout << kv::tools::kHarvestUsage; return 0;
    case kv::tools::ParseVerdict::kVersion: std::cout << "kvornis-harvest " << kv::kVersion << '\n'; return 0;
    case kv::tools::ParseVerdict::kBad: return 2;
    case kv::tools::ParseVerdict::kRun: break;
  }
  StopSignals stop_signals;  // before any thread starts
  try {
    switch (arguments.command) {
      case kv::tools::HarvestCommand::kAdd: return Add(arguments);
      case kv::tools::HarvestCommand::kMinus: return Minus(arguments);
      case kv::tools::HarvestCommand::kRun: return Run(arguments, stop_signals);
      case kv::tools::HarvestCommand::kStatus: return Status(arguments);
      case kv::tools::HarvestCommand::kExport: return Export(arguments);
    }
  } catch (const kv::harvest::EProxyList& bad_list) {
    // A proxies file is part of what the user asked for, checked before
    // anything is sent.
    std::cerr << "kvornis-harvest: " << bad_list.what() << '\n';
    return 2;
  } catch (const std::exception& failure) {
    std::cerr << "kvornis-harvest: " << failure.what() << '\n';
  }
  return kExitFailure;
}
