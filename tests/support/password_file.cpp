#include "tests/support/password_file.h"

#include <filesystem>
#include <stdexcept>

#include "tests/support/run_process.h"
#include "tests/support/temp_dir.h"

namespace kv::test {

void WritePasswordFile(const std::string& path, const Users& users) {
  std::string lines;
  for (const auto& [user, password] : users) {
    const ProcessResult hashed = RunProgram("openssl", {"passwd", "-apr1", password});
    if (hashed.exit_code != 0 || !hashed.out.starts_with("$apr1$")) {
      throw std::runtime_error("openssl passwd -apr1 failed (scripts/install-deps installs openssl): " + hashed.err);
    }
    lines += user + ":" + hashed.out;  // the hash ends with its line feed
  }
  WriteFileBytes(path, lines);
  using std::filesystem::perms;
  std::filesystem::permissions(path, perms::owner_read | perms::owner_write | perms::group_read | perms::others_read);
}

}  // namespace kv::test
