#include "io/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <new>
#include <string_view>

#include "io/descriptor.h"

namespace vorna {

namespace {

using Clock = std::chrono::steady_clock;

// How often a child without news is checked on (the caller's stop, the deadline).
constexpr int kPollMs = 25;
// The size asked for the output pipe, also the most read from it at once (the usual ceiling for
// unprivileged programs, /proc/sys/fs/pipe-max-size).
constexpr int kPipeBytes = 1 << 20;

// The two ends of a pipe, both close-on-exec, closed when it goes.
struct PipeEnds {
  int read = -1;
  int write = -1;
  ~PipeEnds() {
    Close(read);
    Close(write);
  }
  static void Close(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  bool Open() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    read = fds[0];
    write = fds[1];
    return true;
  }
};

// What the child does between fork and exec: only async-signal-safe calls, no allocation, no
// locks (another thread of ours may hold malloc's). Never returns.
[[noreturn]] void BecomeChild(const char* program, char* const* argv, char* const* envp,
                              int null_in, int out, int err, int status,
                              const ChildLimits& limits) {
  // The child must not outlive us if we die while it runs.
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  sigset_t all;
  ::sigemptyset(&all);
  ::sigprocmask(SIG_SETMASK, &all, nullptr);
  // Ignored signals stay ignored across exec: a SIGPIPE we ignore must kill the child as usual.
  struct sigaction fallback = {};
  fallback.sa_handler = SIG_DFL;
  for (int s = 1; s < NSIG; ++s) ::sigaction(s, &fallback, nullptr);
  if (::dup2(null_in, STDIN_FILENO) < 0 || ::dup2(out, STDOUT_FILENO) < 0 ||
      ::dup2(err, STDERR_FILENO) < 0) {
    const int e = errno;
    (void)!::write(status, &e, sizeof e);
    ::_exit(127);
  }
  // A crash must not leave a core file wherever the child was started.
  const struct rlimit no_core = {0, 0};
  ::setrlimit(RLIMIT_CORE, &no_core);
  if (limits.address_space > 0) {
    const struct rlimit as = {limits.address_space, limits.address_space};
    ::setrlimit(RLIMIT_AS, &as);
  }
  if (limits.cpu_seconds > 0) {
    // The soft limit sends SIGXCPU, the hard one a second later SIGKILL.
    const struct rlimit cpu = {limits.cpu_seconds, limits.cpu_seconds + 1};
    ::setrlimit(RLIMIT_CPU, &cpu);
  }
  ::execve(program, argv, envp);
  const int e = errno;
  (void)!::write(status, &e, sizeof e);
  ::_exit(127);
}

int MillisecondsUntil(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  if (left <= 0) return 0;
  return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

// Reaps `pid`, retrying when a signal interrupts the wait; the status, or -1.
int Reap(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return status;
}

// The caller's environment with `given` entries added, each in place of one of the same name.
std::vector<char*> Environment(const std::vector<std::string>& given) {
  std::vector<char*> envp;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string_view entry(*e);
    const auto named = [&](const std::string& g) {
      const size_t equals = g.find('=');
      return entry.substr(0, entry.find('=')) == std::string_view(g).substr(0, equals);
    };
    if (std::none_of(given.begin(), given.end(), named)) envp.push_back(*e);
  }
  for (const std::string& g : given) envp.push_back(const_cast<char*>(g.c_str()));
  envp.push_back(nullptr);
  return envp;
}

}  // namespace

ChildResult RunChild(const std::string& program, const std::vector<std::string>& arguments,
                     const ChildLimits& limits,
                     const std::function<bool(std::uint64_t output_bytes)>& keep_going,
                     const std::vector<std::string>& environment) {
  ChildResult result;
  // Everything the child needs is made before fork: it may not allocate.
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 2);
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const std::vector<char*> envp = Environment(environment);

