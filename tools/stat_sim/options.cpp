#include "tools/stat_sim/options.h"

#include <charconv>
#include <string>
#include <string_view>

namespace kv::statsim {

const char* const kUsage =
    "usage: kvornis-stat-sim [options]\n"
    "Local stand-in of the keyword-statistics service. Serves\n"
    "  /stat/wordsstat.pl?rpt=ppc&shw=1        the form page (sets the session cookie)\n"
    "  /stat/wordsstat.pl?...&text=KEYWORD     result pages, KEYWORD in Windows-1251\n"
    "                                          percent form, &page=N for page N\n"
    "Result pages need the session cookie and the form's key and tm values;\n"
    "without them they come without a result table. Keywords are the seed\n"
    "with modifiers around it, 50 a page; the count of rank r (from 0) is\n"
    "TOP/(r+1), at least 1. Prints 'listening on http://127.0.0.1:PORT' once\n"
    "it accepts connections (https:// with --tls-cert), and serves until\n"
    "SIGTERM or SIGINT.\n"
    "\n"
    "options:\n"
    "  --port N              port on 127.0.0.1 (default 0: a free one)\n"
    "  --pages N             result pages per query (default 5)\n"
    "  --top-count N         count of the first keyword, TOP above (default 100000)\n"
    "  --latency MS          a pause of MS milliseconds before every response,\n"
    "                        as a distant service would make it (default 0)\n"
    "  --tls-cert FILE       serve https with this certificate (PEM); needs\n"
    "  --tls-key FILE        the certificate's private key (PEM)\n"
    "  --log                 one line per request on stderr: method, target,\n"
    "                        status, client address\n"
    "  --help                this text\n"
    "  --version             the program's version\n"
    "limits per client address, as a busy service sets them:\n"
    "  --rate-limit N        at most N requests served in any one second (a\n"
    "                        sliding window); the others get 429 Too Many\n"
    "                        Requests with Retry-After: 1\n"
    "  --block-after N       after N requests served, every request gets a\n"
    "                        captcha page (status 200, no result table) ...\n"
    "  --block-seconds S     ... for S seconds (default 60); then its count\n"
    "                        starts again\n"
    "  Requests turned away (429, captcha) count toward neither limit.\n"
    "faults, for tests of the client:\n"
    "  --tm-first            form page: the tm field line before the key line\n"
    "  --no-checkboxes       form page: no checkboxes line\n"
    "  --blank-count ROW     result pages: the count of row ROW (1-50) gets a\n"
    "                        blank after its first digit (one-digit counts stay)\n"
    "  --table-at-end        result pages end with the table's last row line\n"
    "                        (no \"<td width\" line follows it)\n"
    "  --thead-on-last-line  result pages: the whole result table on one line,\n"
    "                        the page's last\n"
    "  --close-mid-page P    result page P: the full length is announced, half\n"
    "                        the body is sent, then the connection is closed\n";

namespace {

struct NumberOption {
  std::string_view name;
  long min, max;
  void (*store)(SimOptions&, long);
};
constexpr NumberOption kNumberOptions[] = {
    {"--port", 0, 65535, [](SimOptions& o, long v) { o.port = static_cast<int>(v); }},
    {"--pages", 1, 100000, [](SimOptions& o, long v) { o.pages = static_cast<int>(v); }},
    {"--top-count", 1, 2000000000, [](SimOptions& o, long v) { o.top_count = v; }},
    {"--blank-count", 1, kRowsPerPage, [](SimOptions& o, long v) { o.faults.blank_in_count_row = static_cast<int>(v); }},
    {"--close-mid-page", 1, 100000, [](SimOptions& o, long v) { o.close_mid_page = static_cast<int>(v); }},
    {"--latency", 0, 600000, [](SimOptions& o, long v) { o.latency_ms = static_cast<int>(v); }},
    {"--rate-limit", 1, 1000000, [](SimOptions& o, long v) { o.limits.rate_limit = static_cast<int>(v); }},
    {"--block-after", 1, 1000000000, [](SimOptions& o, long v) { o.limits.block_after = static_cast<int>(v); }},
    {"--block-seconds", 1, 86400, [](SimOptions& o, long v) { o.limits.block_seconds = static_cast<int>(v); }},
};

struct TextOption {
  std::string_view name;
  std::string SimOptions::*field;
};
constexpr TextOption kTextOptions[] = {
    {"--tls-cert", &SimOptions::tls_cert},
    {"--tls-key", &SimOptions::tls_key},
};

struct FlagOption {
  std::string_view name;
  void (*set)(SimOptions&);
};
constexpr FlagOption kFlags[] = {
    {"--tm-first", [](SimOptions& o) { o.form.tm_before_key = true; }},
    {"--no-checkboxes", [](SimOptions& o) { o.form.with_checkboxes = false; }},
    {"--table-at-end", [](SimOptions& o) { o.faults.table_at_end = true; }},
    {"--thead-on-last-line", [](SimOptions& o) { o.faults.thead_on_last_line = true; }},
    {"--log", [](SimOptions& o) { o.log = true; }},
    {"--help", [](SimOptions& o) { o.help = true; }},
    {"-h", [](SimOptions& o) { o.help = true; }},
    {"--version", [](SimOptions& o) { o.version = true; }},
};

const FlagOption* FindFlag(std::string_view arg) {
  for (const FlagOption& flag : kFlags)
    if (arg == flag.name) return &flag;
  return nullptr;
}

// The option of `table` that `arg` names, as "--name" or "--name=VALUE"
// (VALUE then goes to `inline_value`).
template <typename Option, size_t N>
const Option* FindValueOption(const Option (&table)[N], std::string_view arg,
                              std::optional<std::string_view>& inline_value) {
  for (const Option& option : table) {
    if (arg == option.name) return &option;
    if (arg.starts_with(option.name) && arg.size() > option.name.size() && arg[option.name.size()] == '=') {
      inline_value = arg.substr(option.name.size() + 1);
      return &option;
    }
  }
  return nullptr;
}

std::optional<long> ParseNumber(std::string_view text, long min, long max) {
  long value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < min || value > max) return std::nullopt;
  return value;
}

}  // namespace

std::optional<SimOptions> ParseOptions(int argc, char** argv, std::ostream& err) {
  SimOptions options;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (const FlagOption* flag = FindFlag(arg)) {
      flag->set(options);
      continue;
    }
    std::optional<std::string_view> value;
    if (const TextOption* text = FindValueOption(kTextOptions, arg, value)) {
      if (!value && i + 1 < argc) value = argv[++i];
      if (!value || value->empty()) {
        err << "kvornis-stat-sim: " << text->name << " wants a file name\n";
        return std::nullopt;
      }
      options.*text->field = std::string(*value);
      continue;
    }
    const NumberOption* option = FindValueOption(kNumberOptions, arg, value);
    if (!option) {
      err << "kvornis-stat-sim: unknown option '" << arg << "'\n";
      return std::nullopt;
    }
    if (!value && i + 1 < argc) value = argv[++i];
    std::optional<long> number = value ? ParseNumber(*value, option->min, option->max) : std::nullopt;
    if (!number) {
      err << "kvornis-stat-sim: " << option->name << " wants a number from " << option->min << " to "
          << option->max << ", not '" << value.value_or("") << "'\n";
      return std::nullopt;
    }
    option->store(options, *number);
  }
  if (options.tls_cert.empty() != options.tls_key.empty()) {
    err << "kvornis-stat-sim: --tls-cert and --tls-key go together\n";
    return std::nullopt;
  }
  return options;
}

}  // namespace kv::statsim
