#pragma once
// One run at a time per project: the run holds an exclusive lock on the
// project file for as long as it lasts; the system drops it when the
// process ends, however it ends. Other commands (add, status, export) do
// not take it: the database's own locking lets them work beside a run.
#include <string>

#include "base/exception.h"

namespace kv::harvest {

// Another process is running the project, or the file cannot be locked.
KV_DECLARE_EXCEPTION(EProjectBusy, Exception);

// Take it before the project's database is opened and let it go after the
// database is closed: closing any descriptor of the file drops the
// database's own record locks on it.
class ProjectRunLock {
 public:
  explicit ProjectRunLock(const std::string& project);
  ~ProjectRunLock();
  ProjectRunLock(const ProjectRunLock&) = delete;
  ProjectRunLock& operator=(const ProjectRunLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace kv::harvest
