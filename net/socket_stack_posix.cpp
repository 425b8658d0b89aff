// The socket stack over POSIX sockets. Failures are kept, already mapped
// onto the catalogue's numbers, in a per-thread slot at the moment the
// platform call fails, so that nothing run between the failing call and
// its check (a status handler, the anti-freeze, a close) can change the
// code that is reported.

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "base/int_conversion.h"
#include "net/exceptions.h"
#include "net/socket_errors.h"
#include "net/socket_stack.h"

namespace kv {

static_assert(Id_PF_INET == AF_INET && Id_SOCK_STREAM == SOCK_STREAM && Id_IPPROTO_TCP == IPPROTO_TCP &&
              Id_TCP_NODELAY == TCP_NODELAY && Id_SD_SEND == SHUT_WR && Id_MSG_DONTWAIT == MSG_DONTWAIT);

namespace {

thread_local int t_last_platform_error = 0;

// Keeps errno's catalogue number and passes the result through.
int Fail(int result) {
  if (result == -1) t_last_platform_error = SocketErrorFromErrno(errno);
  return result;
}

sockaddr_in MakeAddress(TIdStack& stack, int family, const std::string& ip, int port) {
  sockaddr_in address{};
  address.sin_family = static_cast<sa_family_t>(family);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (!ip.empty()) {
    std::array<uint8_t, 4> bytes = stack.TextToAddress(ip);
    std::memcpy(&address.sin_addr.s_addr, bytes.data(), 4);
  } else {
    address.sin_addr.s_addr = htonl(INADDR_ANY);
  }
  return address;
}

void ReadAddress(TIdStack& stack, const sockaddr_in& address, std::string& ip, int& port) {
  std::array<uint8_t, 4> bytes{};
  std::memcpy(bytes.data(), &address.sin_addr.s_addr, 4);
  ip = stack.AddressToText(bytes);
  port = ntohs(address.sin_port);
}

// Converts a list into poll entries with the given events.
void AddPollEntries(std::vector<pollfd>& entries, TIdSocketList* list, short events) {
  if (!list) return;
  for (int i = 0; i < list->Count(); ++i) entries.push_back(pollfd{list->Item(i), events, 0});
}

}  // namespace

TIdStackPosix::TIdStackPosix() = default;

void TIdStackPosix::FillLocalAddresses() {
  local_addresses_.clear();
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* answer = nullptr;
  int rc = ::getaddrinfo(LocalHostName().c_str(), nullptr, &hints, &answer);
  if (rc != 0) {
    t_last_platform_error = SocketErrorFromAddrInfo(rc, errno);
    CheckSocketResult(Id_SOCKET_ERROR);
  }
  for (addrinfo* entry = answer; entry; entry = entry->ai_next) {
    std::string ip;
    int port = 0;
    ReadAddress(*this, *reinterpret_cast<const sockaddr_in*>(entry->ai_addr), ip, port);
    local_addresses_.push_back(ip);
  }
  ::freeaddrinfo(answer);
}

TIdStackSocketHandle TIdStackPosix::SockAccept(TIdStackSocketHandle socket, std::string& remote_ip,
                                               int& remote_port) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  int handle;
  do handle = ::accept4(socket, reinterpret_cast<sockaddr*>(&address), &length, SOCK_CLOEXEC);
  while (handle == -1 && errno == EINTR);
  if (Fail(handle) == -1) return Id_INVALID_SOCKET;
  ReadAddress(*this, address, remote_ip, remote_port);
  return handle;
}

int TIdStackPosix::SockBind(TIdStackSocketHandle socket, int family, const std::string& ip, int port) {
  sockaddr_in address = MakeAddress(*this, family, ip, port);
  return Fail(::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address));
}

int TIdStackPosix::SockClose(TIdStackSocketHandle socket) { return Fail(::close(socket)); }

int TIdStackPosix::SockConnect(TIdStackSocketHandle socket, int family, const std::string& ip, int port) {
  sockaddr_in address = MakeAddress(*this, family, ip, port);
  int rc = ::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  if (rc == -1 && errno == EINTR) {
    // The connect goes on in the background after a signal; wait for its
    // outcome instead of reporting a failure that is none.
    pollfd entry{socket, POLLOUT, 0};
    while (::poll(&entry, 1, -1) == -1 && errno == EINTR) {
    }
    int error = 0;
    socklen_t length = sizeof error;
    ::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length);
    if (error == 0) return 0;
    errno = error;
    rc = -1;
  }
  return Fail(rc);
}

