#include "io/child_process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <string>

#include "support/test_support.h"

namespace vorna {
namespace {

constexpr const char* kFake = VORNA_FAKE_HELPER_PATH;

ChildResult RunFake(const std::string& name, const ChildLimits& limits = {}) {
  return RunChild(kFake, {"/no/such/dir/" + name}, limits);
}

TEST(ChildProcessTest, EveryMisbehaviourEndsAsAResult) {
  ChildLimits limits;
  limits.output_bytes = 1 << 20;
  limits.cpu_seconds = 1;
  struct Case {
    const char* name;
    ChildOutcome outcome;
    int signal;
    int timeout_ms = 20'000;  // long, so that only the hanging ones meet it on a busy machine
  };
  const Case cases[] = {
      {"abort.fbx", ChildOutcome::kSignalled, SIGABRT},
      {"segv.fbx", ChildOutcome::kSignalled, SIGSEGV},
      {"sleep.fbx", ChildOutcome::kTimedOut, 0, 300},
      // Closed output does not mean finished: the deadline still holds.
      {"linger.fbx", ChildOutcome::kTimedOut, 0, 300},
      {"flood.fbx", ChildOutcome::kOutputTooLarge, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    limits.timeout_ms = c.timeout_ms;
    const ChildResult run = RunFake(c.name, limits);
    EXPECT_EQ(run.outcome, c.outcome);
    EXPECT_EQ(run.signal, c.signal);
  }
  // Processor time runs out before the deadline.
  limits.timeout_ms = 20'000;
  const ChildResult spin = RunFake("spin.fbx", limits);
  EXPECT_EQ(spin.outcome, ChildOutcome::kSignalled);
  EXPECT_TRUE(spin.signal == SIGXCPU || spin.signal == SIGKILL) << spin.signal;
}

TEST(ChildProcessTest, ExitStatusOutputAndMessageComeBack) {
  ChildLimits limits;
  limits.message_bytes = 10;
  const ChildResult refused = RunFake("refuse.fbx", limits);
  EXPECT_EQ(refused.outcome, ChildOutcome::kExited);
  EXPECT_EQ(refused.exit_status, 1);
  EXPECT_EQ(refused.message, "this is no");  // only the first message_bytes
  const ChildResult garbage = RunFake("garbage.fbx");
  EXPECT_EQ(garbage.outcome, ChildOutcome::kExited);
  EXPECT_EQ(garbage.exit_status, 0);
  EXPECT_EQ(garbage.output.size(), 1u << 16);
  // Standard input is empty, not ours.
  EXPECT_EQ(RunFake("stdin.fbx").output, "0");
  // No shell: the argument arrives as it was, quotes, spaces, $ and all.
  const std::string odd = "/tmp/x y/echo.$(false) 'a' \"b\";c`d`.fbx";
  EXPECT_EQ(RunChild(kFake, {odd}, {}).output, odd);
  // An entry of the environment given replaces the caller's own.
  ::setenv("VORNA_FAKE_SAYS", "ours", 1);
  EXPECT_EQ(RunChild(kFake, {"env.fbx"}, {}, {}, {"VORNA_FAKE_SAYS=given"}).output, "given");
  EXPECT_EQ(RunChild(kFake, {"env.fbx"}, {}).output, "ours");
}

TEST(ChildProcessTest, ACallerStopEndsTheChildAtOnce) {
  int asked = 0;
  const auto start = std::chrono::steady_clock::now();
  const ChildResult run =
      RunChild(kFake, {"sleep.fbx"}, {}, [&](std::uint64_t) { return ++asked < 3; });
  EXPECT_EQ(run.outcome, ChildOutcome::kStopped);
  EXPECT_EQ(asked, 3);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(ChildProcessTest, AProgramThatCannotStartSaysWhy) {
  const ChildResult missing = RunChild("/no/such/program", {}, {});
  EXPECT_EQ(missing.outcome, ChildOutcome::kNotStarted);
  EXPECT_EQ(missing.start_errno, ENOENT);
  test::TempDir dir;
  test::WriteFile(dir.File("plain"), "not executable");
  const ChildResult plain = RunChild(dir.File("plain"), {}, {});
  EXPECT_EQ(plain.outcome, ChildOutcome::kNotStarted);
  EXPECT_EQ(plain.start_errno, EACCES);
}

// The fake helper is built without sanitizers, so the limit holds in every build.
TEST(ChildProcessTest, TheAddressSpaceLimitStopsAMemoryBlowUp) {
  ChildLimits limits;
  limits.address_space = std::uint64_t{64} << 20;
  const ChildResult run = RunFake("hog.fbx", limits);
  EXPECT_EQ(run.outcome, ChildOutcome::kExited);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.message, "out of memory\n");
}

TEST(ChildProcessTest, OwnExecutableIsThisTestProgram) {
  const std::string self = OwnExecutablePath();
  EXPECT_NE(self.find("vorna_tests_io"), std::string::npos) << self;
}

}  // namespace
}  // namespace vorna
