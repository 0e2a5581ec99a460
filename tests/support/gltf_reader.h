// Reading a glTF file with the glTF parser, for tests that look at what we wrote or evaluate a
// file without our code.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/gltf_tinygltf.h"
#include "support/test_support.h"

namespace vorna::test {

// Reads .gltf (with its buffer files beside it) and .glb files; images are left undecoded.
inline tinygltf::Model ReadGltf(const std::string& path) {
  tinygltf::TinyGLTF loader;
  loader.SetImageLoader([](tinygltf::Image*, int, std::string*, std::string*, int, int,
                           const unsigned char*, int, void*) { return true; },
                        nullptr);
  tinygltf::FsCallbacks fs{};
  fs.FileExists = [](const std::string& p, void*) { return std::filesystem::exists(p); };
  fs.ExpandFilePath = [](const std::string& p, void*) { return p; };
  fs.ReadWholeFile = [](std::vector<unsigned char>* out, std::string*, const std::string& p,
                        void*) {
    const std::string bytes = test::ReadFile(p);
    out->assign(bytes.begin(), bytes.end());
    return true;
  };
  fs.WriteWholeFile = [](std::string*, const std::string&, const std::vector<unsigned char>&,
                         void*) { return false; };
  loader.SetFsCallbacks(fs);
  tinygltf::Model g;
  std::string err, warn;
  const bool ok = path.ends_with(".glb") ? loader.LoadBinaryFromFile(&g, &err, &warn, path)
                                         : loader.LoadASCIIFromFile(&g, &err, &warn, path);
  EXPECT_TRUE(ok) << err;
  return g;
}

}  // namespace vorna::test
