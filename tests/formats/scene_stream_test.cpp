#include "formats/scene_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "formats/scene_stream_fixture.h"

namespace vorna {
namespace {

std::span<const std::uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

TEST(SceneStreamTest, EveryFieldComesBack) {
  const StreamedScene sent = test::EveryFieldScene();
  const std::string bytes = WriteSceneStream(sent);
  StreamedScene got;
  ReadError error;
  ASSERT_TRUE(ReadSceneStream(Bytes(bytes), &got, &error)) << error.Describe();
  // One encoding per scene: what comes back writes the same bytes. With a field of each kind
  // below, a field that one side skips cannot go unseen.
  EXPECT_EQ(WriteSceneStream(got), bytes);
  const SceneDescription& s = got.scene;
  ASSERT_EQ(s.nodes.size(), 2u);
  EXPECT_EQ(s.nodes[1].name, "腕");
  EXPECT_EQ(s.nodes[1].rest.scale[1], 2.0);
  EXPECT_FALSE(s.nodes[0].unit.has_value());
  EXPECT_EQ(s.nodes[1].unit->blend_param[3], 30);
  EXPECT_EQ(got.images, sent.images);
  EXPECT_EQ(got.material_image, sent.material_image);
  EXPECT_EQ(s.materials.at(1).look.texture_file, "C:\\art\\skin.png");
  EXPECT_EQ(s.materials[1].look.material.ambient, sent.scene.materials[1].look.material.diffuse);
  EXPECT_EQ(s.materials[1].look.material.emissive, sent.scene.materials[1].look.material.emissive);
  ASSERT_EQ(s.meshes.size(), 2u);
  EXPECT_EQ(s.meshes[0].uvs, sent.scene.meshes[0].uvs);
  EXPECT_EQ(s.meshes[0].owner_node, 0);
  EXPECT_TRUE(s.meshes[1].normals.empty());
  EXPECT_EQ(s.meshes[1].bones.at(1).inverse_bind, sent.scene.meshes[1].bones[1].inverse_bind);
  EXPECT_EQ(s.meshes[1].influences.at(3).weight, 0.25f);
  const SceneAnimation& a = s.animations.at(0);
  EXPECT_EQ(a.loop, std::optional<bool>(true));
  EXPECT_EQ(a.key_motions, (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(a.channels.at(1).interpolation, Interpolation::kCubicSpline);
  EXPECT_EQ(a.channels[1].values, sent.scene.animations[0].channels[1].values);
  EXPECT_EQ(s.left_out.missing_joints, 6u);
}

TEST(SceneStreamTest, EveryTruncationIsRefused) {
  const std::string bytes = WriteSceneStream(test::EveryFieldScene());
  for (size_t size = 0; size < bytes.size(); ++size) {
    StreamedScene got;
    got.scene.nodes.resize(3);
    ReadError error;
    ASSERT_FALSE(ReadSceneStream(Bytes(bytes.substr(0, size)), &got, &error)) << size;
    EXPECT_TRUE(got.scene.nodes.empty() && got.images.empty()) << size;
    EXPECT_FALSE(error.message.empty()) << size;
    EXPECT_LE(error.offset, size) << size;
  }
}

// Bytes patched at a field: the value written there and what the reader says.
TEST(SceneStreamTest, BrokenFieldsAreRefusedWithTheirReason) {
  const std::string bytes = WriteSceneStream(test::EveryFieldScene());
  auto patched = [&](size_t at, std::string_view with) {
    std::string b = bytes;
    b.replace(at, with.size(), with);
    return b;
  };
  const size_t node_count = 12;
  const size_t first_unit_flag = node_count + 4 + 4 + 1 + 4 + 80;  // "" name: length 1, one zero
  struct Case {
    std::string stream;
    const char* message;
  };
  const Case cases[] = {
      {patched(0, "VRNSCENF"), "not a scene stream"},
      {patched(8, std::string("\x02\0\0\0", 4)), "a scene stream of another version"},
      {patched(node_count, "\xff\xff\xff\x7f"), "a count larger than the stream"},
      {patched(node_count + 8, "x"), "a string without its terminator"},
      {patched(first_unit_flag, "\x02"), "a flag or kind outside its values"},
      {patched(bytes.size() - 4, "DONF"), "the stream does not end where it should"},
      {bytes + "!", "bytes after the end of the stream"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    StreamedScene got;
    ReadError error;
    EXPECT_FALSE(ReadSceneStream(Bytes(c.stream), &got, &error));
    EXPECT_EQ(error.message, c.message);
    EXPECT_EQ(error.kind, ReadErrorKind::kBadData);
  }
}

}  // namespace
}  // namespace vorna
