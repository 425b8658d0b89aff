// --help and --version of every program: both answer on standard output
// with exit 0 and do nothing else, wherever they stand among the other
// arguments, and --version shows the project's one version number.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/version.h"
#include "tests/support/run_process.h"

namespace kv::test {
namespace {

struct Program {
  std::string name;
  std::string path;  // in the build folder
  std::vector<std::string> before;  // arguments that come first on the line
};

TEST(ProgramInfo, HelpAndVersionAnswerAndDoNothingElse) {
  const std::vector<Program> programs = {
      {"kvornis-cli", "tools/kvornis-cli", {"count"}},
      {"kvornis-get", "tools/kvornis-get", {"-o", "/nonexistent/body", "http://127.0.0.1:1/"}},
      {"kvornis-harvest", "tools/kvornis-harvest", {"/nonexistent/p.kvh", "status"}},
      {"kvornis-stat-sim", "tools/kvornis-stat-sim", {"--port", "1"}},
#ifdef KV_WITH_WINDOW
      {"kvornis", "ui/kvornis", {"-platform", "none"}},
#endif
  };
  for (const Program& program : programs) {
    for (bool after_others : {false, true}) {
      std::vector<std::string> args = after_others ? program.before : std::vector<std::string>{};
      args.push_back("--version");
      const ProcessResult version = RunBuildProgram(program.path, args);
      EXPECT_EQ(version.exit_code, 0) << program.name << version.err;
      EXPECT_EQ(version.out, program.name + " " + kVersion + "\n");
      EXPECT_EQ(version.err, "");

      args.back() = "--help";
      const ProcessResult help = RunBuildProgram(program.path, args);
      EXPECT_EQ(help.exit_code, 0) << program.name << help.err;
      EXPECT_EQ(help.out.rfind("usage: " + program.name + " ", 0), 0u) << help.out;
      EXPECT_EQ(help.err, "");
    }
  }
}

}  // namespace
}  // namespace kv::test
