#include "digging/form_main.h"

#include "http/http_client.h"

namespace kv {

TFormMain::TFormMain(Component* owner, std::string serviceUrl)
    : TFormMainModel(owner), service_url_(std::move(serviceUrl)), id_http1_(std::make_unique<TIdHTTP>(this)) {
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
}

TFormMain::~TFormMain() = default;

std::string TFormMain::DefaultServiceUrl() { return KVORNIS_SERVICE_URL; }

}  // namespace kv
