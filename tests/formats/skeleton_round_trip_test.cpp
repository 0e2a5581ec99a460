// Characters written by our exports and read back through the skeletal import.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "animation/skeleton_import.h"
#include "formats/gltf_export.h"
#include "formats/registry.h"
#include "formats/x_export.h"
#include "formats/x_export_fixture.h"
#include "model/bounds.h"
#include "model/hierarchy.h"
#include "support/drawn_model.h"
#include "support/test_support.h"

namespace vorna {
namespace {

std::unique_ptr<Model> Read(const std::string& path) {
  auto model = test::NewModel();
  ScriptedHost host;
  ReadOptions options;
  options.load_textures = false;
  options.skeleton = true;
  ReadError error;
  EXPECT_TRUE(ReadModelFile(*model, path, host, options, &error)) << error.Describe();
  BuildHierarchy(*model);
  return model;
}

std::string Without(const std::string& name, const std::string& prefix) {
  return name.rfind(prefix, 0) == 0 ? name.substr(prefix.size()) : name;
}

struct Trip {
  const char* name;
  const char* extension;
  XFileFormat x_format;    // for .x
  bool exact;              // glTF carries what .x cannot
  bool rewritten = false;  // the .gltf as another tool writes it back, see Rewrite
};

// What Blender does to our .gltf when it writes it back unedited: the nodes in another order
// with their extras as they were, true and false in extras as 1 and 0, the animations in another
// order (by name there; reversed here, which no order of ours matches). And names gone stale, as
// after bones are renamed there: every other skinned mesh node names the next one's joint.
void Rewrite(const std::string& path) {
  using nlohmann::json;
  json doc = json::parse(test::ReadFile(path));
  const size_t n = doc["nodes"].size();
  const auto moved = [n](json& index) { index = n - 1 - index.get<size_t>(); };
  std::reverse(doc["nodes"].begin(), doc["nodes"].end());
  std::vector<json*> skinned;
  for (json& node : doc["nodes"]) {
    if (node.contains("children")) {
      for (json& child : node["children"]) moved(child);
    }
    if (node.contains("extras") && node["extras"].contains("joint")) skinned.push_back(&node);
  }
  for (size_t k = 0; k + 1 < skinned.size(); k += 2) {
    (*skinned[k])["extras"]["joint"] = (*skinned[k + 1])["extras"]["joint"];
  }
  for (json& index : doc["scenes"][0]["nodes"]) moved(index);
  for (json& skin : doc["skins"]) {
    for (json& joint : skin["joints"]) moved(joint);
    moved(skin["skeleton"]);
  }
  for (json& animation : doc["animations"]) {
    for (json& channel : animation["channels"]) moved(channel["target"]["node"]);
    for (json& value : animation["extras"]) {
      if (value.is_boolean()) value = value.get<bool>() ? 1 : 0;
    }
  }
  std::reverse(doc["animations"].begin(), doc["animations"].end());
  test::WriteFile(path, doc.dump());
}

using test::Drawn;

// Every vertex of `back` in Motion `mb` lies where a vertex of `model` with its rest position (and,
// with `same_blend`, its blend weight) lies in Motion `m`.
void ExpectSamePose(Model& model, int m, Model& back, int mb, double tolerance, bool same_blend) {
  const auto want = Drawn(model, m);
  const auto got = Drawn(back, mb);
  for (const auto& [rest, value] : got) {
    const auto [begin, end] = want.equal_range(rest);
    ASSERT_NE(begin, end) << "a vertex the model does not have";
    double best = HUGE_VAL;
    for (auto it = begin; it != end; ++it) {
      if (same_blend && std::fabs(it->second.first - value.first) > 1e-5f) continue;
      best = std::min<double>(best, Length(it->second.second - value.second));
    }
    ASSERT_LE(best, tolerance) << "Motion " << m << ", blend " << value.first;
  }
}

// Through glTF everything comes back; through .x with skin weights the same within 1e-3 of the
// size, apart from what the .x export and format change: names carry the "Frame_" and
// "AnimSet_" prefixes, the animation sets come in reverse order, the Parts without a Unit hang
// under the Unit the export adds for them, and the .x file carries no basis types (a Unit whose
// Motions all turn about one axis comes back with a tilt axis), no Unit that never moves a
// vertex and not which Unit a triangle belonged to (a vertex that follows its parent Unit fully
// may come back as its parent's, with another blend weight but in the same place).
TEST(SkeletonRoundTripTest, OwnExportsComeBack) {
  const Trip trips[] = {
      {"glb", ".glb", XFileFormat::kText, true},
      {"gltf", ".gltf", XFileFormat::kText, true},
      {"gltf rewritten", ".gltf", XFileFormat::kText, true, true},
      {"x text", ".x", XFileFormat::kText, false},
      {"x binary", ".x", XFileFormat::kBinary, false},
  };
  struct Source {
    const char* name;
    std::unique_ptr<Model> model;
    int x_units;  // the fixture's tail and the grouping Unit never move a vertex
  };
  const std::string samples = std::string(VORNA_SOURCE_DIR) + "/samples/";
  // The fixture's fifth Motion lies outside every Anim.
  Source sources[] = {{"walker", Read(samples + "walker.vrn"), 7},
                      {"character", Read(samples + "character.vrn"), 15},
                      {"fixture", test::AnimatedCharacter(5), 3}};
  test::TempDir dir;
  for (Source& source : sources) {
    Model& model = *source.model;
    RefreshSaveOrder(model);
    for (const Trip& trip : trips) {
      SCOPED_TRACE(std::string(source.name) + " through " + trip.name);
      const std::string path = dir.File(std::string(source.name) + trip.extension);
      ScriptedHost host;
      Model exported = model;  // the .x export groups loose Parts under a Unit of its own
      if (trip.exact) {
        ASSERT_TRUE(ExportGltf(exported, path, std::string(trip.extension) == ".glb"));
        if (trip.rewritten) Rewrite(path);
      } else {
        SaveOptions options;
        options.x.skin = 1;
        options.x.format = trip.x_format;
        ASSERT_TRUE(ExportX(exported, path, options, host));
      }
      auto back = Read(path);
      const std::string unit_prefix = trip.exact ? "" : "Frame_";
      const std::string anim_prefix = trip.exact ? "" : "AnimSet_";
      // Units by name: parents (the nearest Unit that came back), pivots and (glTF) bases.
      std::map<std::string, int> unit_of;
      for (int u = 0; u < back->unit_count(); ++u) {
        unit_of[Without(back->node_name[back->NodeOfUnit(u)], unit_prefix)] = u;
      }
      EXPECT_EQ(back->unit_count(), trip.exact ? exported.unit_count() : source.x_units);
      for (int u = 0; u < exported.unit_count(); ++u) {
        const std::string name = exported.node_name[exported.NodeOfUnit(u)];
        const auto it = unit_of.find(name);
        if (it == unit_of.end()) continue;
        int parent = exported.parent[exported.NodeOfUnit(u)];
        while (parent > 0 && !unit_of.count(exported.node_name[parent])) {
          parent = exported.parent[parent];
        }
        const int b = it->second;
        const int back_parent = back->parent[back->NodeOfUnit(b)];
        EXPECT_EQ(back_parent > 0 ? Without(back->node_name[back_parent], unit_prefix) : "",
                  parent > 0 ? exported.node_name[parent] : "")
            << name;
        EXPECT_LE(Length(back->units[b].basis_position - exported.units[u].basis_position), 1e-5f)
            << name;
        if (trip.exact) {
          EXPECT_EQ(back->units[b].basis_type, exported.units[u].basis_type) << name;
          EXPECT_EQ(back->units[b].axis_angle, exported.units[u].axis_angle) << name;
          EXPECT_EQ(back->units[b].blend_param, exported.units[u].blend_param) << name;
        }
      }
      // Anims by name, and their Motions pose alike; through glTF every Motion, in its place.
      ASSERT_EQ(back->anim_count, exported.anim_count);
      if (trip.exact) {
        EXPECT_EQ(back->parts_count, exported.parts_count);
        for (int a = 0; a < exported.anim_count; ++a) {
          EXPECT_EQ(back->anims[a].name, exported.anims[a].name);
        }
        ASSERT_EQ(back->motion_count, exported.motion_count);
        for (int m = 0; m < exported.motion_count; ++m) {
          ExpectSamePose(exported, m, *back, m, 1e-4 * ModelSize(exported), true);
        }
      }
      const double tolerance = (trip.exact ? 1e-4 : 1e-3) * ModelSize(exported);
      for (int a = 0; a < exported.anim_count; ++a) {
        const Anim& anim = exported.anims[a];
        const Anim* found = nullptr;
        for (int k = 0; k < back->anim_count; ++k) {
          if (Without(back->anims[k].name, anim_prefix) == anim.name) found = &back->anims[k];
        }
        ASSERT_NE(found, nullptr) << anim.name;
        EXPECT_EQ(found->last_motion - found->first_motion, anim.last_motion - anim.first_motion);
        EXPECT_EQ(found->loop, anim.loop);
        for (int k = 0; k <= anim.last_motion - anim.first_motion; ++k) {
          ExpectSamePose(exported, anim.first_motion + k, *back, found->first_motion + k, tolerance,
                         trip.exact);
        }
      }
    }
  }
}

}  // namespace
}  // namespace vorna
