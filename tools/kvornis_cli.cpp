// kvornis-cli: drives one headless main window from the command line, step
// by step, as a user at the window would. See README for the steps.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/error_box.h"
#include "digging/form_main.h"
#include "base/cp1251.h"
#include "base/int_conversion.h"
#include "base/version.h"
#include "http/transport_options.h"

namespace {

using kv::TFormMain;

struct Options {
  bool help = false;     // --help: print the usage and do nothing else
  bool version = false;  // --version: likewise, the version
  bool raw = false;
  std::string service;
  // TLS checks (no --cacert: the build's authority) and the proxy.
  kv::TransportOptions transport;
  std::vector<std::pair<std::string, std::string>> steps;  // name, argument
};

constexpr const char* kUsage =
    "usage: kvornis-cli [--service URL] [--raw] [--proxy URL] [--proxy-user U:P] [--cacert FILE] [-k] STEP...\n"
    "       kvornis-cli --help | --version\n"
    "steps: keyword=TEXT pages=TEXT min=TEXT row=R list=FILE\n"
    "       get deep broad clear remdup sort count ltor save=FILE savekw=FILE\n"
    "       export=FILE minus=FILE\n"
    "       print=list print=grid\n"
    "--proxy URL: http://, socks4:// (the name resolved here), socks4a:// (by the proxy),\n"
    "       socks5:// or socks5h:// (both send the host name); [user:pass@]host[:port]\n";

const std::map<std::string, void (TFormMain::*)()> kHandlers = {
    {"clear", &TFormMain::ClearButtClick}, {"remdup", &TFormMain::RemDupButtClick},
    {"sort", &TFormMain::SortButtClick},   {"count", &TFormMain::Count1Click},
    {"ltor", &TFormMain::LtoRClick},       {"get", &TFormMain::DigButtClick},
    {"deep", &TFormMain::DeepButtClick},   {"broad", &TFormMain::BroadButtClick},
};
const std::vector<std::string> kValueSteps = {"keyword", "pages", "min", "row", "list", "save", "savekw", "export", "minus", "print"};

bool IsKnownStep(const std::string& name, const std::optional<std::string>& arg) {
  if (!arg) return kHandlers.contains(name);
  if (name == "print") return *arg == "list" || *arg == "grid";
  if (name == "row") return kv::TryStrToInt(*arg).has_value();
  return std::find(kValueSteps.begin(), kValueSteps.end(), name) != kValueSteps.end();
}

std::optional<Options> ParseArguments(int argc, char** argv) {
  Options options;
  std::string complaint;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h" || arg == "--version") {
      (arg == "--version" ? options.version : options.help) = true;
      return options;
    } else if (arg == "--raw") {
      options.raw = true;
    } else if (arg == "--service" && i + 1 < argc) {
      options.service = argv[++i];
    } else if (arg.rfind("--service=", 0) == 0) {
      options.service = arg.substr(10);
    } else if (const kv::OptionTaken taken =
                   kv::TakeTransportOption(options.transport, argc, argv, i, false, complaint);
               taken != kv::OptionTaken::kNo) {
      if (taken == kv::OptionTaken::kBad) {
        std::cerr << "kvornis-cli: " << complaint << '\n' << kUsage;
        return std::nullopt;
      }
    } else if (!arg.empty() && arg[0] == '-') {
      std::cerr << "kvornis-cli: unknown option '" << arg << "'\n" << kUsage;
      return std::nullopt;
    } else {
      size_t eq = arg.find('=');
      std::string name = arg.substr(0, eq);
      std::optional<std::string> value;
      if (eq != std::string::npos) value = arg.substr(eq + 1);
      if (!IsKnownStep(name, value)) {
        std::cerr << "kvornis-cli: unknown step '" << arg << "'\n" << kUsage;
        return std::nullopt;
      }
      options.steps.emplace_back(name, value.value_or(""));
    }
  }
  return options;
}

class Driver {
 public:
  explicit Driver(const Options& options)
      : options_(options), form_(nullptr, options.service.empty() ? TFormMain::DefaultServiceUrl() : options.service) {
    // An https service's certificate: checked against --cacert alone when
    // given, not at all with -k; the window's client through the proxy
    // when one is given.
    kv::ApplyTransportOptions(options.transport, form_.IdHTTP1(), form_.IdSSLIOHandlerSocket1());
    form_.SaveDialog1.Runner = [this](const kv::TSaveDialog&) -> std::optional<std::string> {
      if (save_answer_.empty()) return std::nullopt;
      return save_answer_;
    };
    form_.ExportDialog1.Runner = [this](const kv::TSaveDialog&) -> std::optional<std::string> {
      if (export_answer_.empty()) return std::nullopt;
      return export_answer_;
    };
    form_.MinusDialog1.Runner = [this](const std::string&) { return minus_answer_; };
    form_.FormShow();
  }

