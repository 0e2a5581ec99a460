#include <QApplication>
#include <QtTest>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ui/ui_test_registry.h"

namespace vorna::test {
namespace {

std::vector<std::pair<std::string, std::function<QObject*()>>>& Registry() {
  static std::vector<std::pair<std::string, std::function<QObject*()>>> registry;
  return registry;
}

}  // namespace

int RegisterUiTest(const char* name, std::function<QObject*()> make) {
  Registry().emplace_back(name, std::move(make));
  return static_cast<int>(Registry().size());
}

}  // namespace vorna::test

// Runs every registered class; a first argument names the one class to run (the rest go to
// Qt Test).
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Qt Test's crash handler forks a debugger from inside the signal handler; after heap
  // corruption in a render worker that fork waits forever on the allocator's lock, so a crash
  // would hang until the ctest timeout instead of failing at once.
  if (qEnvironmentVariableIsEmpty("QTEST_DISABLE_STACK_DUMP")) {
    qputenv("QTEST_DISABLE_STACK_DUMP", "1");
  }
  QApplication app(argc, argv);
  std::string only;
  std::vector<char*> args(argv, argv + argc);
  if (argc > 1 && argv[1][0] != '-') {
    only = argv[1];
    args.erase(args.begin() + 1);
  }
  // VORNA_TEST_CASES_DIR asks for one JUnit report per class there as well (scripts/mutation
  // reads them to learn which cases noticed a fault).
  const QByteArray cases_dir = qgetenv("VORNA_TEST_CASES_DIR");
  int failures = 0;
  for (const auto& [name, make] : vorna::test::Registry()) {
    if (!only.empty() && name != only) continue;
    std::unique_ptr<QObject> object(make());
    std::vector<char*> run_args = args;
    QByteArray report, console = "-,txt", flag = "-o";
    if (!cases_dir.isEmpty()) {
      report = cases_dir + "/vorna_tests_ui." + QByteArray(name.c_str()) + ".xml,junitxml";
      run_args.insert(run_args.end(), {flag.data(), report.data(), flag.data(), console.data()});
    }
    failures += QTest::qExec(object.get(), static_cast<int>(run_args.size()), run_args.data());
  }
  return failures == 0 ? 0 : 1;
}
