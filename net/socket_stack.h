#pragma once
// The socket stack: the one object through which every platform socket call
// of the program passes. There is one per process; it exists while at least
// one networking component (TIdComponent or a descendant) exists. Addresses
// are IPv4 dotted text at this interface, ports are in host order.
//
// Calls that the connection checks itself (bind, connect, listen, receive,
// send, select, shutdown, close, options) return the platform's result
// unchanged: -1 on failure, with the failure's catalogue number kept for
// LastPlatformError(). Socket creation, host lookups and address read-back
// raise on failure.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

using TIdStackSocketHandle = int;
inline constexpr TIdStackSocketHandle Id_INVALID_SOCKET = -1;
inline constexpr int Id_SOCKET_ERROR = -1;

// Platform constants as the stack's callers pass them.
inline constexpr int Id_PF_INET = 2;        // IPv4
inline constexpr int Id_SOCK_STREAM = 1;
inline constexpr int Id_IPPROTO_TCP = 6;
inline constexpr int Id_TCP_NODELAY = 1;
inline constexpr int Id_SD_SEND = 1;        // shutdown: no more sending
inline constexpr int Id_MSG_DONTWAIT = 0x40;  // receive: fail with 10035 rather than block
inline constexpr int Id_SocketSetSize = 64;

// The time limits of a wait, in milliseconds: -2 waits without limit.
inline constexpr int IdTimeoutDefault = -1;
inline constexpr int IdTimeoutInfinite = -2;

// A list of socket handles for a wait on many sockets, at most 64.
class TIdSocketList {
 public:
  virtual ~TIdSocketList() = default;
  // Raises EIdStackSetSizeExceeded for an index outside 0 ... Count()-1.
  virtual TIdStackSocketHandle Item(int index) const = 0;
  // Raises EIdStackSetSizeExceeded when the list already holds 64.
  virtual void Add(TIdStackSocketHandle handle) = 0;
  // The last entry moves into the removed one's place; unknown handles are
  // ignored.
  virtual void Remove(TIdStackSocketHandle handle) = 0;
  virtual int Count() const = 0;
  virtual void Clear() = 0;

  bool Contains(TIdStackSocketHandle handle) const;
};

class TIdSocketListPosix : public TIdSocketList {
 public:
  TIdStackSocketHandle Item(int index) const override;
  void Add(TIdStackSocketHandle handle) override;
  void Remove(TIdStackSocketHandle handle) override;
  int Count() const override { return count_; }
  void Clear() override;

 private:
  int count_ = 0;
  std::array<TIdStackSocketHandle, Id_SocketSetSize> handles_{};
};

class TIdStack {
 public:
  TIdStack() = default;
  virtual ~TIdStack() = default;
  TIdStack(const TIdStack&) = delete;
  TIdStack& operator=(const TIdStack&) = delete;

  // This machine's addresses, refilled on every call.
  virtual void FillLocalAddresses() = 0;
  const std::vector<std::string>& LocalAddresses();
  std::string LocalAddress();

  virtual TIdStackSocketHandle SockAccept(TIdStackSocketHandle socket, std::string& remote_ip, int& remote_port) = 0;
  // An empty address binds to any address.
  virtual int SockBind(TIdStackSocketHandle socket, int family, const std::string& ip, int port) = 0;
  virtual int SockClose(TIdStackSocketHandle socket) = 0;
  virtual int SockConnect(TIdStackSocketHandle socket, int family, const std::string& ip, int port) = 0;
  // The first IPv4 address of the name; raises EIdSocketError.
  virtual std::string HostByName(const std::string& host) = 0;
  virtual std::string LocalHostName() = 0;
  // The official name of the host at the address; raises EIdSocketError.
  virtual std::string HostByAddress(const std::string& address) = 0;
  // The port of a service the platform knows, else the name read as an
  // integer; raises EIdInvalidServiceName.
  virtual int ServiceByName(const std::string& name) = 0;
  // The official name and the aliases of the service on the port.
  virtual std::vector<std::string> ServicesByPort(int port) = 0;
  virtual uint16_t HostToNet16(uint16_t value) = 0;
  virtual int SockListen(TIdStackSocketHandle socket, int backlog) = 0;
  virtual uint16_t NetToHost16(uint16_t value) = 0;
  virtual uint32_t HostToNet32(uint32_t value) = 0;
  virtual uint32_t NetToHost32(uint32_t value) = 0;
  virtual int SockRecv(TIdStackSocketHandle socket, void* buffer, int length, int flags) = 0;
  virtual int SockRecvFrom(TIdStackSocketHandle socket, void* buffer, int length, int flags, std::string& ip,
                           int& port) = 0;
  // Waits until a socket of a list is ready, or the time limit (ms, -2 =
  // none) passes. Each present list is replaced by its ready sockets.
  // Returns the number of ready sockets, 0 on timeout, -1 on failure.
  virtual int SockSelect(TIdSocketList* read, TIdSocketList* write, TIdSocketList* error, int timeout) = 0;
  // Never raises SIGPIPE, also when the peer has gone.
  virtual int SockSend(TIdStackSocketHandle socket, const void* buffer, int length, int flags) = 0;
  virtual int SockSendTo(TIdStackSocketHandle socket, const void* buffer, int length, int flags,
                         const std::string& ip, int port) = 0;
  virtual int SockSetOption(TIdStackSocketHandle socket, int level, int option, const void* value, int length) = 0;
  virtual TIdStackSocketHandle SockCreate(int family, int type, int protocol) = 0;
  virtual int SockShutdown(TIdStackSocketHandle socket, int how) = 0;
  // "Socket Error # CODE" CR LF and the catalogue's text.
  virtual std::string SocketErrorText(int code);
  // The catalogue number of this thread's last failed platform call.
  virtual int LastPlatformError() = 0;
  virtual void SockPeerName(TIdStackSocketHandle socket, int& family, std::string& ip, int& port) = 0;
  virtual void SockLocalName(TIdStackSocketHandle socket, int& family, std::string& ip, int& port) = 0;
  virtual int SockGetOption(TIdStackSocketHandle socket, int level, int option, void* value, int* length) = 0;
  virtual std::string AddressToText(const std::array<uint8_t, 4>& address) = 0;
  // Each of the four parts keeps its low 8 bits; a part that is not a
  // number raises EConvertError.
  virtual std::array<uint8_t, 4> TextToAddress(std::string_view text) = 0;

