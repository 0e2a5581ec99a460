#include "io/write_error.h"

#include <utility>

namespace vorna {

std::string WriteError::Describe() const {
  if (ok()) return "no error";
  return path.empty() ? message : path + ": " + message;
}

bool Fail(WriteError* error, WriteErrorKind kind, std::string message, std::string path) {
  if (error != nullptr) {
    error->kind = kind;
    error->message = std::move(message);
    error->path = std::move(path);
  }
  return false;
}

}  // namespace vorna