std::string TIdStackPosix::HostByName(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* answer = nullptr;
  int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &answer);
  if (rc != 0 || !answer) {
    t_last_platform_error = rc != 0 ? SocketErrorFromAddrInfo(rc, errno) : Id_WSANO_DATA;
    CheckSocketResult(Id_SOCKET_ERROR);
  }
  std::string ip;
  int port = 0;
  ReadAddress(*this, *reinterpret_cast<const sockaddr_in*>(answer->ai_addr), ip, port);
  ::freeaddrinfo(answer);
  return ip;
}

std::string TIdStackPosix::LocalHostName() {
  char name[250] = {};
  ::gethostname(name, sizeof name - 1);
  return std::string(name, ::strnlen(name, sizeof name));
}

std::string TIdStackPosix::HostByAddress(const std::string& address) {
  sockaddr_in socket_address = MakeAddress(*this, AF_INET, address, 0);
  char name[NI_MAXHOST] = {};
  int rc = ::getnameinfo(reinterpret_cast<const sockaddr*>(&socket_address), sizeof socket_address, name,
                         sizeof name, nullptr, 0, NI_NAMEREQD);
  if (rc != 0) {
    t_last_platform_error = SocketErrorFromAddrInfo(rc, errno);
    CheckSocketResult(Id_SOCKET_ERROR);
  }
  return name;
}

int TIdStackPosix::ServiceByName(const std::string& name) {
  // getservbyname_r keeps the lookup safe on any thread.
  servent entry{};
  servent* found = nullptr;
  char scratch[1024];
  if (::getservbyname_r(name.c_str(), nullptr, &entry, scratch, sizeof scratch, &found) == 0 && found)
    return ntohs(static_cast<uint16_t>(found->s_port));
  if (std::optional<int32_t> number = TryStrToInt(name)) return *number;
  throw EIdInvalidServiceName(name);
}

std::vector<std::string> TIdStackPosix::ServicesByPort(int port) {
  std::vector<std::string> names;
  servent entry{};
  servent* found = nullptr;
  char scratch[1024];
  if (::getservbyport_r(htons(static_cast<uint16_t>(port)), nullptr, &entry, scratch, sizeof scratch, &found) ==
          0 &&
      found) {
    names.emplace_back(found->s_name);
    for (char** alias = found->s_aliases; alias && *alias; ++alias) names.emplace_back(*alias);
  }
  return names;
}

uint16_t TIdStackPosix::HostToNet16(uint16_t value) { return htons(value); }
uint16_t TIdStackPosix::NetToHost16(uint16_t value) { return ntohs(value); }
uint32_t TIdStackPosix::HostToNet32(uint32_t value) { return htonl(value); }
uint32_t TIdStackPosix::NetToHost32(uint32_t value) { return ntohl(value); }

int TIdStackPosix::SockListen(TIdStackSocketHandle socket, int backlog) { return Fail(::listen(socket, backlog)); }

int TIdStackPosix::SockRecv(TIdStackSocketHandle socket, void* buffer, int length, int flags) {
  ssize_t n;
  do n = ::recv(socket, buffer, static_cast<size_t>(length < 0 ? 0 : length), flags);
  while (n == -1 && errno == EINTR);
  return Fail(static_cast<int>(n));
}

int TIdStackPosix::SockRecvFrom(TIdStackSocketHandle socket, void* buffer, int length, int flags,
                                std::string& ip, int& port) {
  sockaddr_in address{};
  socklen_t address_length = sizeof address;
  ssize_t n;
  do n = ::recvfrom(socket, buffer, static_cast<size_t>(length < 0 ? 0 : length), flags,
                    reinterpret_cast<sockaddr*>(&address), &address_length);
  while (n == -1 && errno == EINTR);
  if (Fail(static_cast<int>(n)) >= 0) ReadAddress(*this, address, ip, port);
  return static_cast<int>(n);
}

int TIdStackPosix::SockSelect(TIdSocketList* read, TIdSocketList* write, TIdSocketList* error, int timeout) {
  // poll rather than select: the lists hold at most 64 sockets (the Add of
  // a list enforces it), but a descriptor number above FD_SETSIZE would
  // overrun an fd_set, and poll has no such limit.
  std::vector<pollfd> entries;
  AddPollEntries(entries, read, POLLIN);
  AddPollEntries(entries, write, POLLOUT);
  AddPollEntries(entries, error, POLLPRI);
  int wait_ms = timeout == IdTimeoutInfinite ? -1 : (timeout < 0 ? 0 : timeout);
  int rc;
  do rc = ::poll(entries.data(), entries.size(), wait_ms);
  while (rc == -1 && errno == EINTR);
  if (Fail(rc) == -1) return -1;

  // Replace each list by its ready sockets, in the list's order, and count
  // them as select does: once per list a socket is ready in.
  int ready = 0;
  size_t at = 0;
  auto keep_ready = [&](TIdSocketList* list, short ready_events) {
    if (!list) return;
    std::vector<TIdStackSocketHandle> kept;
    for (int i = 0; i < list->Count(); ++i, ++at)
      if (entries[at].revents & ready_events) kept.push_back(entries[at].fd);
    list->Clear();
    for (TIdStackSocketHandle handle : kept) list->Add(handle);
    ready += static_cast<int>(kept.size());
  };
  // A closed or failed peer counts as readable (the receive then tells).
  keep_ready(read, POLLIN | POLLHUP | POLLERR | POLLNVAL);
  keep_ready(write, POLLOUT | POLLHUP | POLLERR | POLLNVAL);
  keep_ready(error, POLLPRI | POLLERR | POLLNVAL);
  return ready;
}

