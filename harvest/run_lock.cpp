#include "harvest/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kv::harvest {

ProjectRunLock::ProjectRunLock(const std::string& project) {
  fd_ = open(project.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) throw EProjectBusy(project + ": " + std::strerror(errno));
  // An flock, which the database's record locks on the same file neither
  // see nor disturb.
  if (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    close(fd_);
    if (error == EWOULDBLOCK) throw EProjectBusy(project + ": another kvornis-harvest is running this project");
    throw EProjectBusy(project + ": " + std::strerror(error));
  }
}

ProjectRunLock::~ProjectRunLock() { close(fd_); }

}  // namespace kv::harvest
