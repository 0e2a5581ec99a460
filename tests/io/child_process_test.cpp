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

// Crashes, the deadline, the processor-time, memory and output limits as the import meets them
// are pinned with the helper import; here what only shows at this level.
TEST(ChildProcessTest, EveryMisbehaviourEndsAsAResult) {
  ChildLimits limits;
  limits.timeout_ms = 300;
  const ChildResult segv = RunFake("segv.fbx", {});
  EXPECT_EQ(segv.outcome, ChildOutcome::kSignalled);
  EXPECT_EQ(segv.signal, SIGSEGV);
  // Closed output does not mean finished: the deadline still holds, and what comes on the other
  // stream after it is kept.
  EXPECT_EQ(RunFake("linger.fbx", limits).outcome, ChildOutcome::kTimedOut);
  EXPECT_EQ(RunFake("late.fbx", {}).message, "said late");
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
  // A signal the caller blocks is not blocked in the child, or a limit's signal would not end it.
  sigset_t xcpu, before;
  ::sigemptyset(&xcpu);
  ::sigaddset(&xcpu, SIGXCPU);
  ::pthread_sigmask(SIG_BLOCK, &xcpu, &before);
  const ChildResult status = RunChild("/bin/grep", {"SigBlk", "/proc/self/status"}, {});
  ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
  EXPECT_EQ(status.output, "SigBlk:\t0000000000000000\n");
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

TEST(ChildProcessTest, OwnExecutableIsThisTestProgram) {
  const std::string self = OwnExecutablePath();
  EXPECT_NE(self.find("vorna_tests_io"), std::string::npos) << self;
}

}  // namespace
}  // namespace vorna
