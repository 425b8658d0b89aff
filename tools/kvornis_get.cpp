// kvornis-get: fetches URLs in order with one HTTP client, like a small
// curl over the program's own library. Connections and cookies carry from
// one URL to the next; https URLs go over the client's TLS transport, which
// passes http in clear text. Credentials and a proxy (HTTP or SOCKS) come
// from the options shared with kvornis-cli.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/int_conversion.h"
#include "base/stream.h"
#include "base/text_tokens.h"
#include "base/version.h"
#include "http/http_client.h"
#include "net/intercept.h"
#include "net/io_handler_ssl.h"
#include "tools/buffered_output.h"
#include "http/transport_options.h"

namespace {

constexpr const char* kUsage =
    "usage: kvornis-get [options] URL...\n"
    "  -o FILE              write the bodies to FILE instead of standard output\n"
    "  -i                   put the status line and header lines before each body\n"
    "  -v                   status events and request and response heads on stderr\n"
    "  -L                   follow redirects\n"
    "  --max-redirs N       passes allowed when following redirects (default 15)\n"
    "  -H 'Name: value'     add a header line to every request\n"
    "  -A AGENT             the User-Agent text\n"
    "  --http1.0            send HTTP/1.0 requests\n"
    "  --read-timeout MS    give up a read after MS milliseconds (0: never)\n"
    "  --stats              per URL: status code, body bytes and seconds on stderr\n"
    "  -u USER:PASS         Basic credentials for the server of the first URL, sent at once\n"
    "  --anyauth            send them only when the server asks (401)\n"
    "  -x, --proxy URL      through the proxy SCHEME://[user:pass@]host[:port] (default port 1080):\n"
    "                       http:// (the default scheme), socks4:// (the host name resolved here),\n"
    "                       socks4a:// (the proxy resolves it), socks5:// or socks5h:// (both send\n"
    "                       the host name to the proxy)\n"
    "  -U, --proxy-user USER:PASS  the proxy's credentials: for http, sent at once; for SOCKS, the\n"
    "                       SOCKS5 user name and password (SOCKS4: the user id), never a header\n"
    "  --proxy-anyauth      send an http proxy's credentials only when it asks (407)\n"
    "  --cacert FILE        trust only the authorities in FILE (PEM) for https\n"
    "  -k, --insecure       https without certificate or host name checks\n"
    "  -h, --help           this text\n"
    "  --version            the program's version\n";

struct Options {
  bool help = false;     // --help: print the usage and fetch nothing
  bool version = false;  // --version: likewise, the version
  std::string output;
  bool include_head = false;
  bool verbose = false;
  bool follow = false;
  std::optional<int> max_redirects;
  std::vector<std::string> headers;
  std::optional<std::string> agent;
  bool http10 = false;
  std::optional<int> read_timeout;
  bool stats = false;
  kv::TransportOptions transport;
  std::vector<std::string> urls;
};

// A complaint about a bad value goes to `complaint`; other mistakes leave
// it empty.
std::optional<Options> ParseArguments(int argc, char** argv, std::string& complaint) {
  Options options;
  auto value = [&](int& i) -> std::optional<std::string> {
    if (i + 1 >= argc) return std::nullopt;
    return std::string(argv[++i]);
  };
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    // Every option begins with "-": anything else is a URL, and a run may
    // name thousands of them.
    if (arg.empty() || arg.front() != '-') {
      options.urls.emplace_back(arg);
      continue;
    }
    if (arg == "--help" || arg == "-h" || arg == "--version") {
      (arg == "--version" ? options.version : options.help) = true;
      return options;
    }
    std::optional<std::string> v;
    if (arg == "-o") {
      if (!(v = value(i))) return std::nullopt;
      options.output = *v;
    } else if (arg == "-i") {
      options.include_head = true;
    } else if (arg == "-v") {
      options.verbose = true;
    } else if (arg == "-L") {
      options.follow = true;
    } else if (arg == "--max-redirs") {
      if (!(v = value(i)) || !kv::TryStrToInt(*v)) return std::nullopt;
      options.max_redirects = *kv::TryStrToInt(*v);
    } else if (arg == "-H") {
      if (!(v = value(i)) || v->find(':') == std::string::npos) return std::nullopt;
      options.headers.push_back(*v);
    } else if (arg == "-A") {
      if (!(v = value(i))) return std::nullopt;
      options.agent = *v;
    } else if (arg == "--http1.0") {
      options.http10 = true;
    } else if (arg == "--read-timeout") {
      if (!(v = value(i)) || !kv::TryStrToInt(*v) || *kv::TryStrToInt(*v) < 0) return std::nullopt;
      options.read_timeout = *kv::TryStrToInt(*v);
    } else if (arg == "--stats") {
      options.stats = true;
    } else if (const kv::OptionTaken taken =
                   kv::TakeTransportOption(options.transport, argc, argv, i, true, complaint);
               taken != kv::OptionTaken::kNo) {
      if (taken == kv::OptionTaken::kBad) return std::nullopt;
    } else {
      return std::nullopt;  // an option this tool does not know
    }
  }
  if (options.urls.empty()) return std::nullopt;
  return options;
}

