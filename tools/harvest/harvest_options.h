#pragma once
// The command line of kvornis-harvest: PROJECT COMMAND [options].
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "harvest/project_store.h"
#include "http/transport_options.h"

namespace kv::tools {

enum class HarvestCommand { kAdd, kMinus, kRun, kStatus, kExport };

struct HarvestArguments {
  std::string project;
  HarvestCommand command = HarvestCommand::kStatus;
  std::string file;  // add, minus: the word file; export: the target

  // add
  harvest::DigSettings settings;
  // run
  int workers = 4;
  bool retry_failed = false;
  bool quiet = false;
  std::string service_url;  // empty: the build's service
  int timeout_ms = 30000;   // a read or connect that takes longer fails the page
  TransportOptions transport;
  std::string proxies_file;  // empty: straight to the service (or through -x)
  int64_t delay_min_ms = 0;
  int64_t delay_max_ms = 0;
  int64_t max_requests = 0;  // 0: no limit
  std::vector<std::string> block_markers;  // as given (UTF-8); empty: the default
  // export
  int64_t export_minimum = 0;
  char separator = ';';
};

// What the parse asks of the tool.
enum class ParseVerdict {
  kRun,      // arguments taken
  kHelp,     // print the usage, exit 0
  kVersion,  // print the version, exit 0
  kBad,      // a complaint was printed; exit 2
};

extern const char* const kHarvestUsage;

ParseVerdict ParseHarvestArguments(int argc, char** argv, HarvestArguments& arguments, std::ostream& complaints);

}  // namespace kv::tools
