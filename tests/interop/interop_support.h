// Helpers shared by the interop tests: the third-party .x folder, the glTF validator and Assimp's
// reading of a file.
#pragma once

#include <array>
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

// ----- glTF's transforms, as its specification defines them ------------------------------

using Mat4 = std::array<double, 16>;  // column-major, as glTF stores matrices

inline Mat4 Mul(const Mat4& a, const Mat4& b) {
  Mat4 r{};
  for (int c = 0; c < 4; ++c) {
    for (int row = 0; row < 4; ++row) {
      double s = 0;
      for (int k = 0; k < 4; ++k) s += a[k * 4 + row] * b[c * 4 + k];
      r[c * 4 + row] = s;
    }
  }
  return r;
}

inline Mat4 Trs(const std::vector<double>& t, const std::vector<double>& q,
                const std::vector<double>& s) {
  const double x = q[0], y = q[1], z = q[2], w = q[3];
  const double r[9] = {1 - 2 * (y * y + z * z), 2 * (x * y + z * w),     2 * (x * z - y * w),
                       2 * (x * y - z * w),     1 - 2 * (x * x + z * z), 2 * (y * z + x * w),
                       2 * (x * z + y * w),     2 * (y * z - x * w),     1 - 2 * (x * x + y * y)};
  Mat4 m{};
  for (int c = 0; c < 3; ++c) {
    for (int row = 0; row < 3; ++row) m[c * 4 + row] = r[c * 3 + row] * s[c];
  }
  m[12] = t[0];
  m[13] = t[1];
  m[14] = t[2];
  m[15] = 1;
  return m;
}

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