  const Descriptor null_in(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  PipeEnds out, err, status;
  if (null_in.get() < 0 || !out.Open() || !err.Open() || !status.Open()) {
    result.start_errno = errno;
    return result;
  }
  // A model's stream is megabytes: in a pipe of the default 64 KiB the child would wait for us at
  // every few of them. Where the system allows no larger pipe, the default serves as well.
  ::fcntl(out.write, F_SETPIPE_SZ, kPipeBytes);
  const pid_t pid = ::fork();
  if (pid < 0) {
    result.start_errno = errno;
    return result;
  }
  if (pid == 0) {
    BecomeChild(program.c_str(), argv.data(), envp.data(), null_in.get(), out.write, err.write,
                status.write, limits);
  }
  PipeEnds::Close(out.write);
  PipeEnds::Close(err.write);
  PipeEnds::Close(status.write);

  // The status pipe closes at exec; before that, the child writes why exec failed.
  int exec_errno = 0;
  ssize_t got;
  while ((got = ::read(status.read, &exec_errno, sizeof exec_errno)) < 0 && errno == EINTR) {
  }
  if (got == static_cast<ssize_t>(sizeof exec_errno)) {
    Reap(pid);
    result.start_errno = exec_errno;
    return result;
  }

  const Clock::time_point deadline =
      limits.timeout_ms > 0 ? Clock::now() + std::chrono::milliseconds(limits.timeout_ms)
                            : Clock::time_point::max();
  std::vector<char> buffer(kPipeBytes);
  int streams = 2;  // open read ends left
  ChildOutcome killed_for = ChildOutcome::kExited;
  while (streams > 0) {
    std::array<pollfd, 2> fds = {pollfd{out.read, POLLIN, 0}, pollfd{err.read, POLLIN, 0}};
    int wait_ms = MillisecondsUntil(deadline);
    if (wait_ms > kPollMs && keep_going) wait_ms = kPollMs;
    if (limits.timeout_ms <= 0 && !keep_going) wait_ms = -1;
    const int ready = ::poll(fds.data(), fds.size(), wait_ms);
    if (ready < 0 && errno != EINTR) {
      killed_for = ChildOutcome::kStopped;
      break;
    }
    if (keep_going && !keep_going(result.output.size())) {
      killed_for = ChildOutcome::kStopped;
      break;
    }
    // Checked whatever poll said, so that a child flooding its output meets the deadline too.
    if (limits.timeout_ms > 0 && Clock::now() >= deadline) {
      killed_for = ChildOutcome::kTimedOut;
      break;
    }
    for (size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t n = ::read(fds[i].fd, buffer.data(), buffer.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        PipeEnds::Close(i == 0 ? out.read : err.read);
        --streams;
        continue;
      }
      const auto bytes = static_cast<size_t>(n);
      if (i == 1) {
        const size_t room =
            limits.message_bytes - std::min(limits.message_bytes, result.message.size());
        result.message.append(buffer.data(), std::min(room, bytes));
        continue;
      }
      if (result.output.size() + bytes > limits.output_bytes) {
        killed_for = ChildOutcome::kOutputTooLarge;
        break;
      }
      try {
        result.output.append(buffer.data(), bytes);
      } catch (const std::bad_alloc&) {
        killed_for = ChildOutcome::kOutputTooLarge;
        break;
      }
    }
    if (killed_for != ChildOutcome::kExited) break;
  }
  if (killed_for != ChildOutcome::kExited) {
    ::kill(pid, SIGKILL);
    Reap(pid);
    result.outcome = killed_for;
    return result;
  }
  // Both streams ended: the child is exiting, or closed them and lingers until the deadline.
  int wait_status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid, &wait_status, WNOHANG);
    if (done == pid || (done < 0 && errno != EINTR)) break;
    if (done == 0 && limits.timeout_ms > 0 && Clock::now() >= deadline) {
      ::kill(pid, SIGKILL);
      Reap(pid);
      result.outcome = ChildOutcome::kTimedOut;
      return result;
    }
    if (done == 0 && keep_going && !keep_going(result.output.size())) {
      ::kill(pid, SIGKILL);
      Reap(pid);
      result.outcome = ChildOutcome::kStopped;
      return result;
    }
    if (done == 0) ::usleep(1000);
  }
  if (WIFSIGNALED(wait_status)) {
    result.outcome = ChildOutcome::kSignalled;
    result.signal = WTERMSIG(wait_status);
  } else {
    result.outcome = ChildOutcome::kExited;
    result.exit_status = WEXITSTATUS(wait_status);
  }
  return result;
}

std::string OwnExecutablePath() {
  std::array<char, 4096> path;
  const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
  if (n <= 0 || static_cast<size_t>(n) >= path.size()) return {};
  return std::string(path.data(), static_cast<size_t>(n));
}

}  // namespace vorna
