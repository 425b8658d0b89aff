#pragma once
// The project file: one SQLite database in write-ahead-log mode, whose
// tables read plainly in the sqlite3 shell (texts in UTF-8).
#include <memory>
#include <string>

#include "base/exception.h"
#include "harvest/project_store.h"

namespace kv::harvest {

// A project that cannot be opened, read or written; the message names the
// file and the database's reason.
KV_DECLARE_EXCEPTION(EProjectError, Exception);

enum class ProjectOpening {
  kCreateIfMissing,
  kExisting,  // a missing file is an error
};

std::unique_ptr<ProjectStore> OpenSqliteProject(const std::string& path, ProjectOpening opening);

}  // namespace kv::harvest
