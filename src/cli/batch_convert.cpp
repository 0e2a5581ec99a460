#include "cli/batch_convert.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

#include "io/path_parts.h"

namespace vorna {

namespace {

namespace fs = std::filesystem;

// A path in a form that compares equal for the same file named in different ways.
std::string SameFileKey(const std::string& path) {
  std::error_code error;
  const fs::path canonical = fs::weakly_canonical(fs::absolute(path, error), error);
  return error ? fs::path(path).lexically_normal().string() : canonical.string();
}

// Shows progress and failures on stderr; lines from several threads never mix.
class BatchReport {
 public:
  explicit BatchReport(size_t total) : total_(total), terminal_(::isatty(STDERR_FILENO) == 1) {}

  void Done(const BatchFile& file, const std::string& failure) {
    const std::lock_guard lock(mutex_);
    ++done_;
    if (terminal_) std::fputs("\r\033[K", stderr);
    if (!failure.empty()) std::fprintf(stderr, "%s: %s\n", file.in.c_str(), failure.c_str());
    if (terminal_ && done_ < total_) {
      std::fprintf(stderr, "[%zu/%zu] %s", done_, total_, file.in.c_str());
    }
    std::fflush(stderr);
  }

 private:
  std::mutex mutex_;
  size_t total_;
  size_t done_ = 0;
  bool terminal_;
};

}  // namespace

std::string PlanBatch(const std::vector<std::string>& inputs, const std::string& out_dir,
                      const std::string& extension, BatchPlan* plan) {
  plan->files.clear();
  plan->refused = true;
  std::map<std::string, size_t> written;  // output key -> index of the file writing it
  std::map<std::string, size_t> read;     // input key -> index
  for (size_t i = 0; i < inputs.size(); ++i) read.emplace(SameFileKey(inputs[i]), i);
  for (size_t i = 0; i < inputs.size(); ++i) {
    const std::string out =
        (fs::path(out_dir) / SplitPath(inputs[i]).stem).string() + "." + extension;
    const std::string key = SameFileKey(out);
    if (const auto [it, added] = written.emplace(key, i); !added) {
      return inputs[it->second] + " and " + inputs[i] + " would both be written to " + out +
             "; nothing converted";
    }
    if (const auto it = read.find(key); it != read.end() && it->second != i) {
      return inputs[i] + " would be written over " + inputs[it->second] +
             ", which is to be converted too; nothing converted";
    }
    plan->files.push_back({inputs[i], out});
  }
  plan->refused = false;
  std::error_code error;
  fs::create_directories(out_dir, error);
  if (error) {
    plan->files.clear();
    return "cannot create " + out_dir + ": " + error.message();
  }
  return "";
}

bool RunBatch(const BatchPlan& plan, int jobs,
              const std::function<std::string(const BatchFile&)>& convert) {
  if (jobs <= 0) jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  jobs = static_cast<int>(std::min<size_t>(static_cast<size_t>(jobs), plan.files.size()));
  BatchReport report(plan.files.size());
  std::atomic<size_t> next{0};
  std::atomic<bool> all_converted{true};
  auto work = [&] {
    for (size_t i = next++; i < plan.files.size(); i = next++) {
      std::string failure;
      try {
        failure = convert(plan.files[i]);
      } catch (const std::exception& e) {
        failure = e.what();
      }
      if (!failure.empty()) all_converted = false;
      report.Done(plan.files[i], failure);
    }
  };
  std::vector<std::thread> threads;
  try {
    for (int t = 1; t < jobs; ++t) threads.emplace_back(work);
  } catch (const std::system_error&) {
    // Fewer threads than asked for still convert every file.
  }
  work();
  for (std::thread& thread : threads) thread.join();
  return all_converted;
}

}  // namespace vorna
