// The connect of a connect with a time limit. The socket is switched to
// non-blocking for the connect and the thread waits on both the socket and
// a wake pipe, so that Terminate ends the wait at once. Closing the socket
// under a thread that is blocked in connect would neither wake it (closing
// a descriptor does not interrupt a call blocked on it) nor be safe (the
// number may be reused by another open before the thread returns); the
// caller closes the socket only after the thread has ended.

#include "net/connect_thread.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "net/socket_errors.h"
#include "net/socket_handle.h"
#include "net/socket_stack.h"

namespace kv {

TIdConnectThread::TIdConnectThread(TIdSocketHandle* binding) : binding_(binding) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) == 0) {
    wake_read_ = fds[0];
    wake_write_ = fds[1];
  }
}

TIdConnectThread::~TIdConnectThread() {
  Terminate();
  WaitFor();
  if (wake_read_ >= 0) ::close(wake_read_);
  if (wake_write_ >= 0) ::close(wake_write_);
}

void TIdConnectThread::Start() {
  if (!thread_.joinable() && !Finished()) thread_ = std::thread([this] { Execute(); });
}

void TIdConnectThread::Terminate() {
  if (terminated_.exchange(true, std::memory_order_acq_rel)) return;
  if (wake_write_ >= 0) {
    char byte = 1;
    while (::write(wake_write_, &byte, 1) == -1 && errno == EINTR) {
    }
  }
}

void TIdConnectThread::WaitFor() {
  if (thread_.joinable()) thread_.join();
}

void TIdConnectThread::Execute() {
  try {
    int code = ConnectInterruptibly();
    // A socket that was closed or is no socket means the connect was
    // broken off from outside: no error of the connect itself.
    if (code != 0 && code != Id_WSAEBADF && code != Id_WSAENOTSOCK && !Terminated())
      error_text_ = GStack()->SocketErrorText(code);
  } catch (const std::exception& e) {
    error_text_ = e.what();
  }
  finished_.store(true, std::memory_order_release);
}

// The catalogue code of the connect's failure, or 0.
int TIdConnectThread::ConnectInterruptibly() {
  TIdStack& stack = *GStack();
  int socket = binding_->Handle();
  int flags = ::fcntl(socket, F_GETFL);
  if (flags == -1) return SocketErrorFromErrno(errno);
  ::fcntl(socket, F_SETFL, flags | O_NONBLOCK);

  int code = 0;
  if (binding_->Connect(Id_PF_INET) == Id_SOCKET_ERROR) {
    code = stack.LastPlatformError();
    if (code == Id_WSAEINPROGRESS) {   // wait for the outcome or for Terminate
      pollfd waits[2] = {{socket, POLLOUT, 0}, {wake_read_, POLLIN, 0}};
      int rc;
      do rc = ::poll(waits, wake_read_ >= 0 ? 2 : 1, -1);
      while (rc == -1 && errno == EINTR);
      if (rc == -1) {
        code = SocketErrorFromErrno(errno);
      } else if (waits[1].revents != 0 && waits[0].revents == 0) {
        code = 0;   // terminated; the caller reports the timeout
      } else {
        int error = 0;
        int length = sizeof error;
        stack.SockGetOption(socket, SOL_SOCKET, SO_ERROR, &error, &length);
        code = error == 0 ? 0 : SocketErrorFromErrno(error);
      }
    }
  }
  ::fcntl(socket, F_SETFL, flags);
  return code;
}

}  // namespace kv
