// Cookie texts of "Set-cookie" and "Set-cookie2" values: the input is a host
// line, then the cookie text. Both are stored and the "Cookie" header for
// that host is written.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/exception.h"
#include "http/cookie_manager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  const size_t lineEnd = input.find('\n');
  const std::string host = lineEnd == std::string::npos ? "h.example.ru" : input.substr(0, lineEnd);
  const std::string text = lineEnd == std::string::npos ? input : input.substr(lineEnd + 1);

  kv::TIdCookieManager manager;
  manager.StoreSetCookie(text, host);
  try {
    manager.StoreSetCookie2(text, host);
  } catch (const kv::EConvertError&) {
    // A "Port" item that is not a number.
  }
  manager.StoreSetCookie(text, host);  // the same name again: replacement in place
  kv::TIdURI uri;
  uri.Host = host;
  uri.Directory = "/";
  manager.CookieHeaderFor(uri, true);
  return 0;
}
