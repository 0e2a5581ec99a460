#include "formats/dxf.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "formats/model_file_fixtures.h"
#include "formats/text_io.h"
#include "support/model_fixtures.h"
#include "support/test_support.h"

namespace vorna {
namespace {

struct DxfFace {
  std::string layer;
  std::vector<Vec3> corners;  // three corners leave out the fourth corner's groups
};

// A file as CAD programs write it: the groups of each corner together, corners in order.
std::string DxfFile(const std::vector<DxfFace>& faces, const std::string& eol = "\n") {
  std::string out = "0" + eol + "SECTION" + eol + "2" + eol + "ENTITIES" + eol;
  for (const DxfFace& face : faces) {
    out += "0" + eol + "3DFACE" + eol + "8" + eol + face.layer + eol;
    for (size_t c = 0; c < face.corners.size(); ++c) {
      for (int axis = 0; axis < 3; ++axis) {
        AppendInt(out, (axis + 1) * 10 + static_cast<int>(c));
        out += eol;
        AppendFloat(out, face.corners[c][axis]);
        out += eol;
      }
    }
  }
  return out + "0" + eol + "ENDSEC" + eol + "0" + eol + "EOF" + eol;
}

const Vec3 kA{0, 0, 0}, kB{1, 0, 0}, kC{1, 1, 0}, kD{0, 1, 0};

TEST(DxfReadTest, FourthCornerDecidesTriangleOrQuad) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    const char* what;
    std::vector<Vec3> corners;
    Face face;
    int vertices;
  };
  const Case cases[] = {
      {"fourth equals third", {kA, kB, kC, kC}, {{0, 1, 2, kNoCorner}}, 3},
      {"fourth left out", {kA, kB, kC}, {{0, 1, 2, kNoCorner}}, 3},
      {"fourth equals first", {kA, kB, kC, kA}, {{0, 1, 2, 0}}, 3},
      {"four distinct", {kA, kB, kC, kD}, {{0, 1, 2, 3}}, 4},
      {"-0 is 0", {kA, kB, kC, Vec3{1, 1, -0.0f}}, {{0, 1, 2, kNoCorner}}, 3},
      {"NaN matches nothing", {kA, {nan, 0, 0}, {nan, 0, 0}, {nan, 0, 0}}, {{0, 1, 2, 3}}, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto model = test::NewModel();
    ScriptedHost host;
    ASSERT_TRUE(ParseDxf(*model, DxfFile({{"L", c.corners}}), host));
    EXPECT_EQ(model->faces[0], c.face);
    EXPECT_EQ(model->total_vertex_count, c.vertices);
    if (c.vertices == 3) {
      EXPECT_FLOAT_EQ(std::abs(model->normals[0].z), 1);  // the reader lights it
    }
  }
}

// Files other writers produce, and files cut or damaged: what each gives. CR LF line ends and an
// empty layer name are two_layers_crlf.dxf's and reversed_corners.dxf's, vorna-cli cases.
TEST(DxfReadTest, ReadsWhatOtherWritersProduceAndSurvivesDamage) {
  const std::string c0 = "10\n0\n20\n0\n30\n0\n", c1 = "11\n1\n21\n0\n31\n0\n";
  const auto entities = [](const std::string& body) {
    return "0\nSECTION\n2\nENTITIES\n" + body + "0\nENDSEC\n0\nEOF\n";
  };
  struct Case {
    const char* what;
    std::string file;
    std::string layer;  // "": refused with "3DFACE データがありません"
    std::vector<Vec3> positions;
  };
  const Case cases[] = {
      // The layer after the coordinates, x and y before z, corners backwards: vertices are
      // numbered in the order the corners were completed (by their z).
      {"groups in any order",
       entities("0\n3DFACE\n10\n0\n11\n1\n12\n1\n20\n0\n21\n0\n22\n1\n32\n0\n31\n0\n30\n0\n8\nA\n"),
       "A",
       {kC, kB, kA}},
      {"third corner missing", entities("0\n3DFACE\n8\nA\n" + c0 + c1), "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto model = test::NewModel();
    ScriptedHost host;
    const bool ok = ParseDxf(*model, c.file, host);
    EXPECT_EQ(ok, !c.layer.empty());
    if (!ok) {
      EXPECT_EQ(host.Texts(), std::vector<std::string>{"3DFACE データがありません"});
      EXPECT_EQ(model->parts_count, 0);
      continue;
    }
    EXPECT_EQ(model->parts_count, 1);
    EXPECT_EQ(model->node_name[0], c.layer);
    EXPECT_EQ(model->positions, c.positions);
  }
}

std::string ManyFaces(int faces, bool new_vertices) {
  std::vector<DxfFace> list;
  for (int f = 0; f < faces; ++f) {
    const float x = new_vertices ? static_cast<float>(f) : 0.0f;
    list.push_back({"L", {Vec3{x, 0, 0}, Vec3{x, 1, 0}, Vec3{x, 1, 1}}});
  }
  return DxfFile(list);
}

TEST(DxfReadTest, Limits) {
  // Two layers taking turns: every run of a layer is a Part of its own.
  std::vector<DxfFace> layers;
  for (int p = 0; p < 256; ++p) layers.push_back({p % 2 ? "A" : "B", {kA, kB, kC}});
  struct Case {
    const char* what;
    std::string file;
    const char* message;
  };
  const Case cases[] = {
      {"30001 faces", ManyFaces(30001, false), "面数が30000個を超えました"},
      {"30000 vertices", ManyFaces(10000, true), "頂点数が30000個を超えました"},
      {"256 parts", DxfFile(layers), "パーツ数が256個を超えました"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto model = test::NewModel();
    ScriptedHost host;
    EXPECT_EQ(ParseDxf(*model, c.file, host), c.message == nullptr);
    EXPECT_EQ(host.Texts(),
              c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
    EXPECT_EQ(model->positions.empty(), c.message != nullptr);
  }
}

// The whole file, checked by hand: Parts in drawing order, each face's corners in order with a
// triangle's third corner again as its fourth.
TEST(DxfWriteTest, WritesTheExactFile) {
  auto model = test::TwoPartModel();
  model->node_name[0] = "tri";
  model->node_name[1] = "quad";
  EXPECT_EQ(test::ReferenceFileDifference(FormatDxf(*model), "formats/two_parts.dxf"), "");

  // Faces outside their Part, Parts not in the draw order and line breaks in names cannot be
  // written as they are.
  for (int c = 0; c < 3; ++c) {
    auto broken = std::make_unique<Model>(*model);
    broken->faces[0].corner[c] = 3;
    EXPECT_EQ(FormatDxf(*broken).find("3DFACE\r\n8\r\ntri"), std::string::npos) << c;
  }
  model->node_name[1] = "quad\r\nEOF";
  EXPECT_NE(FormatDxf(*model).find("8\r\nquad__EOF\r\n"), std::string::npos);
  model->draw_order[0] = 200;
  EXPECT_EQ(FormatDxf(*model).find("quad"), std::string::npos);
}

}  // namespace
}  // namespace vorna