  void Run() {
    for (const auto& [name, arg] : options_.steps) Step(name, arg);
  }

 private:
  // Texts arrive and leave as UTF-8 unless --raw.
  std::string In(std::string_view text) const { return options_.raw ? std::string(text) : kv::Utf8ToCp1251(text); }
  std::string Out(std::string_view text) const { return options_.raw ? std::string(text) : kv::Cp1251ToUtf8(text); }

  void ShowError(const std::string& text) { std::cout << "error: " << Out(text) << '\n'; }

  void RunHandlerStep(const std::function<void()>& handler) {
    kv::RunHandler(handler, [this](const std::string& text) { ShowError(text); });
    std::cout << "status: " << Out(form_.StatusBar1.SimpleText()) << '\n';
  }

  void Step(const std::string& name, const std::string& arg) {
    if (auto handler = kHandlers.find(name); handler != kHandlers.end()) {
      RunHandlerStep([this, method = handler->second] { (form_.*method)(); });
    } else if (name == "keyword") {
      form_.EditKw.SetText(In(arg));
    } else if (name == "pages" || name == "min") {
      kv::TSpinEdit& field = name == "pages" ? form_.SpinEdMaxKw : form_.SpinEdKwPM;
      field.SetText("");
      field.Type(In(arg));
      field.Leave();
    } else if (name == "row") {
      int row = kv::StrToInt(arg);
      if (!form_.StrGrid1.SetRow(row))
        ShowError("Row " + arg + " does not exist (the grid has " + std::to_string(form_.StrGrid1.RowCount()) + " rows)");
    } else if (name == "list") {
      LoadList(arg);
    } else if (name == "save" || name == "savekw") {
      save_answer_ = arg;
      RunHandlerStep([this, name] { name == "save" ? form_.Save1Click() : form_.Savekwonly1Click(); });
    } else if (name == "export") {
      export_answer_ = arg;
      RunHandlerStep([this] { form_.Export1Click(); });
    } else if (name == "minus") {
      // The words typed into the dialog, then "Применить".
      minus_answer_ = ReadText(arg);
      if (minus_answer_) RunHandlerStep([this] { form_.MinusWords1Click(); });
    } else if (name == "print") {
      Print(arg);
    }
  }

  void LoadList(const std::string& path) {
    if (std::optional<std::string> text = ReadText(path)) form_.MemoArea.TakeText(std::move(*text));
  }

  // FILE's text as a text of the window; nothing after an error shown.
  std::optional<std::string> ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
      ShowError("Cannot open file \"" + path + "\"");
      return std::nullopt;
    }
    // Read straight into room made once for the file's size: lists run to
    // tens of megabytes (a pipe has no size and simply grows the room).
    std::string bytes;
    std::error_code no_size;
    const auto size = std::filesystem::file_size(path, no_size);
    size_t have = 0;
    for (size_t room = no_size ? (1 << 16) : static_cast<size_t>(size) + 1;; room = bytes.size() * 2) {
      bytes.resize(room);
      file.read(bytes.data() + have, static_cast<std::streamsize>(room - have));
      have += static_cast<size_t>(file.gcount());
      if (have < room) break;
    }
    bytes.resize(have);
    if (options_.raw) return bytes;
    std::string text = In(bytes);
    if (text.empty() && !bytes.empty()) {
      ShowError("The file \"" + path + "\" is not UTF-8 text (use --raw for Windows-1251 files)");
      return std::nullopt;
    }
    return text;
  }

  void Print(const std::string& what) {
    if (what == "list") {
      for (size_t i = 0; i < form_.MemoArea.LineCount(); ++i) std::cout << Out(form_.MemoArea.RawLine(i)) << '\n';
    } else {
      for (int row = 0; row < form_.StrGrid1.RowCount(); ++row)
        std::cout << Out(form_.StrGrid1.Cell(0, row)) << '\t' << Out(form_.StrGrid1.Cell(1, row)) << '\n';
    }
  }

  const Options& options_;
  TFormMain form_;
  std::string save_answer_;
  std::string export_answer_;
  std::optional<std::string> minus_answer_;
};

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  std::optional<Options> options = ParseArguments(argc, argv);
  if (!options) return 2;
  if (options->help) {
    std::cout << kUsage;
    return 0;
  }
  if (options->version) {
    std::cout << "kvornis-cli " << kv::kVersion << '\n';
    return 0;
  }
  if (options->steps.empty()) {
    std::cerr << kUsage;
    return 2;
  }
  Driver driver(*options);
  driver.Run();
  return 0;
}
