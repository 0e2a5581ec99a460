// A path split into folder, stem and extension, the one way every part of the program splits a
// path: only '/' separates folders, and the extension starts at the last '.' of the file name,
// never at a '.' in a folder's name.
#pragma once

#include <string>
#include <string_view>

namespace vorna {

// Views into the path given to SplitPath, which must outlive them.
struct PathParts {
  std::string_view folder;     // up to and including the last '/'; empty without one
  std::string_view stem;       // the file name before its extension
  std::string_view extension;  // the last '.' of the file name and what follows; empty without
};

PathParts SplitPath(std::string_view path);

// The folder of `path` up to and including its last '/', or "" without one.
std::string DirectoryOf(std::string_view path);
// Everything after the last '/'.
std::string FileNameOf(std::string_view path);
// `path` without the extension of its file name.
std::string WithoutExtension(std::string_view path);

}  // namespace vorna
