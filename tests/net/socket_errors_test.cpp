// The socket error catalogue: codes, texts, the message format, and the
// mapping of this platform's errors onto the catalogue's numbers.

#include <netdb.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "net/component.h"
#include "net/exceptions.h"
#include "net/socket_errors.h"
#include "net/socket_stack.h"

namespace kv {
namespace {

TEST(SocketErrorCatalogue, MessageIsCodeCrLfAndTextWithTheCataloguesOddities) {
  struct Case {
    int code;
    const char* message;
  } cases[] = {
      {10004, "Socket Error # 10004\r\nInterrupted system call."},
      // The catalogue's text for 10035 keeps its trailing blank and 10066
      // has no full stop.
      {10035, "Socket Error # 10035\r\nOperation would block. "},
      {10066, "Socket Error # 10066\r\nDirectory not empty"},
      {10053, "Socket Error # 10053\r\nSoftware caused connection abort."},
      {10054, "Socket Error # 10054\r\nConnection reset by peer."},
      {10058, "Socket Error # 10058\r\nCannot send or receive after socket is closed."},
      {10061, "Socket Error # 10061\r\nConnection refused."},
      {11001, "Socket Error # 11001\r\nHost not found."},
      // Codes without a text: the message ends after CR LF.
      {12345, "Socket Error # 12345\r\n"},
      {11002, "Socket Error # 11002\r\n"},
      {10005, "Socket Error # 10005\r\n"},
      {0, "Socket Error # 0\r\n"},
      {-1, "Socket Error # -1\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(SocketErrorMessage(c.code), c.message) << c.code;
}

TEST(SocketErrorCatalogue, HasATextForEveryCodeOfItsRangeThatItNames) {
  // The catalogue names these codes of 10004 ... 10066; every other number
  // of the range has no text.
  const int named[] = {10004, 10009, 10013, 10014, 10022, 10024, 10035, 10036, 10037, 10038, 10039, 10040, 10041,
                       10042, 10043, 10044, 10045, 10046, 10047, 10048, 10049, 10050, 10051, 10052, 10053, 10054,
                       10055, 10056, 10057, 10058, 10059, 10060, 10061, 10062, 10063, 10064, 10065, 10066};
  for (int code = 10000; code <= 10070; ++code) {
    bool is_named = std::find(std::begin(named), std::end(named), code) != std::end(named);
    EXPECT_EQ(!SocketErrorCatalogueText(code).empty(), is_named) << code;
  }
}

TEST(SocketErrorMapping, ErrnoValuesBecomeCatalogueNumbers) {
  struct Case {
    int error;
    int code;
  } cases[] = {
      {EINTR, 10004},        {EBADF, 10009},         {EACCES, 10013},        {EINVAL, 10022},
      {EMFILE, 10024},       {EWOULDBLOCK, 10035},   {EAGAIN, 10035},        {EINPROGRESS, 10036},
      {ENOTSOCK, 10038},     {EADDRINUSE, 10048},    {EADDRNOTAVAIL, 10049}, {ENETUNREACH, 10051},
      {ECONNABORTED, 10053}, {ECONNRESET, 10054},    {ENOBUFS, 10055},       {EISCONN, 10056},
      {ENOTCONN, 10057},     {ESHUTDOWN, 10058},     {EPIPE, 10058},         {ETIMEDOUT, 10060},
      {ECONNREFUSED, 10061}, {EHOSTUNREACH, 10065},  {ENOTEMPTY, 10066},
  };
  for (const Case& c : cases) EXPECT_EQ(SocketErrorFromErrno(c.error), c.code) << "errno " << c.error;
  // Without a counterpart the value stays, below the catalogue's range.
  EXPECT_EQ(SocketErrorFromErrno(ENOENT), ENOENT);
}

TEST(SocketErrorMapping, NameLookupResultsBecomeTheHostNumbers) {
  EXPECT_EQ(SocketErrorFromAddrInfo(EAI_NONAME, 0), 11001);
  EXPECT_EQ(SocketErrorFromAddrInfo(EAI_AGAIN, 0), 11002);
  EXPECT_EQ(SocketErrorFromAddrInfo(EAI_FAIL, 0), 11003);
  EXPECT_EQ(SocketErrorFromAddrInfo(EAI_SYSTEM, ECONNREFUSED), 10061);
}

TEST(SocketErrorCheck, CheckSocketResultKeepsTheCodeAndRaisesUnlessAccepted) {
  TIdComponent keep_stack;
  TIdStack& stack = *GStack();
  EXPECT_FALSE(stack.CheckSocketResult(0));
  EXPECT_FALSE(stack.CheckSocketResult(17));

  // A real failure: a receive on a descriptor that is no socket.
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  char byte;
  int rc = stack.SockRecv(fds[0], &byte, 1, 0);
  EXPECT_EQ(rc, -1);
  EXPECT_TRUE(stack.CheckSocketResult(rc, {10053, 10038}));
  EXPECT_EQ(stack.LastError(), 10038);

  try {
    stack.CheckSocketResult(stack.SockRecv(fds[0], &byte, 1, 0), {10053});
    FAIL() << "no exception";
  } catch (const EIdSocketError& e) {
    EXPECT_EQ(e.Code(), 10038);
    EXPECT_EQ(e.Message(), "Socket Error # 10038\r\nSocket operation on non-socket.");
    EXPECT_STREQ(e.ClassName(), "EIdSocketError");
  }
  ::close(fds[0]);
  ::close(fds[1]);
}

TEST(SocketErrorCheck, ThrowSocketErrorCarriesAnyCode) {
  TIdComponent keep_stack;
  try {
    GStack()->ThrowSocketError(12345);
    FAIL() << "no exception";
  } catch (const EIdException& e) {
    auto* socket_error = dynamic_cast<const EIdSocketError*>(&e);
    ASSERT_NE(socket_error, nullptr);
    EXPECT_EQ(socket_error->Code(), 12345);
    EXPECT_EQ(e.Message(), "Socket Error # 12345\r\n");
  }
}

// The class each failure is caught as matters to callers: the digging
// commands catch EIdSocketError, the HTTP client swallows
// EIdConnClosedGracefully while reading a body.
TEST(NetExceptions, FixedMessagesAndTheClassesTheyAreCaughtAs) {
  auto check = [](const EIdException& e, const char* name, const std::string& message) {
    EXPECT_STREQ(e.ClassName(), name);
    EXPECT_EQ(e.Message(), message) << name;
  };
  check(EIdConnClosedGracefully(), "EIdConnClosedGracefully", "Connection Closed Gracefully.");
  check(EIdReadTimeout(), "EIdReadTimeout", "Read Timeout");
  check(EIdReadLnMaxLineLengthExceeded(), "EIdReadLnMaxLineLengthExceeded", "Max line length exceeded.");
  check(EIdNotConnected(), "EIdNotConnected", "Not Connected");
  check(EIdAlreadyConnected(), "EIdAlreadyConnected", "Already connected.");
  check(EIdClosedSocket(), "EIdClosedSocket", "Disconnected.");
  check(EIdConnectTimeout(), "EIdConnectTimeout", "Connect timed out.");
  check(EIdNotEnoughDataInBuffer(), "EIdNotEnoughDataInBuffer", "Not enough data in buffer.");
  check(EIdNoDataToRead(), "EIdNoDataToRead", "No data to read.");
  check(EIdFileNotFound("a b.txt"), "EIdFileNotFound", "File \"a b.txt\" not found");
  check(EIdInvalidSocket(), "EIdInvalidSocket", "Cannot allocate socket.");
  check(EIdCouldNotBindSocket(), "EIdCouldNotBindSocket",
        "Could not bind socket. Address and port are already in use.");
  check(EIdInvalidPortRange(5, 3), "EIdInvalidPortRange", "Invalid Port Range (5 - 3)");
  check(EIdCanNotBindPortInRange(3, 5), "EIdCanNotBindPortInRange", "Can not bind in port range (3 - 5)");
  check(EIdStackInitializationFailed(), "EIdStackInitializationFailed", "Winsock Initialization Error.");
  check(EIdStackSetSizeExceeded(), "EIdStackSetSizeExceeded", "Set Size Exceeded.");
  check(EIdInvalidServiceName("gopherz"), "EIdInvalidServiceName", "gopherz is not a valid service.");
  check(EIdProtocolReplyError(550, "no\r\n"), "EIdProtocolReplyError", "no\r\n");

  EXPECT_NE(dynamic_cast<const EIdSilentException*>(&static_cast<const EIdException&>(EIdConnClosedGracefully())),
            nullptr);
  EIdNotConnected not_connected;
  EXPECT_NE(dynamic_cast<const EIdTCPConnectionError*>(&static_cast<const EIdException&>(not_connected)), nullptr);
  EIdInvalidPortRange range(1, 0);
  EXPECT_NE(dynamic_cast<const EIdSocketHandleError*>(&static_cast<const EIdException&>(range)), nullptr);
  EIdStackSetSizeExceeded set_size;
  EXPECT_NE(dynamic_cast<const EIdStackError*>(&static_cast<const EIdException&>(set_size)), nullptr);
  // Every networking failure is one of ours, under the program's root.
  EXPECT_NE(dynamic_cast<const Exception*>(&static_cast<const std::exception&>(set_size)), nullptr);
}

TEST(NetExceptions, StubErrorShowsThePlatformTextOnlyWithACode) {
  EIdWS2StubError plain("Error on call Winsock2 library function recv", 0, "ignored");
  EXPECT_EQ(plain.Message(), "Error on call Winsock2 library function recv");
  EIdWS2StubError with_code("Error on loading Winsock2 library (WS2_32.DLL)", 126, "The module was not found.");
  EXPECT_EQ(with_code.Message(), "Error on loading Winsock2 library (WS2_32.DLL): The module was not found.");
  EXPECT_EQ(with_code.PlatformCode(), 126);
}

}  // namespace
}  // namespace kv
