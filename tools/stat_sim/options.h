#pragma once
// Command-line options of kvornis-stat-sim.

#include <optional>
#include <ostream>
#include <string>

#include "tools/stat_sim/client_limits.h"
#include "tools/stat_sim/pages.h"

namespace kv::statsim {

inline constexpr int kRowsPerPage = 50;

struct SimOptions {
  int port = 0;  // 0: a free port
  int pages = 5;
  long top_count = 100000;
  FormPageShape form;
  ResultPageFaults faults;
  int close_mid_page = 0;  // 0: none
  int latency_ms = 0;      // a pause before every response
  LimitOptions limits;     // per client address
  // Both set: https with this certificate and key (PEM files).
  std::string tls_cert;
  std::string tls_key;
  bool log = false;
  bool help = false;
  bool version = false;
};

extern const char* const kUsage;

// None after a bad argument, which is reported on `err`.
std::optional<SimOptions> ParseOptions(int argc, char** argv, std::ostream& err);

}  // namespace kv::statsim
