// A whole exchange against a server that answers with anything: the bytes
// are one reply, handed out in pieces whose size the first byte picks. The
// client must end every request, failing or not, without a crash, a hang
// or unbounded memory, and must never keep a connection it did not read to
// the end of its response.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/exception.h"
#include "base/stream.h"
#include "http/http_client.h"
#include "tests/support/memory_transport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t piece = data[0] % 64 + 1;
  const std::string reply(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string next = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";

  kv::test::MemoryTransport transport({{{reply, next}, false}, {{next}, false}});
  transport.PieceSize = piece;
  kv::TIdHTTP client;
  client.SetIOHandler(&transport);
  client.HandleRedirects = true;
  for (int request = 0; request < 2; ++request) {
    kv::MemoryStream body(1 << 20);
    try {
      client.Get("http://h/", &body);
    } catch (const kv::Exception&) {
      // Any failure of the library's own kinds is an answer.
    }
  }
  return 0;
}
