#include "tools/harvest/harvest_options.h"

#include <string_view>

#include "base/int_conversion.h"

namespace kv::tools {

const char* const kHarvestUsage =
    "usage: kvornis-harvest PROJECT COMMAND [options]\n"
    "Digs many seed keywords to a depth with parallel workers and keeps the queue\n"
    "and the keywords found in PROJECT, one SQLite file; a run that is stopped or\n"
    "killed goes on where it stopped.\n"
    "\n"
    "commands:\n"
    "  add FILE            queue the seeds of FILE (one a line, UTF-8 or Windows-1251);\n"
    "                      creates PROJECT when it does not exist\n"
    "    --depth N         dig the keywords found down to depth N (default 1; 0: the\n"
    "                      seeds alone)\n"
    "    --pages N         result pages per keyword at most (1-999, default 5)\n"
    "    --min N           stop paging below this count (1-99999, default 1)\n"
    "  minus FILE          keep and dig no keyword that holds one of FILE's words\n"
    "  run                 dig until the queue is empty\n"
    "    --workers N       seeds dug at once (1-64, default 4)\n"
    "    --retry-failed    queue the failed seeds again first\n"
    "    --timeout MS      a connect or read that takes longer fails (default 30000)\n"
    "    --proxies FILE    dig through the proxies of FILE, one a line as for -x\n"
    "                      (http://, socks4://, socks4a://, socks5://, socks5h://,\n"
    "                      optional user:pass@; # comments); each seed through one\n"
    "                      proxy, a failing proxy benched for 30 s, doubling to 30 min\n"
    "    --delay MS|MIN-MAX  the least time between two requests through one proxy\n"
    "                      (without --proxies: through one worker), MIN-MAX drawn\n"
    "                      at random for each request\n"
    "    --max-requests N  stop after N requests; the queue stays for the next run\n"
    "    --block-marker TEXT  a page without results that holds TEXT (any case) is a\n"
    "                      block page; repeatable (default: captcha)\n"
    "    --service URL     the keyword service (default: the program's)\n"
    "    --quiet           print nothing but errors\n"
    "    -x, --proxy URL, -U, --proxy-user USER:PASS, --proxy-anyauth, --cacert FILE,\n"
    "    -k, --insecure    the way to the service, as for kvornis-get\n"
    "  status              counts, and the failed seeds with their errors\n"
    "  export FILE         write the keywords to FILE.xlsx, FILE.csv or FILE.txt, by\n"
    "                      count from the largest\n"
    "    --min N           only counts of at least N\n"
    "    --sep C           the CSV separator (default ';'; ',' for RFC 4180)\n"
    "\n"
    "  --help, --version\n"
    "exit status: 0 done, 1 failure (or seeds that failed in the run), 2 bad\n"
    "arguments, 130/143 stopped by SIGINT/SIGTERM\n";

namespace {

struct CommandName {
  std::string_view name;
  HarvestCommand command;
  bool takes_file;
};
constexpr CommandName kCommands[] = {
    {"add", HarvestCommand::kAdd, true},       {"minus", HarvestCommand::kMinus, true},
    {"run", HarvestCommand::kRun, false},      {"status", HarvestCommand::kStatus, false},
    {"export", HarvestCommand::kExport, true},
};

// The options each command takes, with the range of a number.
struct NumberOption {
  std::string_view name;
  HarvestCommand command;
  int64_t min, max;
  void (*store)(HarvestArguments&, int64_t);
};
constexpr NumberOption kNumberOptions[] = {
    {"--depth", HarvestCommand::kAdd, 0, 10, [](HarvestArguments& a, int64_t v) { a.settings.max_depth = int(v); }},
    {"--pages", HarvestCommand::kAdd, 1, 999, [](HarvestArguments& a, int64_t v) { a.settings.page_limit = int(v); }},
    {"--min", HarvestCommand::kAdd, 1, 99999,
     [](HarvestArguments& a, int64_t v) { a.settings.minimum_count = int(v); }},
    {"--workers", HarvestCommand::kRun, 1, 64, [](HarvestArguments& a, int64_t v) { a.workers = int(v); }},
    {"--timeout", HarvestCommand::kRun, 1, 3600000, [](HarvestArguments& a, int64_t v) { a.timeout_ms = int(v); }},
    {"--min", HarvestCommand::kExport, 0, INT64_MAX, [](HarvestArguments& a, int64_t v) { a.export_minimum = v; }},
    {"--max-requests", HarvestCommand::kRun, 1, INT64_MAX, [](HarvestArguments& a, int64_t v) { a.max_requests = v; }},
};

bool TakeFlag(HarvestArguments& arguments, std::string_view arg) {
  if (arguments.command != HarvestCommand::kRun) return false;
  if (arg == "--retry-failed") return arguments.retry_failed = true;
  if (arg == "--quiet" || arg == "-q") return arguments.quiet = true;
  return false;
}

// "MS" or "MIN-MAX", in milliseconds, at most an hour.
bool ParseDelay(std::string_view text, HarvestArguments& arguments) {
  constexpr int64_t kLongest = 3600000;
  const size_t dash = text.find('-');
  const std::optional<int64_t> min = TryStrToInt64(text.substr(0, dash));
  const std::optional<int64_t> max = dash == std::string_view::npos ? min : TryStrToInt64(text.substr(dash + 1));
  if (!min || !max || *min < 0 || *max < *min || *max > kLongest) return false;
  arguments.delay_min_ms = *min;
  arguments.delay_max_ms = *max;
  return true;
}

bool ValidSeparator(std::string_view text) {
  if (text == "\\t") return true;
  return text.size() == 1 && (text[0] == '\t' || (text[0] > ' ' && text[0] < 0x7F && text[0] != '"'));
}

OptionTaken TakeNumberOption(HarvestArguments& arguments, int argc, char** argv, int& i, std::string& complaint) {
  const std::string_view arg = argv[i];
  const NumberOption* number = nullptr;
  for (const NumberOption& option : kNumberOptions)
    if (option.name == arg && option.command == arguments.command) number = &option;
  if (!number) return OptionTaken::kNo;
  if (i + 1 >= argc) {
    complaint = std::string(arg) + " needs a number";
    return OptionTaken::kBad;
  }
  const std::optional<int64_t> value = TryStrToInt64(argv[++i]);
  if (!value || *value < number->min || *value > number->max) {
    complaint = std::string(arg) + " takes a number from " + std::to_string(number->min) + " to " +
                std::to_string(number->max) + ", not \"" + argv[i] + "\"";
    return OptionTaken::kBad;
  }
  number->store(arguments, *value);
  return OptionTaken::kYes;
}

// The options of `run` beyond the flags and numbers: texts, the delay and
// the transport options.
OptionTaken TakeRunOption(HarvestArguments& arguments, int argc, char** argv, int& i, std::string& complaint) {
  const std::string_view arg = argv[i];
  if (arg == "--service" || arg == "--proxies" || arg == "--block-marker") {
    if (i + 1 >= argc || argv[i + 1][0] == '\0') {
      complaint = std::string(arg) + " needs a value";
      return OptionTaken::kBad;
    }
    const std::string value = argv[++i];
    if (arg == "--service") arguments.service_url = value;
    if (arg == "--proxies") arguments.proxies_file = value;
    if (arg == "--block-marker") arguments.block_markers.push_back(value);
    return OptionTaken::kYes;
  }
  if (arg == "--delay") {
    if (i + 1 >= argc || !ParseDelay(argv[i + 1], arguments)) {
      complaint = "--delay takes MS or MIN-MAX, milliseconds up to 3600000";
      return OptionTaken::kBad;
    }
    ++i;
    return OptionTaken::kYes;
  }
  return TakeTransportOption(arguments.transport, argc, argv, i, false, complaint);
}

// The option at argv[i] for the command, with its value if it takes one.
OptionTaken TakeOption(HarvestArguments& arguments, int argc, char** argv, int& i, std::string& complaint) {
  const std::string_view arg = argv[i];
  if (TakeFlag(arguments, arg)) return OptionTaken::kYes;
  if (const OptionTaken number = TakeNumberOption(arguments, argc, argv, i, complaint); number != OptionTaken::kNo) {
    return number;
  }
  if (arguments.command == HarvestCommand::kExport && arg == "--sep") {
    if (i + 1 >= argc || !ValidSeparator(argv[i + 1])) {
      complaint = "--sep takes one character other than '\"'";
      return OptionTaken::kBad;
    }
    const std::string_view separator = argv[++i];
    arguments.separator = separator == "\\t" ? '\t' : separator[0];
    return OptionTaken::kYes;
  }
  if (arguments.command == HarvestCommand::kRun) return TakeRunOption(arguments, argc, argv, i, complaint);
  return OptionTaken::kNo;
}

}  // namespace

ParseVerdict ParseHarvestArguments(int argc, char** argv, HarvestArguments& arguments, std::ostream& complaints) {
  auto bad = [&](const std::string& complaint) {
    complaints << "kvornis-harvest: " << complaint << "\n(kvornis-harvest --help tells the options)\n";
    return ParseVerdict::kBad;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") return ParseVerdict::kHelp;
    if (arg == "--version") return ParseVerdict::kVersion;
  }
  if (argc < 3) return bad(argc < 2 ? "no project given" : "no command given");
  arguments.project = argv[1];
  const std::string_view command = argv[2];
  const CommandName* found = nullptr;
  for (const CommandName& candidate : kCommands)
    if (candidate.name == command) found = &candidate;
  if (!found) return bad("unknown command \"" + std::string(command) + "\"");
  arguments.command = found->command;

  int i = 3;
  if (found->takes_file) {
    if (i >= argc || (argv[i][0] == '-' && argv[i][1] != '\0')) return bad(std::string(command) + ": no file given");
    arguments.file = argv[i++];
  }
  for (; i < argc; ++i) {
    std::string complaint;
    switch (TakeOption(arguments, argc, argv, i, complaint)) {
      case OptionTaken::kYes: continue;
      case OptionTaken::kBad: return bad(complaint);
      case OptionTaken::kNo:
        return bad(std::string(command) + ": unknown option or argument \"" + std::string(argv[i]) + "\"");
    }
  }
  if (!arguments.proxies_file.empty() && arguments.transport.proxy) {
    return bad("--proxies and -x exclude each other: put the proxy in the list");
  }
  return ParseVerdict::kRun;
}

}  // namespace kv::tools
