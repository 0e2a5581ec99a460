// Running vorna-cli as a program from the tests.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace vorna::test {

struct CliRun {
  int status;
  std::string out;
};

// Runs vorna-cli with `args` (a shell fragment), capturing stdout and discarding stderr, or with
// `stderr_only` capturing stderr and discarding stdout.
inline CliRun Cli(const std::string& args, bool stderr_only = false) {
  const std::string command = std::string(VORNA_CLI_PATH) + " " + args +
                              (stderr_only ? " 2>&1 >/dev/null" : " 2>/dev/null");
  FILE* pipe = ::popen(command.c_str(), "r");
  CliRun run{-1, {}};
  if (pipe == nullptr) return run;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  const int status = ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

}  // namespace vorna::test
