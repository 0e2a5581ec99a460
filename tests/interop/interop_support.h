// Helpers shared by the interop tests: the third-party .x folder and Assimp's reading of a file.
#pragma once

#include <filesystem>
#include <string>

#ifdef VORNA_HAVE_ASSIMP
#include <assimp/cimport.h>
#include <assimp/scene.h>
#endif

namespace vorna::test {

// The configured third-party .x folder with a trailing '/', or empty when there is none.
inline std::string XSampleFolder() {
  const std::string root = VORNA_THIRD_PARTY_DIR;
  if (root.empty() || !std::filesystem::is_directory(root + "/x")) return {};
  return root + "/x/";
}

#ifdef VORNA_HAVE_ASSIMP

// A file, or bytes in memory when `in_memory`, as Assimp reads them (null when it cannot).
class AssimpScene {
 public:
  explicit AssimpScene(const std::string& path_or_bytes, bool in_memory = false)
      : scene(in_memory
                  ? aiImportFileFromMemory(path_or_bytes.data(),
                                           static_cast<unsigned>(path_or_bytes.size()), 0, "x")
                  : aiImportFile(path_or_bytes.c_str(), 0)) {}
  ~AssimpScene() { aiReleaseImport(scene); }
  AssimpScene(const AssimpScene&) = delete;
  AssimpScene& operator=(const AssimpScene&) = delete;
  const aiScene* scene;
};

inline const aiNode* FindNode(const aiNode* node, const std::string& name) {
  if (name == node->mName.C_Str()) return node;
  for (unsigned i = 0; i < node->mNumChildren; ++i) {
    if (const aiNode* found = FindNode(node->mChildren[i], name)) return found;
  }
  return nullptr;
}

#endif

}  // namespace vorna::test