  // False for a result other than -1. For -1 the platform's last error is
  // kept as LastError(); an accepted code gives true, any other raises
  // EIdSocketError.
  bool CheckSocketResult(int result);
  bool CheckSocketResult(int result, std::initializer_list<int> accepted);
  // SockCreate(IPv4, type, protocol); raises EIdInvalidSocket.
  TIdStackSocketHandle NewSocket(int type, int protocol);
  [[noreturn]] void ThrowSocketError(int code);
  // "LOCALHOST" in any case is 127.0.0.1 without a lookup; a dotted address
  // is returned as it is; anything else goes through HostByName.
  std::string HostToDottedAddress(const std::string& host);
  static bool IsDottedAddress(std::string_view text);
  // An IPv6 address as a URL or a user writes it, bracketed or bare: any
  // text with a ":", which no host name or dotted address has.
  static bool IsIPv6Literal(std::string_view host) { return host.find(':') != std::string_view::npos; }

  // The last error code kept by CheckSocketResult on this thread (the
  // stack is the process's, and clients on other threads fail too).
  int LastError() const { return last_error_; }

  // Whole-file transmission on a socket (the platform's own file send).
  // Not offered by this build: WriteFileContents then sends the file
  // through the connection.
  virtual bool CanTransmitWholeFile() const { return false; }
  virtual int64_t TransmitWholeFile(TIdStackSocketHandle /*socket*/, const std::string& /*file_name*/) { return 0; }

 protected:
  static inline thread_local int last_error_ = 0;
  std::vector<std::string> local_addresses_;
};

// The stack over the POSIX socket interface.
class TIdStackPosix : public TIdStack {
 public:
  TIdStackPosix();

  void FillLocalAddresses() override;
  TIdStackSocketHandle SockAccept(TIdStackSocketHandle socket, std::string& remote_ip, int& remote_port) override;
  int SockBind(TIdStackSocketHandle socket, int family, const std::string& ip, int port) override;
  int SockClose(TIdStackSocketHandle socket) override;
  int SockConnect(TIdStackSocketHandle socket, int family, const std::string& ip, int port) override;
  std::string HostByName(const std::string& host) override;
  std::string LocalHostName() override;
  std::string HostByAddress(const std::string& address) override;
  int ServiceByName(const std::string& name) override;
  std::vector<std::string> ServicesByPort(int port) override;
  uint16_t HostToNet16(uint16_t value) override;
  int SockListen(TIdStackSocketHandle socket, int backlog) override;
  uint16_t NetToHost16(uint16_t value) override;
  uint32_t HostToNet32(uint32_t value) override;
  uint32_t NetToHost32(uint32_t value) override;
  int SockRecv(TIdStackSocketHandle socket, void* buffer, int length, int flags) override;
  int SockRecvFrom(TIdStackSocketHandle socket, void* buffer, int length, int flags, std::string& ip,
                   int& port) override;
  int SockSelect(TIdSocketList* read, TIdSocketList* write, TIdSocketList* error, int timeout) override;
  int SockSend(TIdStackSocketHandle socket, const void* buffer, int length, int flags) override;
  int SockSendTo(TIdStackSocketHandle socket, const void* buffer, int length, int flags, const std::string& ip,
                 int port) override;
  int SockSetOption(TIdStackSocketHandle socket, int level, int option, const void* value, int length) override;
  TIdStackSocketHandle SockCreate(int family, int type, int protocol) override;
  int SockShutdown(TIdStackSocketHandle socket, int how) override;
  int LastPlatformError() override;
  void SockPeerName(TIdStackSocketHandle socket, int& family, std::string& ip, int& port) override;
  void SockLocalName(TIdStackSocketHandle socket, int& family, std::string& ip, int& port) override;
  int SockGetOption(TIdStackSocketHandle socket, int level, int option, void* value, int* length) override;
  std::string AddressToText(const std::array<uint8_t, 4>& address) override;
  std::array<uint8_t, 4> TextToAddress(std::string_view text) override;
};

// The process's stack, or null when no networking component exists.
TIdStack* GStack();

// Stack lifetime, called by every networking component's constructor and
// destructor: the first acquire creates the stack, the last release frees
// it, both under one process-wide lock.
void IdStackAcquire();
void IdStackRelease() noexcept;
// Live networking components, and how often the platform's socket start-up
// ran in this process (at most once, however often the stack comes and
// goes).
int IdLiveComponentCount();
int IdSocketLibraryStartCount();

}  // namespace kv
