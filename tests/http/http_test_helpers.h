#pragma once
// Shared pieces of the client tests: the request head the client sends with
// its default settings, a response builder, and naming a failure.
#include <string>

#include "base/exception.h"
#include "base/int_conversion.h"
#include "base/stream.h"
#include "http/http_client.h"
#include "http/http_exceptions.h"
#include "tests/support/failure_of.h"
#include "tests/support/loopback_peer.h"

namespace kv::test {

// The head of a GET as the client sends it with its default settings.
inline std::string GetHead(const std::string& target, int port, const std::string& extra_lines = "") {
  return "GET " + target + " HTTP/1.1\r\nContent-Type: text/html\r\nHost: 127.0.0.1:" + IntToStr(port) +
         "\r\n" + extra_lines + "Accept: text/html, */*\r\nUser-Agent: Mozilla/3.0 (compatible; Kvornis)\r\n\r\n";
}

// A response with a Content-Length that matches the body.
inline std::string Response(const std::string& status, const std::string& body,
                            const std::string& extra_lines = "") {
  return "HTTP/1.1 " + status + "\r\n" + extra_lines + "Content-Length: " + IntToStr(static_cast<int64_t>(body.size())) +
         "\r\n\r\n" + body;
}

inline std::string Url(int port, const std::string& path) { return "http://127.0.0.1:" + IntToStr(port) + path; }

inline std::string BodyOf(const MemoryStream& stream) { return std::string(stream.View()); }

// Runs `action` and returns the protocol exception it raised; fails the
// test when it raised nothing or something else.
template <typename Action>
EIdHTTPProtocolException ProtocolFailureOf(Action&& action) {
  try {
    action();
  } catch (const EIdHTTPProtocolException& e) {
    return e;
  } catch (const kv::Exception& e) {
    ADD_FAILURE() << "raised " << e.ClassName() << ": " << e.Message();
    return EIdHTTPProtocolException(0, "", "");
  }
  ADD_FAILURE() << "raised nothing";
  return EIdHTTPProtocolException(0, "", "");
}

}  // namespace kv::test