int TIdStackPosix::SockSend(TIdStackSocketHandle socket, const void* buffer, int length, int flags) {
  // MSG_NOSIGNAL: a send to a peer that has gone fails with a code instead
  // of killing the process with SIGPIPE.
  ssize_t n;
  do n = ::send(socket, buffer, static_cast<size_t>(length < 0 ? 0 : length), flags | MSG_NOSIGNAL);
  while (n == -1 && errno == EINTR);
  return Fail(static_cast<int>(n));
}

int TIdStackPosix::SockSendTo(TIdStackSocketHandle socket, const void* buffer, int length, int flags,
                              const std::string& ip, int port) {
  sockaddr_in address = MakeAddress(*this, AF_INET, ip, port);
  ssize_t n;
  do n = ::sendto(socket, buffer, static_cast<size_t>(length < 0 ? 0 : length), flags | MSG_NOSIGNAL,
                  reinterpret_cast<const sockaddr*>(&address), sizeof address);
  while (n == -1 && errno == EINTR);
  return Fail(static_cast<int>(n));
}

int TIdStackPosix::SockSetOption(TIdStackSocketHandle socket, int level, int option, const void* value,
                                 int length) {
  return Fail(::setsockopt(socket, level, option, value, static_cast<socklen_t>(length)));
}

TIdStackSocketHandle TIdStackPosix::SockCreate(int family, int type, int protocol) {
  // Close-on-exec: a child process the program starts must not keep our
  // connections open.
  int handle = ::socket(family, type | SOCK_CLOEXEC, protocol);
  if (Fail(handle) == -1) return Id_INVALID_SOCKET;
  return handle;
}

int TIdStackPosix::SockShutdown(TIdStackSocketHandle socket, int how) { return Fail(::shutdown(socket, how)); }

int TIdStackPosix::LastPlatformError() { return t_last_platform_error; }

void TIdStackPosix::SockPeerName(TIdStackSocketHandle socket, int& family, std::string& ip, int& port) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  CheckSocketResult(Fail(::getpeername(socket, reinterpret_cast<sockaddr*>(&address), &length)));
  family = address.sin_family;
  ReadAddress(*this, address, ip, port);
}

void TIdStackPosix::SockLocalName(TIdStackSocketHandle socket, int& family, std::string& ip, int& port) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  CheckSocketResult(Fail(::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length)));
  family = address.sin_family;
  ReadAddress(*this, address, ip, port);
}

int TIdStackPosix::SockGetOption(TIdStackSocketHandle socket, int level, int option, void* value, int* length) {
  socklen_t size = length ? static_cast<socklen_t>(*length) : 0;
  int rc = Fail(::getsockopt(socket, level, option, value, &size));
  if (length) *length = static_cast<int>(size);
  return rc;
}

std::string TIdStackPosix::AddressToText(const std::array<uint8_t, 4>& address) {
  return std::to_string(address[0]) + "." + std::to_string(address[1]) + "." + std::to_string(address[2]) + "." +
         std::to_string(address[3]);
}

std::array<uint8_t, 4> TIdStackPosix::TextToAddress(std::string_view text) {
  // The first three dots split; each part keeps its low 8 bits, so a part
  // of 300 becomes 44 (IsDottedAddress is the check that refuses it).
  std::array<uint8_t, 4> bytes{};
  std::string_view rest = text;
  for (size_t part = 0; part < 4; ++part) {
    std::string_view piece = rest;
    if (part < 3) {
      size_t dot = rest.find('.');
      piece = rest.substr(0, dot);
      rest = dot == std::string_view::npos ? std::string_view() : rest.substr(dot + 1);
    }
    bytes[part] = static_cast<uint8_t>(static_cast<uint32_t>(StrToInt(piece)) & 0xFF);
  }
  return bytes;
}

}  // namespace kv
