#pragma once
// Replacing a file only by a complete new one. The new content is written to
// a temporary file beside the target, and only when all of it is on the disk
// is that file renamed over the target: a failure, a full disk, a kill or a
// power cut at any instant leaves either the old file whole or the new one
// whole, never a mix or a stump.

#include <string>
#include <string_view>

namespace kv {

// Whether `target` may be replaced through a temporary file: false for what
// a rename must not stand in for, which a caller writes in place as a plain
// create would: a device or a pipe (even through a link), a file with
// several names or another owner, a link to nothing, and a file whose
// folder takes no new names. A name that does not exist yet is replaceable.
bool ReplaceableByRename(const std::string& target);

class FileReplacement {
 public:
  // Creates the temporary file in the target's folder. A new target gets the
  // mode a plain creat() would give (0666 less the umask); an existing one
  // keeps its mode, and a symbolic link keeps leading to the file replaced.
  // Raises EFCreateError naming the target and the system's reason.
  explicit FileReplacement(const std::string& target);
  // Without Commit, the temporary file is removed and the target untouched.
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  const std::string& Target() const { return target_; }
  // For writers that open the file by its name themselves; it exists (empty)
  // from construction on, so its name stays reserved.
  const std::string& TemporaryPath() const { return temporary_; }

  // Appends to the temporary file; raises EWriteError naming the target.
  void Write(std::string_view bytes);

  // Flushes the temporary file to the disk and renames it over the target;
  // raises EWriteError naming the target (which is then left as it was).
  void Commit();

  // EWriteError naming the target, for writers that fail on their own; the
  // reason is the system's error text or a library's.
  [[noreturn]] void RaiseWriteError(std::string_view reason) const;

 private:
  [[noreturn]] void RaiseSystemError(int error) const;
  void Abandon() noexcept;

  std::string target_;       // as the caller named it
  std::string destination_;  // what the rename replaces: a link's destination
  std::string temporary_;
  int fd_ = -1;
  bool committed_ = false;
};

}  // namespace kv
