// Reading an exported .glb back with the glTF parser, for tests that look at what we wrote.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/gltf_tinygltf.h"
#include "support/test_support.h"

namespace vorna::test {

// The document in the .glb at `path`; its images are left undecoded.
inline tinygltf::Model ReadGlb(const std::string& path) {
  tinygltf::TinyGLTF loader;
  loader.SetImageLoader([](tinygltf::Image*, int, std::string*, std::string*, int, int,
                           const unsigned char*, int, void*) { return true; },
                        nullptr);
  tinygltf::Model g;
  std::string err, warn;
  const std::string bytes = ReadFile(path);
  EXPECT_TRUE(loader.LoadBinaryFromMemory(&g, &err, &warn,
                                          reinterpret_cast<const unsigned char*>(bytes.data()),
                                          static_cast<unsigned>(bytes.size())))
      << err;
  return g;
}

}  // namespace vorna::test
