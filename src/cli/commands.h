// vorna-cli's commands. Each takes its arguments after the command word and returns the exit
// status: 0 success, 1 the operation failed, 2 a usage error.
#pragma once

#include <string>
#include <vector>

namespace vorna {

int RunInfo(const std::vector<std::string>& args);
int RunConvert(const std::vector<std::string>& args);

// The line a failed save prints: the message, the file and, when known, why.
std::string CannotSaveLine(const std::string& path, const std::string& why = {});

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

}  // namespace vorna
