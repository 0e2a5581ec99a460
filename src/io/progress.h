// How a long read or save tells its caller how far it has come, and learns whether to go on.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>

namespace vorna {

// Gets `done` of `total` units (bytes of the input unless the caller says otherwise; total may
// grow once, when a compressed file's size becomes known) and returns false to ask the operation
// to stop. It is called on the thread that does the work. An empty callback never stops anything.
using ProgressCallback = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// Calls a callback at most once per `step` units, so that a reader may ask at every record it
// reads: the cost between calls is one comparison. The first call comes at once, so that a stop
// answered at the start ends the work before it began.
class ProgressMeter {
 public:
  static constexpr std::uint64_t kDefaultStep = std::uint64_t{256} << 10;

  ProgressMeter(const ProgressCallback& callback, std::uint64_t total,
                std::uint64_t step = kDefaultStep)
      : callback_(callback ? &callback : nullptr),
        total_(total),
        step_(step),
        next_(callback ? 0 : kNever) {}

  void set_total(std::uint64_t total) { total_ = total; }
  std::uint64_t total() const { return total_; }

  // False once the callback asked to stop, and at every call after that.
  bool At(std::uint64_t done) { return done < next_ || Report(done); }
  // Reports the whole total; the callback may still ask to stop.
  bool Finish() { return callback_ == nullptr || Report(total_); }
  bool stopped() const { return stopped_; }

 private:
  static constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();

  bool Report(std::uint64_t done) {
    if (stopped_) return false;
    if (done > total_) done = total_;
    if (!(*callback_)(done, total_)) {
      stopped_ = true;
      next_ = 0;
      return false;
    }
    next_ = done + step_;
    return true;
  }

  const ProgressCallback* callback_;
  std::uint64_t total_;
  std::uint64_t step_;
  std::uint64_t next_;
  bool stopped_ = false;
};

}  // namespace vorna