// Standard output as a stream: bodies pass straight through, and only
// their count stays.
class StandardOutputStream : public kv::CountingStream {
 public:
  size_t Write(const void* buffer, size_t count) override {
    const char* bytes = static_cast<const char*>(buffer);
    size_t done = 0;
    while (done < count) {
      ssize_t n = ::write(STDOUT_FILENO, bytes + done, count - done);
      if (n <= 0) throw kv::EWriteError("Stream write error");
      done += static_cast<size_t>(n);
    }
    return CountingStream::Write(buffer, count);
  }
};

// Prints every block the client sends, line by line, marked "> ".
void PrintSent(kv::Stream& block) {
  std::string text(static_cast<size_t>(block.Size()), '\0');
  block.Seek(0, kv::SeekOrigin::Beginning);
  block.Read(text.data(), text.size());
  block.Seek(0, kv::SeekOrigin::Beginning);
  size_t from = 0;
  while (from < text.size()) {
    size_t end = text.find('\n', from);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(from, end - from);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::cerr << "> " << line << '\n';
    from = end + 1;
  }
}

std::string ResponseHead(kv::TIdHTTPResponse& response) {
  std::string head = response.StatusLine + "\r\n";
  for (const std::string& line : response.HeaderLines.Lines()) head += line + "\r\n";
  return head + "\r\n";
}

class Fetcher {
 public:
  explicit Fetcher(const Options& options) : options_(options) {
    if (options.follow) client_.HandleRedirects = true;
    if (options.max_redirects) client_.RedirectMaximum = *options.max_redirects;
    if (options.agent) client_.Request().UserAgent = *options.agent;
    if (options.http10) client_.ProtocolVersion = kv::pv1_0;
    if (options.read_timeout) client_.ReadTimeout = *options.read_timeout;
    for (const std::string& header : options.headers) client_.Request().CustomHeaders.Add(header);
    client_.SetIOHandler(&tls_);
    kv::ApplyTransportOptions(options.transport, client_, tls_);
    // -u is for the server of the first URL, whatever becomes of it.
    if (options.transport.user) client_.BindCredentialsTo(options.urls.front());
    if (options.verbose) {
      client_.OnStatus = [](kv::Component*, kv::TIdStatus, const std::string& text) {
        std::cerr << "* " << text << '\n';
      };
      // The handshake's progress and the cipher it settled on.
      tls_.OnStatusInfo = [](const std::string& text) { std::cerr << "* " << text << '\n'; };
      head_printer_.OnSend = [](kv::TIdConnectionIntercept*, kv::Stream& block) { PrintSent(block); };
      client_.SetIntercept(&head_printer_);
    }
  }
  ~Fetcher() { client_.SetIntercept(nullptr); }
  Fetcher(const Fetcher&) = delete;
  Fetcher& operator=(const Fetcher&) = delete;

