#include "io/read_error.h"

#include <utility>

namespace vorna {

std::string ReadError::Describe() const {
  if (ok()) return "no error";
  if (line > 0) return "line " + std::to_string(line) + ": " + message;
  if (offset > 0 || in_decompressed) {
    return (in_decompressed ? "decompressed byte " : "byte ") + std::to_string(offset) + ": " +
           message;
  }
  return message;
}

bool Fail(ReadError* error, ReadErrorKind kind, std::string message, std::uint64_t offset,
          std::uint32_t line) {
  if (error) {
    error->kind = kind;
    error->message = std::move(message);
    error->offset = offset;
    error->line = line;
    error->in_decompressed = false;
  }
  return false;
}

}  // namespace vorna
