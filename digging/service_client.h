#pragma once
// How a client talks to the keyword-statistics service: the settings of the
// window's client, and the addresses of the form page and of a keyword's
// first result page. The window and the harvest's workers share them, so
// that a worker asks exactly what the Get command asks.
#include <string>
#include <string_view>

#include "app/memo.h"

namespace kv {

class TIdHTTP;
class TIdSSLIOHandlerSocket;

// Gives `http` the window's client settings and `tls` as its transport
// (TLS for an https service, clear text for http), `tls` checking an https
// service's certificate against `root_cert_file` (empty: the system's store).
void ConfigureServiceClient(TIdHTTP& http, TIdSSLIOHandlerSocket& tls, const std::string& root_cert_file);

// The service's form page, which sets the session cookie and carries the
// hidden fields.
std::string FormPageAddress(std::string_view service_url);

// The first result page of `keyword` (Windows-1251): the form page's address
// with the hidden fields of `form_page` and the encoded keyword appended.
std::string QueryAddress(std::string_view service_url, const TMemo& form_page, std::string_view keyword);

}  // namespace kv
