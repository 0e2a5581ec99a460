// Other tools' characters read through the skeletal import, against evaluations of the files
// written here from the formats' own rules (Assimp's reading of .x files, the glTF parser's of
// glTF files), not from our code.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "editor/open_flow.h"
#include "formats/gltf_export.h"
#include "interop/assimp_pose.h"
#include "interop/gltf_pose.h"
#include "interop/interop_support.h"
#include "model/bounds.h"
#include "support/test_support.h"

namespace vorna {
namespace {

using test::Points;
using test::WorstDistance;

struct Loaded {
  std::unique_ptr<Model> model = std::make_unique<Model>();
  LoadResult result;
};

Loaded LoadWithSkeleton(const std::string& path) {
  Loaded l;
  Reset(*l.model);
  ScriptedHost host;
  ReadOptions options;
  options.skeleton = true;
  l.result = Load(*l.model, path, host, options);
  EXPECT_TRUE(l.result.ok) << l.result.error;
  return l;
}

// Written again after the import, the character validates and Assimp reads it.
void ExpectExportsCleanly(const Model& model) {
  test::TempDir dir;
  const std::string out = dir.File("again.glb");
  ASSERT_TRUE(ExportGltf(model, out, true));
  if (const std::string modules = test::ValidatorModules(); !modules.empty()) {
    EXPECT_EQ(test::ValidatorComplaints(modules, out), "");
  }
#ifdef VORNA_HAVE_ASSIMP
  test::AssimpScene ai(out);
  ASSERT_NE(ai.scene, nullptr);
  EXPECT_EQ(static_cast<int>(ai.scene->mNumAnimations), std::max(model.anim_count, 1));
#endif
}

// Blender's re-export of our walker (keyed anew by Blender, without our extras) gives back the
// walker's Units and Anims.
void ExpectTheWalker(const Model& b) {
  auto walker = LoadWithSkeleton(std::string(VORNA_SOURCE_DIR) + "/samples/walker.vrn");
  const Model& w = *walker.model;
  ASSERT_EQ(b.unit_count(), w.unit_count());
  for (int u = 0; u < w.unit_count(); ++u) {
    const std::string& name = w.node_name[w.NodeOfUnit(u)];
    int found = -1;
    for (int k = 0; k < b.unit_count(); ++k) {
      if (b.node_name[b.NodeOfUnit(k)] == name) found = k;
    }
    ASSERT_GE(found, 0) << name;
    const int wp = w.parent[w.NodeOfUnit(u)], bp = b.parent[b.NodeOfUnit(found)];
    EXPECT_EQ(bp > 0 ? b.node_name[bp] : "", wp > 0 ? w.node_name[wp] : "") << name;
    EXPECT_LE(Length(b.units[found].basis_position - w.units[u].basis_position), 1e-5f) << name;
  }
  ASSERT_EQ(b.anim_count, w.anim_count);
  for (int a = 0; a < w.anim_count; ++a) {
    EXPECT_EQ(b.anims[a].name, w.anims[a].name);
    EXPECT_EQ(b.anims[a].loop, w.anims[a].loop);
  }
}

// The files from other tools: every Motion of every Anim where the file puts its vertices at
// that Motion's time, within 2 % of the size and never beyond what the import reports, and a
// clean export of what came in.
TEST(SkeletonInteropTest, GltfAnimationsPoseAsTheFormatDefinesThem) {
  const std::string root = VORNA_THIRD_PARTY_DIR;
  if (root.empty() || !std::filesystem::is_directory(root + "/gltf")) {
    GTEST_SKIP() << "third-party samples not present";
  }
  for (const char* file : {"simple_skin.gltf", "03_animated_cube.gltf", "walker_blender.glb",
                           "03_skinned_cylinder.gltf"}) {
    SCOPED_TRACE(file);
    const std::string path = root + "/gltf/" + file;
    const tinygltf::Model g = test::ReadGltf(path);
    Loaded l = LoadWithSkeleton(path);
    Model& model = *l.model;
    ASSERT_TRUE(l.result.skeleton.has_value());
    ASSERT_EQ(model.anim_count, static_cast<int>(g.animations.size()));
    const double size = ModelSize(model);
    double worst = 0.0;
    for (int a = 0; a < model.anim_count; ++a) {
      double first = HUGE_VAL, last = -HUGE_VAL;
      for (const tinygltf::AnimationSampler& s : g.animations[a].samplers) {
        const std::vector<double> times = test::Values(g, s.input);
        first = std::min(first, times.front());
        last = std::max(last, times.back());
      }
      for (const auto& [m, seconds] : test::AnimTimes(model.anims[a], first, last)) {
        Points rest, posed;
        test::PoseGltf(g, a, seconds, &rest, &posed);
        worst = std::max(worst, WorstDistance(model, m, rest, posed, 1e-5f));
      }
    }
    EXPECT_LE(worst, 0.02 * size);
    EXPECT_LE(worst, l.result.skeleton->pose_displacement + 1e-5 * size);
    RecordProperty(std::string(file) + "_worst_of_size", std::to_string(worst / size));
    ExpectExportsCleanly(model);
    if (std::string(file) == "walker_blender.glb") ExpectTheWalker(model);
  }
}

#ifdef VORNA_HAVE_ASSIMP

// ----- .x through Assimp's reading: its node animations and bones, skinned by hand ------------

TEST(SkeletonInteropTest, XAnimationPosesAsAssimpEvaluatesIt) {
  const std::string folder = test::XSampleFolder();
  if (folder.empty()) GTEST_SKIP() << "third-party samples not present";
  const std::string path = folder + "anim_test.x";
  Loaded l = LoadWithSkeleton(path);
  Model& model = *l.model;
  ASSERT_TRUE(l.result.skeleton.has_value());
  ASSERT_EQ(model.anim_count, 1);
  const Points rest = test::PointsOf(test::ReadWithLibrary(path));
  double worst = 0.0;
  const double size = ModelSize(model);
  for (const auto& [m, seconds] : test::MotionTimes(model, path)) {
    worst = std::max(
        worst,
        WorstDistance(model, m, rest, test::PointsOf(test::ReadWithLibrary(path, seconds)), 1e-5f));
  }
  EXPECT_LE(worst, 0.02 * size);
  // Within what the float evaluation above can tell apart.
  EXPECT_LE(worst, l.result.skeleton->pose_displacement + 1e-5 * size);
  RecordProperty("worst_error_of_size", std::to_string(worst / size));
  ExpectExportsCleanly(model);
}

#endif

}  // namespace
}  // namespace vorna
