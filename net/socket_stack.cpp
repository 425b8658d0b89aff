// The platform-neutral half of the socket stack: socket lists, the checks
// and conversions every implementation shares, and the stack's lifetime.

#include "net/socket_stack.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "base/int_conversion.h"
#include "base/text.h"
#include "net/exceptions.h"
#include "net/socket_errors.h"

namespace kv {

// ---- socket lists -------------------------------------------------------------

bool TIdSocketList::Contains(TIdStackSocketHandle handle) const {
  for (int i = 0; i < Count(); ++i)
    if (Item(i) == handle) return true;
  return false;
}

TIdStackSocketHandle TIdSocketListPosix::Item(int index) const {
  if (index < 0 || index >= count_) throw EIdStackSetSizeExceeded();
  return handles_[static_cast<size_t>(index)];
}

void TIdSocketListPosix::Add(TIdStackSocketHandle handle) {
  if (count_ >= Id_SocketSetSize) throw EIdStackSetSizeExceeded();
  handles_[static_cast<size_t>(count_++)] = handle;
}

void TIdSocketListPosix::Remove(TIdStackSocketHandle handle) {
  for (int i = 0; i < count_; ++i) {
    if (handles_[static_cast<size_t>(i)] != handle) continue;
    handles_[static_cast<size_t>(i)] = handles_[static_cast<size_t>(count_ - 1)];
    handles_[static_cast<size_t>(count_ - 1)] = 0;
    --count_;
    return;
  }
}

void TIdSocketListPosix::Clear() {
  handles_.fill(0);
  count_ = 0;
}

// ---- shared stack operations ----------------------------------------------------

const std::vector<std::string>& TIdStack::LocalAddresses() {
  FillLocalAddresses();
  return local_addresses_;
}

std::string TIdStack::LocalAddress() {
  const auto& addresses = LocalAddresses();
  return addresses.empty() ? std::string() : addresses.front();
}

std::string TIdStack::SocketErrorText(int code) { return SocketErrorMessage(code); }

bool TIdStack::CheckSocketResult(int result) { return CheckSocketResult(result, {}); }

bool TIdStack::CheckSocketResult(int result, std::initializer_list<int> accepted) {
  if (result != Id_SOCKET_ERROR) return false;
  last_error_ = LastPlatformError();
  if (std::find(accepted.begin(), accepted.end(), last_error_) != accepted.end()) return true;
  ThrowSocketError(last_error_);
}

TIdStackSocketHandle TIdStack::NewSocket(int type, int protocol) {
  TIdStackSocketHandle handle = SockCreate(Id_PF_INET, type, protocol);
  if (handle == Id_INVALID_SOCKET) throw EIdInvalidSocket();
  return handle;
}

void TIdStack::ThrowSocketError(int code) { throw EIdSocketError(code, SocketErrorText(code)); }

std::string TIdStack::HostToDottedAddress(const std::string& host) {
  // "localhost" never goes to the resolver: it is always the loopback
  // address, whatever the hosts file says.
  std::string upper = host;
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (upper == "LOCALHOST") return "127.0.0.1";
  if (IsDottedAddress(host)) return host;
  return HostByName(host);
}

bool TIdStack::IsDottedAddress(std::string_view text) {
  // Split at the first three dots; whatever follows the third one is the
  // fourth part, dots and all, and must itself read as a number.
  std::string_view rest = text;
  for (int part = 0; part < 4; ++part) {
    std::string_view piece;
    if (part < 3) {
      size_t dot = rest.find('.');
      if (dot == std::string_view::npos) return false;
      piece = rest.substr(0, dot);
      rest.remove_prefix(dot + 1);
    } else {
      piece = rest;
    }
    std::optional<int32_t> value = TryStrToInt(piece);
    if (!value || *value < 0 || *value > 255) return false;
  }
  return true;
}

// ---- lifetime -------------------------------------------------------------------

namespace {

// Function-local statics: the lock and the count must exist before any
// networking component of another file's static initialisation.
std::mutex& StackLock() {
  static std::mutex lock;
  return lock;
}

// Read without the lock by every socket call; only its change is locked.
std::atomic<TIdStack*> g_stack{nullptr};
int g_live_components = 0;
int g_library_starts = 0;

// The platform's socket start-up. POSIX sockets need none, but the start
// happens once per process however often the stack is freed and made
// again, and the count lets callers see that.
void StartSocketLibraryOnce() {
  if (g_library_starts == 0) ++g_library_starts;
}

}  // namespace

TIdStack* GStack() { return g_stack.load(std::memory_order_acquire); }

void IdStackAcquire() {
  std::lock_guard guard(StackLock());
  if (g_live_components == 0) {
    StartSocketLibraryOnce();
    g_stack.store(new TIdStackPosix(), std::memory_order_release);
  }
  ++g_live_components;
}

void IdStackRelease() noexcept {
  std::lock_guard guard(StackLock());
  if (g_live_components <= 0) return;
  if (--g_live_components == 0) {
    delete g_stack.exchange(nullptr, std::memory_order_acq_rel);
  }
}

int IdLiveComponentCount() {
  std::lock_guard guard(StackLock());
  return g_live_components;
}

int IdSocketLibraryStartCount() {
  std::lock_guard guard(StackLock());
  return g_library_starts;
}

}  // namespace kv
