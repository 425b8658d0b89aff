// Runs the window's test classes in one application object, which speaks
// Qt's texts in Russian as the program's does. The first argument, when it
// names a class, runs that class alone; the rest go to Qt Test.

#include <QApplication>
#include <QTest>
#include <cstring>
#include <vector>

#include "ui/qt_translation.h"
#include "tests/ui/ui_test_registry.h"

namespace kv::ui::test {

std::vector<RegisteredTest>& Registry() {
  static std::vector<RegisteredTest> tests;
  return tests;
}

}  // namespace kv::ui::test

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  kv::ui::InstallQtTranslation();  // as the program does; QtTextsTest tells when it is missing
  const char* only = argc > 1 && argv[1][0] != '-' ? argv[1] : nullptr;
  std::vector<char*> args(argv, argv + argc);
  if (only) args.erase(args.begin() + 1);

  int failures = 0;
  bool ran = false;
  for (const auto& test : kv::ui::test::Registry()) {
    if (only && std::strcmp(only, test.name) != 0) continue;
    ran = true;
    auto object = test.make();
    failures += QTest::qExec(object.get(), static_cast<int>(args.size()), args.data());
  }
  if (!ran) {
    qWarning("no test class named %s", only);
    return 2;
  }
  return failures == 0 ? 0 : 1;
}
