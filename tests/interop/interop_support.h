// Helpers shared by the interop tests: the third-party .x folder, the glTF validator and Assimp's
// reading of a file.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#ifdef VORNA_HAVE_ASSIMP
#include <assimp/cimport.h>
#include <assimp/scene.h>
#endif

namespace vorna::test {

// ----- The Khronos glTF validator --------------------------------------------------------

// Where scripts/setup installs the validator; empty when it is not there.
inline std::string ValidatorModules() {
  const std::string modules = std::string(VORNA_SOURCE_DIR) + "/.tools/npm/node_modules";
  if (!std::filesystem::exists(modules + "/gltf-validator")) return {};
  if (std::system("node --version >/dev/null 2>&1") != 0) return {};
  return modules;
}

// The validator's errors and warnings for `path`, one "CODE pointer" line each.
inline std::string ValidatorComplaints(const std::string& modules, const std::string& path) {
  const std::string command = "node '" + std::string(VORNA_SOURCE_DIR) +
                              "/tests/interop/gltf_validate.js' '" + modules + "' '" + path + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return "cannot run node";
  std::string report;
  char chunk[4096];
  for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) report.append(chunk, n);
  if (pclose(pipe) != 0) return "the validator failed: " + report;
  const nlohmann::json issues = nlohmann::json::parse(report, nullptr, false);
  if (issues.is_discarded()) return "unreadable report: " + report;
  std::string complaints;
  for (const auto& message : issues["messages"]) {
    if (message["severity"].get<int>() <= 1) {
      complaints +=
          message["code"].get<std::string>() + " " + message.value("pointer", std::string()) + "\n";
    }
  }
  return complaints;
}

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
