// Scenes for the tests of the scene stream and of reads through the import helper.
#pragma once

#include <cmath>

#include "formats/scene_stream.h"

namespace vorna::test {

// A scene that sets every field the stream carries to something other than its default.
inline StreamedScene EveryFieldScene() {
  StreamedScene s;
  SceneDescription& d = s.scene;
  d.nodes.resize(2);
  d.nodes[1].name = "腕";
  d.nodes[1].parent = 0;
  d.nodes[1].rest.translation = {1.0, 2.0, -3.0};
  d.nodes[1].rest.rotation = {0.0, 0.0, std::sqrt(0.5), std::sqrt(0.5)};
  d.nodes[1].rest.scale = {1.0, 2.0, 3.0};
  d.nodes[1].unit = UnitSettings{1, {10, 20, -45}, {1, 2, 3, 30}};
  s.images.resize(2);
  s.images[0].encoded = {0x89, 'P', 'N', 'G'};
  s.images[1].width = 2;
  s.images[1].height = 1;
  s.images[1].rgba = {255, 0, 0, 255, 0, 0, 255, 128};
  d.materials.resize(2);
  d.materials[0].name = "plain";
  d.materials[1].name = "skin";
  d.materials[1].look.texture_file = "C:\\art\\skin.png";
  d.materials[1].look.material.diffuse = {0.5f, 0.25f, 1.0f, 0.75f};
  d.materials[1].look.material.specular = {0.1f, 0.2f, 0.3f, 0.0f};
  d.materials[1].look.material.emissive = {0.0f, 0.0f, 0.5f, 0.0f};
  d.materials[1].look.material.power = 12.0f;
  s.material_image = {-1, 1};
  d.meshes.resize(2);
  SceneMesh& rigid = d.meshes[0];
  rigid.name = "box";
  rigid.material = 1;
  rigid.node = 1;
  rigid.owner_node = 0;
  rigid.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  rigid.normals = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
  rigid.uvs = {{0, 0}, {1, 0}, {0, 1}};
  rigid.triangles = {0, 1, 2};
  SceneMesh& skinned = d.meshes[1];
  skinned.positions = {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}};
  skinned.triangles = {0, 2, 1};
  skinned.bones = {{0, kSceneIdentity}, {1, kSceneIdentity}};
  skinned.bones[1].inverse_bind[13] = -1.0;
  skinned.influence_start = {0, 1, 3, 4};
  skinned.influences = {{0, 1.0f}, {0, 0.5f}, {1, 0.5f}, {1, 0.25f}};
  SceneAnimation& a = d.animations.emplace_back();
  a.name = "walk";
  a.loop = true;
  a.motions_only = true;
  a.key_motions = {0, 1};
  SceneChannel turn;
  turn.node = 1;
  turn.times = {0.0f, 1.0f};
  turn.values = {0, 0, 0, 1, 0, 1, 0, 0};
  SceneChannel grow;
  grow.node = 1;
  grow.path = ChannelPath::kScale;
  grow.interpolation = Interpolation::kCubicSpline;
  grow.times = {0.0f, 1.0f};
  grow.values.assign(18, 1.0f);
  a.channels = {turn, grow};
  d.left_out = {1, 2, 3, 4, 5, 6};
  return s;
}

}  // namespace vorna::test
