#pragma once
// The main window with its digging commands: the window model and list
// tools of the app layer, the HTTP client IdHTTP1 that the commands fetch
// the service's pages with, and the service's base address.
#include <memory>
#include <string>

#include "app/form_main.h"

namespace kv {

class TFormMain : public TFormMainModel {
 public:
  // `serviceUrl`: scheme and host of the keyword-statistics service, no
  // trailing "/" (the program's constant unless a test or tool says other).
  explicit TFormMain(Component* owner = nullptr, std::string serviceUrl = DefaultServiceUrl());
  ~TFormMain() override;

  // The build's service address (the KVORNIS_SERVICE_URL cache variable).
  static std::string DefaultServiceUrl();

  const std::string& ServiceUrl() const { return service_url_; }

  // ---- Digging commands ----
  void DigButtClick();    // "Получить": the seed keyword's pages
  void DeepButtClick();   // "Вглубь": the keyword of the grid's current row
  void BroadButtClick();  // "Вширь": the one-line broad table of that row

 private:
  std::string service_url_;
};

}  // namespace kv
