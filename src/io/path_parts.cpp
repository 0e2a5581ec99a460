#include "io/path_parts.h"

namespace vorna {

PathParts SplitPath(std::string_view path) {
  const size_t slash = path.rfind('/');
  const size_t name_start = slash == std::string_view::npos ? 0 : slash + 1;
  const std::string_view name = path.substr(name_start);
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {path.substr(0, name_start), name, {}};
  return {path.substr(0, name_start), name.substr(0, dot), name.substr(dot)};
}

std::string DirectoryOf(std::string_view path) { return std::string(SplitPath(path).folder); }

std::string FileNameOf(std::string_view path) {
  return std::string(path.substr(SplitPath(path).folder.size()));
}

std::string WithoutExtension(std::string_view path) {
  return std::string(path.substr(0, path.size() - SplitPath(path).extension.size()));
}

}  // namespace vorna
