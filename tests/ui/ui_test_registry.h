// One executable runs every Qt Test class of tests/ui: each file registers its classes with
// VORNA_UI_TEST(Class) and ui_test_main.cpp runs them in turn.
#pragma once

#include <QObject>
#include <functional>

namespace vorna::test {

int RegisterUiTest(const char* name, std::function<QObject*()> make);

}  // namespace vorna::test

#define VORNA_UI_TEST(Class)                                \
  [[maybe_unused]] static const int vorna_ui_test_##Class = \
      ::vorna::test::RegisterUiTest(#Class, [] { return new Class; });
