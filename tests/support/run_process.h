#pragma once
// Runs a program (of the build, or of the system) to its end and collects
// what it printed.

#include <string>
#include <vector>

namespace kv::test {

struct ProcessResult {
  int exit_code = -1;
  std::string out;
  std::string err;
};

// `program` is a path relative to the build folder.
ProcessResult RunBuildProgram(const std::string& program, const std::vector<std::string>& args);
// `program` is a full path, or a name looked up in PATH.
ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args);

std::string BuildDir();
// The source tree the tests were built from (scripts, data).
std::string SourceDir();

}  // namespace kv::test
