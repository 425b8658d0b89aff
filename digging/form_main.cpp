#include "digging/form_main.h"

#include "http/http_client.h"
#include "net/io_handler_ssl.h"

namespace kv {

TFormMain::TFormMain(Component* owner, std::string serviceUrl)
    : TFormMainModel(owner),
      service_url_(std::move(serviceUrl)),
      id_ssl_io_handler_socket1_(std::make_unique<TIdSSLIOHandlerSocket>(this)),
      id_http1_(std::make_unique<TIdHTTP>(this)) {
  // The client settings of the window; whatever is not named keeps the
  // client's default.
  TIdHTTP& http = *id_http1_;
  http.Name = "IdHTTP1";
  http.Request().Accept = "text/html, */*";
  http.Request().UserAgent = "Mozilla/3.0 (compatible; Kvornis)";
  http.Request().ContentType = "text/html";
  http.Request().SetContentLength(-1);
  http.Request().ContentRangeStart = 0;
  http.Request().ContentRangeEnd = 0;
  http.Request().BasicAuthentication = false;
  http.ProxyParams().BasicAuthentication = false;
  http.ProxyParams().SetProxyPort(0);
  http.AllowCookies = true;
  http.HTTPOptions = hoForceEncodeParams;
  http.ReadTimeout = 0;
  http.MaxLineAction = maException;

  TIdSSLIOHandlerSocket& tls = *id_ssl_io_handler_socket1_;
  tls.Name = "IdSSLIOHandlerSocket1";
  tls.SSLOptions().RootCertFile = KVORNIS_SERVICE_CA;
  http.SetIOHandler(&tls);
}

TFormMain::~TFormMain() = default;

std::string TFormMain::DefaultServiceUrl() { return KVORNIS_SERVICE_URL; }

}  // namespace kv
