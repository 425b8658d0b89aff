#include "digging/form_main.h"

namespace kv {

TFormMain::TFormMain(Component* owner, std::string serviceUrl)
    : TFormMainModel(owner), service_url_(std::move(serviceUrl)) {}

TFormMain::~TFormMain() = default;

std::string TFormMain::DefaultServiceUrl() { return KVORNIS_SERVICE_URL; }

}  // namespace kv
