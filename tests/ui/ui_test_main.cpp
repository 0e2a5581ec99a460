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
  QApplication app(argc, argv);
  std::string only;
  std::vector<char*> args(argv, argv + argc);
  if (argc > 1 && argv[1][0] != '-') {
    only = argv[1];
    args.erase(args.begin() + 1);
  }
  int failures = 0;
  for (const auto& [name, make] : vorna::test::Registry()) {
    if (!only.empty() && name != only) continue;
    std::unique_ptr<QObject> object(make());
    failures += QTest::qExec(object.get(), static_cast<int>(args.size()), args.data());
  }
  return failures == 0 ? 0 : 1;
}
