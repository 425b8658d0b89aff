#include "tests/support/run_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

#include "tests/support/temp_dir.h"

namespace kv::test {

std::string BuildDir() {
  // The build folder the tests were built in, unless the caller points
  // elsewhere (to run a copied test binary against another build).
  const char* dir = std::getenv("KV_BUILD_DIR");
  return dir ? dir : KV_BUILD_DIR_DEFAULT;
}

std::string SourceDir() {
  const char* dir = std::getenv("KV_SOURCE_DIR");
  return dir ? dir : KV_SOURCE_DIR_DEFAULT;
}

ProcessResult RunBuildProgram(const std::string& program, const std::vector<std::string>& args) {
  return RunProgram(BuildDir() + "/" + program, args);
}

ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args) {
  TempDir capture;
  std::string out_path = capture.File("out"), err_path = capture.File("err");
  std::string path = program;
  std::vector<char*> argv;
  argv.push_back(path.data());
  std::vector<std::string> copies = args;
  for (auto& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid;
  int rc = posix_spawnp(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + path);
  int status = 0;
  waitpid(pid, &status, 0);
  ProcessResult result;
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = ReadFileBytes(out_path);
  result.err = ReadFileBytes(err_path);
  return result;
}

}  // namespace kv::test
