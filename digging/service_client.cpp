#include "digging/service_client.h"

#include "digging/keyword_encoder.h"
#include "digging/page_readers.h"
#include "http/http_client.h"
#include "net/io_handler_ssl.h"

namespace kv {

namespace {

constexpr std::string_view kFormPagePath = "/stat/wordsstat.pl?rpt=ppc&shw=1";
constexpr std::string_view kBlankInQuery = "%20";

}  // namespace

void ConfigureServiceClient(TIdHTTP& http, TIdSSLIOHandlerSocket& tls, const std::string& root_cert_file) {
  // The client settings of the window; whatever is not named keeps the
  // client's default.
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

  tls.Name = "IdSSLIOHandlerSocket1";
  tls.SSLOptions().RootCertFile = root_cert_file;
  http.SetIOHandler(&tls);
}

std::string FormPageAddress(std::string_view service_url) {
  std::string address(service_url);
  address += kFormPagePath;
  return address;
}

std::string QueryAddress(std::string_view service_url, const TMemo& form_page, std::string_view keyword) {
  std::string address = FormPageAddress(service_url);
  address += "&checkboxes=";
  address += HiddenFieldsQuery(form_page);
  address += "&text=";
  address += EncodeKeyword(keyword, kBlankInQuery);
  return address;
}

}  // namespace kv
