#include "digging/form_main.h"

#include "digging/service_client.h"
#include "http/http_client.h"
#include "net/io_handler_ssl.h"

namespace kv {

TFormMain::TFormMain(Component* owner, std::string serviceUrl)
    : TFormMainModel(owner),
      service_url_(std::move(serviceUrl)),
      id_ssl_io_handler_socket1_(std::make_unique<TIdSSLIOHandlerSocket>(this)),
      id_http1_(std::make_unique<TIdHTTP>(this)) {
  ConfigureServiceClient(*id_http1_, *id_ssl_io_handler_socket1_, KVORNIS_SERVICE_CA);
}

TFormMain::~TFormMain() = default;

std::string TFormMain::DefaultServiceUrl() { return KVORNIS_SERVICE_URL; }

std::string TFormMain::DefaultServiceCa() { return KVORNIS_SERVICE_CA; }

}  // namespace kv
