#include "formats/text_polygon.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "formats/format_common.h"
#include "support/model_fixtures.h"
#include "support/test_support.h"

namespace vorna {
namespace {

// Builds a file the way the exporting tool lays it out: one element per line, indented.
class TextPolygonFile {
 public:
  TextPolygonFile& Mesh(const std::string& name_line = "") {
    out_ += "<polygon_mesh>\n";
    if (!name_line.empty()) out_ += "  <string string=\"" + name_line + "\"/>\n";
    return *this;
  }
  TextPolygonFile& Colour(const char* rgb) {
    out_ += std::string("  <rgb rgb=\"") + rgb + "\"/>\n";
    return *this;
  }
  TextPolygonFile& Vertex(const char* xyz) {
    out_ += std::string("  <vertex>\n    <position vec3=\"") + xyz + "\"/>\n  </vertex>\n";
    return *this;
  }
  TextPolygonFile& Face(const std::vector<int>& corners, const std::vector<const char*>& uvs = {}) {
    out_ += "  <face>\n";
    for (size_t k = 0; k < corners.size(); ++k) {
      out_ += "    <vertex_number int=\"" + std::to_string(corners[k]) + "\"/>\n";
      if (k < uvs.size()) out_ += std::string("    <uv vec3=\"") + uvs[k] + "\"/>\n";
    }
    for (size_t k = corners.size(); k < uvs.size(); ++k) {
      out_ += std::string("    <uv vec3=\"") + uvs[k] + "\"/>\n";
    }
    out_ += "  </face>\n";
    return *this;
  }
  TextPolygonFile& End() {
    out_ += "</polygon_mesh>\n";
    return *this;
  }
  TextPolygonFile& Raw(const std::string& text) {
    out_ += text;
    return *this;
  }
  const std::string& text() const { return out_; }

