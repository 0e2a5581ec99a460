#include "importer/assimp_scene.h"

#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <vector>

namespace vorna {
namespace {

// An image the file holds as raw texels (blue, green, red, alpha) keeps its size and colours.
TEST(AssimpSceneTest, RawEmbeddedImagesKeepTheirSizeAndTexels) {
  aiScene scene;
  scene.mRootNode = new aiNode("root");
  scene.mNumTextures = 1;
  scene.mTextures = new aiTexture* [1] { new aiTexture() };
  aiTexture& texture = *scene.mTextures[0];
  texture.mWidth = 1;
  texture.mHeight = 2;
  texture.pcData = new aiTexel[2]{{1, 2, 3, 4}, {5, 6, 7, 8}};
  StreamedScene out;
  std::string why;
  ASSERT_TRUE(DescribeAssimpScene(scene, &out, &why)) << why;
  ASSERT_EQ(out.images.size(), 1u);
  EXPECT_EQ(out.images[0], (SceneImage{{}, 1, 2, {3, 2, 1, 4, 7, 6, 5, 8}}));
}

}  // namespace
}  // namespace vorna
