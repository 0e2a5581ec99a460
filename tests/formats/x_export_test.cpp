#include "formats/x_export.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "formats/x_export_fixture.h"
#include "formats/xfile/reader.h"
#include "model/host.h"
#include "support/test_support.h"

namespace vorna {
namespace {

struct Exported {
  xfile::ReadResult read;
  std::string bytes;
};

// Exports as text and reads the file back with our reader.
Exported Export(Model& model, XOptions options = {}) {
  ScriptedHost host;
  XExportDocument built = BuildXDocument(model, options, host);
  xfile::WriteResult written = xfile::Write(built.document, built.write);
  EXPECT_TRUE(written.ok()) << written.error.Describe();
  return {xfile::Read(written.bytes), written.bytes};
}

// The whole text file of the still character, checked by hand: the header, the loose mesh, then
// the root frames in reverse breadth-first order with the hand under the arm; Parts with one
// material share material 0 and their positions are relative to the pivot; a Unit without Parts
// still has an empty mesh; each frame matrix moves by its pivot less its parent's; no animation.
TEST(XExportTest, StillModelWritesTheReferenceFile) {
  auto model = test::Character(1);
  EXPECT_EQ(test::ReferenceFileDifference(Export(*model).bytes, "formats/still_character.x"), "");
  EXPECT_EQ(model->total_face_count, 10);  // the quads became triangles for good
}

// The rotation key read the usual way (first value w) must rotate as the transposed frame
// rotation does.
TEST(XExportTest, RotationKeysMatchTheFrameRotation) {
  struct Case {
    uint32_t basis_type;
    std::array<int32_t, 3> axis_angle;
    std::array<int32_t, 3> angle;
  };
  const Case cases[] = {{2, {0, 0, 0}, {30, 0, 0}},   {2, {0, 0, 0}, {0, -40, 0}},
                        {2, {0, 0, 0}, {10, 20, 30}}, {2, {0, 0, 0}, {200, 95, -170}},
                        {1, {0, 0, 90}, {50, 0, 0}},  {1, {0, 30, 60}, {-75, 0, 0}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.angle[0] << " " << c.angle[1] << " " << c.angle[2]);
    auto model = test::Character(2);
    model->units[0].basis_type = c.basis_type;
    model->units[0].axis_angle = c.axis_angle;
    DeriveAxis(*model, 0);
    for (int k = 0; k < 3; ++k) model->motions[0].angle[k][0] = c.angle[k];
    XOptions options;
    options.skin = 1;
    Exported x = Export(*model, options);
    const std::vector<double>& frame =
        x.read.document.FindObject("Frame_hip")->FirstChild("FrameTransformMatrix")->numbers();
    const xfile::DataObject& key =
        *x.read.document.FindAll("Animation")[0]->Children("AnimationKey")[0];
    std::span<const double> v = key["keys"][0]["tfkeys"]["values"].Numbers();
    const double w = v[0], qx = v[1], qy = v[2], qz = v[3];
    const double r[3][3] = {
        {1 - 2 * (qy * qy + qz * qz), 2 * (qx * qy + qz * w), 2 * (qx * qz - qy * w)},
        {2 * (qx * qy - qz * w), 1 - 2 * (qx * qx + qz * qz), 2 * (qy * qz + qx * w)},
        {2 * (qx * qz + qy * w), 2 * (qy * qz - qx * w), 1 - 2 * (qx * qx + qy * qy)}};
    // The hip's frame has scale 1, so its upper rows are the rotation.
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) EXPECT_NEAR(r[i][j], frame[4 * j + i], 1e-5) << i << j;
    }
    // The arm's position key is its pivot less the hip's, as in its frame.
    const xfile::DataObject& arm_position =
        *x.read.document.FindAll("Animation")[1]->Children("AnimationKey")[2];
    std::span<const double> p = arm_position["keys"][0]["tfkeys"]["values"].Numbers();
    EXPECT_EQ(std::vector<double>(p.begin(), p.end()), (std::vector<double>{1, 0, 0}));
  }
}

// Neighbouring quads share edges: the skinned mesh names, for each of those corners, its first
// twin at the same place.
TEST(XExportTest, SkinnedMeshesNameTheirTwinVertices) {
  auto model = test::Character(1);
  model->positions[19] = model->positions[0];  // the hat's last corner on the body's first
  XOptions options;
  options.skin = 1;
  Exported x = Export(*model, options);
  const xfile::DataObject& twins = *x.read.document.FindAll("VertexDuplicationIndices").at(0);
  EXPECT_EQ(twins["nIndices"].Dword(), 20u);
  EXPECT_EQ(twins["nOriginalVertices"].Dword(), 12u);
  EXPECT_EQ(twins["indices"].Numbers()[4], 1.0);
  EXPECT_EQ(twins["indices"].Numbers()[19], 0.0);
}

}  // namespace
}  // namespace vorna