 private:
  std::string out_;
};

// A unit square (quad) and a triangle beside it.
TextPolygonFile SquareAndTriangle(const std::string& name_line) {
  TextPolygonFile file;
  file.Mesh(name_line)
      .Colour("1.0 0.5 0.25")
      .Vertex("0 0 0")
      .Vertex("1 0 0")
      .Vertex("1 1 0")
      .Vertex("0 1 0")
      .Vertex("2 0 0")
      .Face({0, 1, 2, 3})
      .Face({1, 4, 2})
      .End();
  return file;
}

TEST(TextPolygonTest, ReadsAMesh) {
  auto model = test::NewModel();
  ScriptedHost host;
  ASSERT_TRUE(ParseTextPolygon(*model, SquareAndTriangle("body").text(), host));
  EXPECT_TRUE(host.entries.empty());
  ASSERT_EQ(model->parts_count, 1);
  EXPECT_EQ(model->node_count, 1);
  EXPECT_EQ(model->node_name[0], "body");
  EXPECT_EQ(model->total_vertex_count, 5);
  EXPECT_EQ(model->total_face_count, 2);
  EXPECT_EQ(model->faces, (std::vector<Face>{{{0, 1, 2, 3}}, {{1, 4, 2, kNoCorner}}}));
  const Material& material = model->parts[0].material;
  EXPECT_EQ(material.diffuse, (Color{1.0f, 0.5f, 0.25f, 1.0f}));
  EXPECT_EQ(material.ambient, material.diffuse);
  EXPECT_EQ(material.specular, Color{});
  EXPECT_EQ(material.power, 0.0f);
  // Half a turn about Y: x and z change sign, and the faces now look down -z.
  EXPECT_EQ(model->positions[1], (Vec3{-1, 0, 0}));
  EXPECT_EQ(model->positions[0], (Vec3{0, 0, 0}));
  EXPECT_FALSE(std::signbit(model->positions[0].x));
  for (const Vec3& n : model->normals) EXPECT_EQ(n, (Vec3{0, 0, -1}));
  EXPECT_EQ(model->total_corner_min, (Vec3{-2, 0, 0}));
  EXPECT_EQ(model->total_corner_max, (Vec3{0, 1, 0}));
  EXPECT_EQ(model->parts[0].center, (Vec3{-1, 0.5f, 0}));
  EXPECT_TRUE(GeometryIsConsistent(*model, nullptr));
}

TEST(TextPolygonTest, HalfTurnAboutY) {
  auto model = test::NewModel();
  ScriptedHost host;
  TextPolygonFile file;
  file.Mesh("m").Vertex("1 2 3").Vertex("-4 5 -6.5").Vertex("0 0 1").Face({0, 1, 2}).End();
  ASSERT_TRUE(ParseTextPolygon(*model, file.text(), host));
  EXPECT_EQ(model->positions, (std::vector<Vec3>{{-1, 2, -3}, {4, 5, 6.5f}, {0, 0, -1}}));
}

TEST(TextPolygonTest, Names) {
  struct Case {
    std::string file;
    std::string name;
  };
  const auto with_line = [](const std::string& line) {
    return "<polygon_mesh>\n" + line +
           "\n<vertex>\n<position vec3=\"0 0 0\"/>\n</vertex>\n"
           "<face>\n<vertex_number int=\"0\"/>\n<vertex_number int=\"0\"/>\n"
           "<vertex_number int=\"0\"/>\n</face>\n</polygon_mesh>\n";
  };
  const Case cases[] = {
      {with_line(""), "no_name"},
      {with_line("<string string=\"left arm\"/>"), "left"},
      {with_line("\t\t<string string=\"  head\"/> trailing"), "head"},
      {with_line("<string string=\"\"/>"), "no_name"},
      {with_line("<string string=\"" + std::string(80, 'x') + "\"/>"), std::string(63, 'x')},
      {with_line("<string string=\"\x93\xaa\"/>"), "\x93\xaa"},
  };
  for (const Case& c : cases) {
    auto model = test::NewModel();
    ScriptedHost host;
    ASSERT_TRUE(ParseTextPolygon(*model, c.file, host)) << c.file;
    EXPECT_EQ(model->node_name[0], c.name);
  }
}

TEST(TextPolygonTest, SplitsLargeFacesAroundTheirCentre) {
  auto model = test::NewModel();
  ScriptedHost host;
  TextPolygonFile file;
  file.Mesh("pent")
      .Vertex("0 0 0")
      .Vertex("2 0 0")
      .Vertex("3 2 0")
      .Vertex("1 3 0")
      .Vertex("-1 2 0")
      .Face({0, 1, 2, 3, 4}, {"0 0 0", "1 0 0", "1 1 0", "0 1 0", "0.5 0.5 0"})
      .Face({0, 1, 2})
      .End();
  ASSERT_TRUE(ParseTextPolygon(*model, file.text(), host));
  EXPECT_EQ(model->total_vertex_count, 6);
  EXPECT_EQ(model->total_face_count, 6);
  EXPECT_EQ(model->faces, (std::vector<Face>{{{0, 1, 5, kNoCorner}},
                                             {{1, 2, 5, kNoCorner}},
                                             {{2, 3, 5, kNoCorner}},
                                             {{3, 4, 5, kNoCorner}},
                                             {{4, 0, 5, kNoCorner}},
                                             {{0, 1, 2, kNoCorner}}}));
  // The added vertex is at the mean of the corners (turned with the rest).
  EXPECT_EQ(model->positions[5], (Vec3{-1, 1.4f, 0}));
  // Every corner takes its own pair, the added vertex their mean.
  EXPECT_EQ(model->tex_u, (std::vector<float>{0, 1, 1, 0, 0.5f, 0.5f}));
  EXPECT_EQ(model->tex_v, (std::vector<float>{0, 0, 1, 1, 0.5f, 0.5f}));
  EXPECT_EQ(model->all_triangles, 0);  // left to the load flow
}

TEST(TextPolygonTest, TextureCoordinatesBelongToVertices) {
  auto model = test::NewModel();
  ScriptedHost host;
  TextPolygonFile file;
  file.Mesh("m")
      .Vertex("0 0 0")
      .Vertex("1 0 0")
      .Vertex("1 1 0")
      .Vertex("0 1 0")
      .Vertex("2 0 0")
      .Face({0, 1, 2, 3}, {"0 0 0", "0.25 0 0", "0.25 1 0", "0 1 0"})
      // The later face gives vertex 1 other coordinates; a fourth pair has no corner.
      .Face({1, 4, 2}, {"0.5 0.5 0", "1 0 0", "0.75 0.75 0", "9 9 0"})
      // Fewer pairs than corners: vertex 3 keeps what it had.
      .Face({2, 3, 4}, {"0.125 0.125 0"})
      .End();
  ASSERT_TRUE(ParseTextPolygon(*model, file.text(), host));
  EXPECT_EQ(model->tex_u, (std::vector<float>{0, 0.5f, 0.125f, 0, 1}));
  EXPECT_EQ(model->tex_v, (std::vector<float>{0, 0.5f, 0.125f, 1, 0}));
}

TEST(TextPolygonTest, SeveralMeshesAndOddLayouts) {
  TextPolygonFile file;
  file.Mesh("first").Colour("0 0 1").Vertex("0 0 0").Vertex("1 0 0").Vertex("0 1 0");
  // A face whose vertices come later in the file; a pentagon whose centre uses them too.
  file.Face({0, 1, 2}).Face({3, 4, 5}).Face({0, 1, 4, 5, 3});
  file.Vertex("0 0 2").Vertex("2 0 2").Vertex("0 2 2").End();
  // Faces of fewer than three corners are left out.
  file.Mesh("second").Vertex("5 5 5").Face({0, 0}).Face({}).Vertex("6 5 5").Vertex("5 6 5");
  file.Face({0, 1, 2}).End();
  // Content after the last mesh is not a mesh.
  file.Raw("<polygon_mesh>\n<vertex>\n<position vec3=\"7 7 7\"/>\n</vertex>\n");
  auto model = test::NewModel();
  ScriptedHost host;
  ASSERT_TRUE(ParseTextPolygon(*model, file.text(), host));
  ASSERT_EQ(model->parts_count, 2);
  EXPECT_EQ(model->node_name[1], "second");
  EXPECT_EQ(model->parts[1].first_vertex, 7u);
  EXPECT_EQ(model->parts[1].first_face, 7u);
  EXPECT_EQ(model->parts[2].first_vertex, 10u);
  EXPECT_EQ(model->parts[2].first_face, 8u);
  EXPECT_EQ(model->parts[1].material.diffuse, (Color{0.8f, 0.8f, 0.8f, 1.0f}));
  EXPECT_EQ(model->parts[0].material.diffuse, (Color{0, 0, 1, 1}));
  EXPECT_EQ(model->positions[3], (Vec3{0, 0, -2}));
  EXPECT_EQ(model->faces[1], (Face{{3, 4, 5, kNoCorner}}));
  // The centre (after the mesh's own six vertices) is the mean of 0, 1, 4, 5, 3 in file terms:
  // (0 + 1 + 2 + 0 + 0) / 5, (0 + 0 + 0 + 2 + 0) / 5, (0 + 0 + 2 + 2 + 2) / 5.
  EXPECT_EQ(model->positions[6], (Vec3{-0.6f, 0.4f, -1.2f}));
  EXPECT_EQ(model->faces[6], (Face{{3, 0, 6, kNoCorner}}));
  EXPECT_EQ(model->positions[7], (Vec3{-5, 5, -5}));
  EXPECT_EQ(model->faces[7], (Face{{0, 1, 2, kNoCorner}}));
}

TEST(TextPolygonTest, LimitsAndRefusals) {
  struct Case {
    const char* what;
    std::string file;
    bool ok;
    std::vector<std::string> messages;
  };
  const auto corner = [](const char* n) {
    return std::string("<vertex_number int=\"") + n + "\"/>\n";
  };
  std::string corners_4094;
  for (int k = 0; k < 4094; ++k) corners_4094 += corner("0");
  const std::string corners_4095 = corners_4094 + corner("0");
  const std::string one_vertex = "<vertex>\n<position vec3=\"0 0 0\"/>\n</vertex>\n";
  const auto mesh_with_faces = [&](const std::string& faces) {
    return "<polygon_mesh>\n" + one_vertex + faces + "</polygon_mesh>\n";
  };
  const auto face = [](const std::string& corners) { return "<face>\n" + corners + "</face>\n"; };
  const std::string triangle = mesh_with_faces(face(corner("0") + corner("0") + corner("0")));
  std::string meshes_255;
  for (int m = 0; m < 255; ++m) meshes_255 += triangle;
  const std::string five_zeros =
      corner("0") + corner("0") + corner("0") + corner("0") + corner("0");
  const Case cases[] = {
      {"4094 corners", mesh_with_faces(face(corners_4094)), true, {}},
      {"255 meshes", meshes_255, true, {}},
      {"4095 corners",
       mesh_with_faces(face(corners_4095)),
       false,
       {"１面当たりの頂点数が4096個を超えました"}},
      {"256 meshes", meshes_255 + triangle, false, {"パーツ数が256個を超えました"}},
      {"empty file", "", false, {}},
      {"mesh never closed", "<polygon_mesh>\n" + one_vertex, false, {}},
      {"first mesh without faces", mesh_with_faces("") + triangle, false, {}},
      {"first mesh without vertices", "<polygon_mesh>\n</polygon_mesh>\n" + triangle, false, {}},
      {"corner past the vertices",
       mesh_with_faces(face(corner("0") + corner("0") + corner("1"))),
       false,
       {}},
      {"negative corner",
       mesh_with_faces(face(corner("0") + corner("-1") + corner("0"))),
       false,
       {}},
      // Number 1 is the vertex added for the pentagon, not one of the file's.
      {"corner naming an added vertex",
       mesh_with_faces(face(five_zeros) + face(corner("0") + corner("1") + corner("0"))),
       false,
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto model = test::NewModel();
    ScriptedHost host;
    EXPECT_EQ(ParseTextPolygon(*model, c.file, host), c.ok);
    EXPECT_EQ(host.Texts(), c.messages);
    if (c.ok) {
      EXPECT_TRUE(GeometryIsConsistent(*model, nullptr));
    } else {
      EXPECT_EQ(model->parts_count, 0);
      EXPECT_TRUE(model->positions.empty());
    }
  }
}

TEST(TextPolygonTest, MissingFileFailsSilently) {
  test::TempDir dir;
  auto model = test::NewModel();
  ScriptedHost host;
  EXPECT_FALSE(ReadTextPolygon(*model, dir.File("none.txt"), host));
  EXPECT_TRUE(host.entries.empty());
  test::WriteFile(dir.File("m.txt"), SquareAndTriangle("m").text());
  EXPECT_TRUE(ReadTextPolygon(*model, dir.File("m.txt"), host));
  EXPECT_EQ(model->total_face_count, 2);
}

}  // namespace
}  // namespace vorna
