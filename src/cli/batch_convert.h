// Converting many files at once: where each one goes, refusing names that would collide, and
// running the conversions side by side with a progress line and one line per failure.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vorna {

struct BatchFile {
  std::string in;
  std::string out;
};

struct BatchPlan {
  std::vector<BatchFile> files;
  bool refused = false;  // the request itself was wrong (a usage error), not the system
};

// Plans IN -> DIR/<IN's name without its extension>.<extension> for every file, and creates DIR
// when it is missing. Returns "" when every file has an output of its own; otherwise the reason,
// with nothing created: two files that would be written to the same name (a file given twice
// too), or a file that would replace another file of the batch while that one is still to be
// read. A folder that cannot be created is a failure that is not `refused`.
std::string PlanBatch(const std::vector<std::string>& inputs, const std::string& out_dir,
                      const std::string& extension, BatchPlan* plan);

// Runs `convert` on every file of `plan`, `jobs` at a time (0: one per processor); `convert`
// returns "" on success or why the file failed, and is called from several threads at once, so
// it must not share mutable state. Every failure is printed as one line "IN: reason" on stderr,
// and while stderr is a terminal a progress line shows how many files are done. Returns true
// when every file converted.
bool RunBatch(const BatchPlan& plan, int jobs,
              const std::function<std::string(const BatchFile&)>& convert);

}  // namespace vorna
