// Running another program of ours as a child process whose failures cannot reach us: a crash, a
// hang, a memory blow-up or endless output in the child ends as a result to inspect, never as a
// signal, a wait without end or an unbounded buffer here.
//
// The program is started without a shell (its arguments are passed as they are), with standard
// input from /dev/null, its standard output collected up to a cap and the start of its standard
// error kept for a message. Safe to call from any thread of a multi-threaded program: nothing
// but async-signal-safe calls runs between fork and exec, and every descriptor we open is
// close-on-exec, so no other child inherits the pipes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vorna {

struct ChildLimits {
  // RLIMIT_AS of the child in bytes; 0 leaves the address space unlimited (a sanitizer build's
  // shadow memory reserves terabytes of it).
  std::uint64_t address_space = 0;
  // RLIMIT_CPU of the child in seconds (it gets SIGXCPU, then SIGKILL); 0: none.
  std::uint32_t cpu_seconds = 0;
  // Standard output beyond this many bytes ends the child (kOutputTooLarge).
  std::uint64_t output_bytes = std::uint64_t{1} << 30;
  // The first bytes of standard error kept in ChildResult::message; the rest is read and dropped.
  std::size_t message_bytes = 4096;
  // Wall-clock milliseconds before the child is killed (kTimedOut); 0: no limit.
  int timeout_ms = 0;
};

enum class ChildOutcome : std::uint8_t {
  kExited,          // exit_status holds its status
  kSignalled,       // killed by `signal` (a crash, or SIGXCPU/SIGKILL at its CPU limit)
  kTimedOut,        // killed at the wall-clock limit
  kOutputTooLarge,  // killed when its output passed the cap
  kStopped,         // killed because the caller asked to stop
  kNotStarted,      // could not be started: start_errno says why (ENOENT: no such program)
};

struct ChildResult {
  ChildOutcome outcome = ChildOutcome::kNotStarted;
  int exit_status = 0;
  int signal = 0;
  int start_errno = 0;
  std::string output;   // standard output, complete only for kExited and kSignalled
  std::string message;  // the start of standard error
};

// Runs `program` (a path; PATH is not searched) with `arguments` (argv[1..]) and the caller's
// environment with `environment` ("NAME=value" entries) added or put in place of the caller's
// own of that name, and waits for it within `limits`. `keep_going` (may be empty) is asked every
// few tens of milliseconds and with the output bytes so far; false kills the child (kStopped).
// Whatever happens, the child has been reaped when this returns.
ChildResult RunChild(const std::string& program, const std::vector<std::string>& arguments,
                     const ChildLimits& limits,
                     const std::function<bool(std::uint64_t output_bytes)>& keep_going = {},
                     const std::vector<std::string>& environment = {});

// The running program's own file (from /proc/self/exe), or "" when it cannot be told.
std::string OwnExecutablePath();

}  // namespace vorna
