// File names as stored models give them: relative to the model's directory, possibly with '\\'
// separators and the wrong letter case (they were written on a case-insensitive system).
#pragma once

#include <string>

#include "io/path_parts.h"

namespace vorna {

// The local path for `path`: '\\' becomes '/', and when that file does not exist each component
// is matched case-insensitively (ASCII) against the directory's entries. Returns the path with
// '\\' replaced when nothing matches. The stored name is never rewritten by callers.
std::string ResolveFileName(const std::string& path);

// True when ResolveFileName(path) names an existing regular file.
bool FileExists(const std::string& path);

// The path of a file a model names (a texture) in the model's directory `dir`. Names written on
// the original platform are CP932: when the stored bytes name no file and are not UTF-8, the file
// is looked for under their UTF-8 reading, which is how such a file is named here. (Replacing
// '\\' in the raw bytes would also break names whose two-byte characters end in that byte.)
std::string StoredFilePath(const std::string& dir, const std::string& stored_name);

// Whether a relative file name stays inside the folder it is relative to: no scheme, no root
// and no ".." component ('/' and '\\' both separate).
bool StaysInFolder(const std::string& path);

// Case-insensitive (ASCII) equality, as file names of stored models compare.
bool EqualsIgnoringCase(const std::string& a, const std::string& b);

}  // namespace vorna