  // Fetches every URL; false when any failed.
  bool Run() {
    std::unique_ptr<kv::Stream> target;
    try {
      if (options_.output.empty()) target = std::make_unique<StandardOutputStream>();
      else target = std::make_unique<kv::FileStream>(options_.output, kv::FileStream::Mode::Create);
    } catch (const kv::Exception& e) {
      Report(e);
      return false;
    }
    // Bodies reach a terminal as each URL is done, anything else in blocks.
    const bool to_terminal = options_.output.empty() && isatty(STDOUT_FILENO) == 1;
    kv::tools::BufferedOutput output(*target);
    bool all_fetched = true;
    for (const std::string& url : options_.urls) {
      all_fetched = Fetch(url, output) && all_fetched;
      if (to_terminal) all_fetched = Flushed(output) && all_fetched;
    }
    all_fetched = Flushed(output) && all_fetched;
    try {
      if (auto* file = dynamic_cast<kv::FileStream*>(target.get())) file->Close();
    } catch (const kv::Exception& e) {
      Report(e);
      all_fetched = false;
    }
    return all_fetched;
  }

 private:
  bool Fetch(const std::string& url, kv::Stream& output) {
    // The clock is read only for the statistics that show it.
    const auto started = options_.stats ? std::chrono::steady_clock::now() : std::chrono::steady_clock::time_point();
    kv::TIdHTTPResponse& response = client_.LastResponse();
    bool fetched = true;
    int64_t body_bytes = 0;
    try {
      // With -i the head goes before the body; the body is collected apart
      // only then, since the head is known once the body has been read.
      if (options_.include_head) {
        kv::MemoryStream body;
        client_.Get(url, &body);
        const std::string head = ResponseHead(response);
        output.WriteBuffer(head.data(), head.size());
        output.WriteBuffer(body.View().data(), body.View().size());
        body_bytes = static_cast<int64_t>(body.View().size());
      } else {
        const int64_t before = output.Position();
        client_.Get(url, &output);
        body_bytes = output.Position() - before;
      }
      if (options_.verbose) PrintReceivedHead(response);
    } catch (const kv::Exception& e) {
      if (options_.verbose && !response.StatusLine.empty()) PrintReceivedHead(response);
      Report(e);
      fetched = false;
    }
    if (options_.stats) {
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
      std::fprintf(stderr, "%s: status %d, %lld bytes, %.3f s\n", url.c_str(), response.StoredStatusCode(),
                   static_cast<long long>(body_bytes), seconds);
    }
    return fetched;
  }

  // Writes out the waiting output; false, with the failure reported, when
  // it cannot.
  static bool Flushed(kv::tools::BufferedOutput& output) {
    try {
      output.Flush();
      return true;
    } catch (const kv::Exception& e) {
      Report(e);
      return false;
    }
  }

  static void PrintReceivedHead(kv::TIdHTTPResponse& response) {
    std::cerr << "< " << response.StatusLine << '\n';
    for (const std::string& line : response.HeaderLines.Lines()) std::cerr << "< " << line << '\n';
  }

  static void Report(const kv::Exception& e) {
    std::cerr << "kvornis-get: " << e.ClassName() << ": " << e.Message() << '\n';
  }

  const Options& options_;
  // Before the client, so that the client's last disconnect still finds it.
  kv::TIdSSLIOHandlerSocket tls_;
  kv::TIdHTTP client_;
  kv::TIdConnectionIntercept head_printer_;
};

}  // namespace

int main(int argc, char** argv) {
  std::string complaint;
  std::optional<Options> options = ParseArguments(argc, argv, complaint);
  if (!options) {
    if (!complaint.empty()) std::cerr << "kvornis-get: " << complaint << '\n';
    std::cerr << kUsage;
    return 2;
  }
  if (options->help) {
    std::cout << kUsage;
    return 0;
  }
  if (options->version) {
    std::cout << "kvornis-get " << kv::kVersion << '\n';
    return 0;
  }
  Fetcher fetcher(*options);
  return fetcher.Run() ? 0 : 1;
}
