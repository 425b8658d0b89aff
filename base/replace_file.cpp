#include "base/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "base/exception.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

// Room left in a name of 255 bytes for the dot, the random part and ".tmp".
constexpr size_t kNameKept = 240;
constexpr int kNameAttempts = 100;

// Messages name the file as the user would look for it.
std::string AbsoluteName(const std::string& path) {
  std::error_code ec;
  fs::path full = fs::absolute(path, ec);
  return ec ? path : full.string();
}

// A symbolic link is followed, as a write through it would: the file it
// leads to is replaced and the link stays.
std::string Destination(const std::string& target) {
  std::error_code ec;
  if (!fs::is_symlink(target, ec)) return target;
  fs::path resolved = fs::weakly_canonical(target, ec);
  return ec ? target : resolved.string();
}

// ".NAME.XXXXXX.tmp" beside the destination: hidden, and never a name the
// user would have chosen.
std::string TemporaryName(const std::string& destination, std::mt19937& random) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  const fs::path path(destination);
  std::string name = "." + path.filename().string().substr(0, kNameKept) + ".";
  std::uniform_int_distribution<size_t> pick(0, sizeof(kLetters) - 2);
  for (int i = 0; i < 6; ++i) name += kLetters[pick(random)];
  name += ".tmp";
  return (path.parent_path() / name).string();
}

std::string FolderOf(const std::string& path) {
  fs::path folder = fs::path(path).parent_path();
  return folder.empty() ? "." : folder.string();
}

}  // namespace

bool ReplaceableByRename(const std::string& target) {
  struct stat link {};
  struct stat file {};
  if (::lstat(target.c_str(), &link) != 0) return true;
  if (::stat(target.c_str(), &file) != 0) return false;
  // Renaming would cut the other names off the new bytes or hand the file to
  // us; a device is no file to replace at all.
  if (!S_ISREG(file.st_mode) || file.st_nlink > 1 || file.st_uid != ::geteuid()) return false;
  return ::access(FolderOf(Destination(target)).c_str(), W_OK | X_OK) == 0;
}

FileReplacement::FileReplacement(const std::string& target)
    : target_(target), destination_(Destination(target)) {
  std::random_device seed;
  std::mt19937 random(seed());
  int error = 0;
  for (int attempt = 0; attempt < kNameAttempts && fd_ < 0; ++attempt) {
    temporary_ = TemporaryName(destination_, random);
    // 0666 less the umask, applied by the system: what creat() gives.
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    error = errno;
    if (fd_ < 0 && error != EEXIST) break;
  }
  if (fd_ < 0) {
    throw EFCreateError("Cannot create file \"" + AbsoluteName(target_) + "\". " + std::strerror(error));
  }
  struct stat existing {};
  if (::stat(destination_.c_str(), &existing) == 0 && S_ISREG(existing.st_mode) &&
      ::fchmod(fd_, existing.st_mode & 07777) != 0) {
    error = errno;
    Abandon();
    throw EFCreateError("Cannot create file \"" + AbsoluteName(target_) + "\". " + std::strerror(error));
  }
}

FileReplacement::~FileReplacement() {
  if (!committed_) Abandon();
}

void FileReplacement::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = ::write(fd_, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      RaiseSystemError(errno);
    }
    // A write of nothing for bytes offered means no room: report it as such.
    if (written == 0) RaiseSystemError(ENOSPC);
    bytes.remove_prefix(static_cast<size_t>(written));
  }
}

void FileReplacement::Commit() {
  if (::fsync(fd_) != 0) RaiseSystemError(errno);
  // Some file systems report a failed write only at the close.
  const int closed = ::close(fd_);
  fd_ = -1;
  if (closed != 0 && errno != EINTR) RaiseSystemError(errno);
  if (::rename(temporary_.c_str(), destination_.c_str()) != 0) RaiseSystemError(errno);
  committed_ = true;
  // The rename is durable only once the folder is. The file is in place by
  // now whatever happens here, so a folder that cannot be synced (some file
  // systems refuse) is not reported as a failed write.
  const int folder = ::open(FolderOf(destination_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
}

void FileReplacement::RaiseSystemError(int error) const { RaiseWriteError(std::strerror(error)); }

void FileReplacement::RaiseWriteError(std::string_view reason) const {
  throw EWriteError("Cannot write file \"" + AbsoluteName(target_) + "\". " + std::string(reason));
}

void FileReplacement::Abandon() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  ::unlink(temporary_.c_str());
}

}  // namespace kv
