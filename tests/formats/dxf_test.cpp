#include "formats/dxf.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "formats/format_common.h"
#include "formats/open_save.h"
#include "formats/text_io.h"
#include "formats/text_polygon.h"
#include "support/model_fixtures.h"
#include "support/test_support.h"

namespace vorna {
namespace {

struct DxfFace {
  std::string layer;
  std::vector<Vec3> corners;  // three corners leave out the fourth corner's groups
};

std::string Number(float v) {
  std::string text;
  AppendFloat(text, v);
  return text;
}

// A file as CAD programs write it: groups of each corner together, corners in order.
std::string DxfFile(const std::vector<DxfFace>& faces, const std::string& eol = "\n") {
  std::string out = "0" + eol + "SECTION" + eol + "2" + eol + "ENTITIES" + eol;
  for (const DxfFace& face : faces) {
    out += "0" + eol + "3DFACE" + eol + "8" + eol + face.layer + eol;
    for (size_t c = 0; c < face.corners.size(); ++c) {
      for (int axis = 0; axis < 3; ++axis) {
        out += std::to_string((axis + 1) * 10 + static_cast<int>(c)) + eol +
               Number(face.corners[c][axis]) + eol;
      }
    }
  }
  return out + "0" + eol + "ENDSEC" + eol + "0" + eol + "EOF" + eol;
}

const Vec3 kA{0, 0, 0}, kB{1, 0, 0}, kC{1, 1, 0}, kD{0, 1, 0}, kE{2, 0, 0}, kF{2, 1, 0};

std::vector<Face> FacesOf(const Model& model) { return model.faces; }

TEST(DxfReadTest, MergesSharedCornersWithinAPart) {
  auto model = test::NewModel();
  ScriptedHost host;
  ASSERT_TRUE(ParseDxf(*model, DxfFile({{"A", {kA, kB, kC, kD}}, {"A", {kB, kE, kF, kC}}}), host));
  EXPECT_TRUE(host.entries.empty());
  ASSERT_EQ(model->parts_count, 1);
  EXPECT_EQ(model->node_count, 1);
  EXPECT_EQ(model->node_name[0], "A");
  EXPECT_EQ(model->total_vertex_count, 6);
  EXPECT_EQ(model->total_face_count, 2);
  EXPECT_EQ(model->positions, (std::vector<Vec3>{kA, kB, kC, kD, kE, kF}));
  EXPECT_EQ(FacesOf(*model), (std::vector<Face>{{{0, 1, 2, 3}}, {{1, 4, 5, 2}}}));
  // Normals and bounds are computed; the faces stay quads.
  for (const Vec3& n : model->normals) EXPECT_EQ(n, (Vec3{0, 0, 1}));
  EXPECT_EQ(model->total_corner_max, (Vec3{2, 1, 0}));
  EXPECT_EQ(model->total_center, (Vec3{1, 0.5f, 0}));
  const Part& part = model->parts[0];
  EXPECT_EQ(part.material.diffuse, (Color{0.8f, 0.8f, 0.8f, 1.0f}));
  EXPECT_EQ(part.material.ambient, part.material.diffuse);
  EXPECT_EQ(part.texture_map_param, (std::array<float, 4>{1, 1, 0, 0}));
  EXPECT_TRUE(GeometryIsConsistent(*model, nullptr));
}

TEST(DxfReadTest, ALayerThatComesBackStartsAnotherPart) {
  auto model = test::NewModel();
  ScriptedHost host;
  ASSERT_TRUE(ParseDxf(
      *model, DxfFile({{"A", {kA, kB, kC}}, {"B", {kA, kB, kC}}, {"A", {kA, kB, kD}}}), host));
  ASSERT_EQ(model->parts_count, 3);
  EXPECT_EQ(model->node_name[0], "A");
  EXPECT_EQ(model->node_name[1], "B");
  EXPECT_EQ(model->node_name[2], "A");
  // Merging never reaches across Parts: every Part has its own three vertices.
  for (int p = 0; p <= 3; ++p) {
    EXPECT_EQ(model->parts[p].first_vertex, static_cast<uint32_t>(3 * p));
    EXPECT_EQ(model->parts[p].first_face, static_cast<uint32_t>(p));
  }
  EXPECT_EQ(model->faces[2], (Face{{0, 1, 2, kNoCorner}}));
  EXPECT_EQ(model->positions[8], kD);
}

TEST(DxfReadTest, FourthCornerDecidesTriangleOrQuad) {
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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto model = test::NewModel();
    ScriptedHost host;
    ASSERT_TRUE(ParseDxf(*model, DxfFile({{"L", c.corners}}), host));
    EXPECT_EQ(model->faces[0], c.face);
    EXPECT_EQ(model->total_vertex_count, c.vertices);
  }
}

TEST(DxfReadTest, NanCoordinatesMatchNothing) {
  auto model = test::NewModel();
  ScriptedHost host;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const Vec3 odd{nan, 0, 0};
  ASSERT_TRUE(ParseDxf(*model, DxfFile({{"L", {kA, odd, odd, odd}}}), host));
  EXPECT_EQ(model->total_vertex_count, 4);
  EXPECT_EQ(model->faces[0], (Face{{0, 1, 2, 3}}));
}

TEST(DxfReadTest, LayerNames) {
  struct Case {
    std::string layer;
    std::string name;
  };
  const Case cases[] = {
      {"", "no_name"},
      {"body 1", "body 1"},
      {std::string(70, 'x'), std::string(63, 'x')},
      {"\x93\xaa", "\x93\xaa"},  // raw bytes kept
  };
  for (const Case& c : cases) {
    auto model = test::NewModel();
    ScriptedHost host;
    ASSERT_TRUE(ParseDxf(*model, DxfFile({{c.layer, {kA, kB, kC}}}), host));
    EXPECT_EQ(model->node_name[0], c.name);
  }
  // Two layers that agree in their first 63 bytes are one Part.
  auto model = test::NewModel();
  ScriptedHost host;
  ASSERT_TRUE(ParseDxf(*model,
                       DxfFile({{std::string(63, 'x') + "1", {kA, kB, kC}},
                                {std::string(63, 'x') + "2", {kA, kB, kD}}}),
                       host));
  EXPECT_EQ(model->parts_count, 1);
  EXPECT_EQ(model->total_vertex_count, 4);
}

TEST(DxfReadTest, SkipsOtherSectionsAndEntities) {
  const std::string file =
      "999\ncomment\n"
      "0\nSECTION\n2\nHEADER\n9\n$EXTMIN\n10\n5.0\n20\n5.0\n30\n5.0\n0\nENDSEC\n"
      "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n0\nLAYER\n2\nWALLS\n8\nWALLS\n70\n0\n"
      "0\nENDTAB\n0\nENDSEC\n"
      "0\nSECTION\n2\nENTITIES\n"
      "0\nLINE\n8\nWALLS\n10\n9\n20\n9\n30\n9\n11\n8\n21\n8\n31\n8\n"
      "0\n3DFACE\n8\nA\n62\n3\n10\n0\n20\n0\n30\n0\n11\n1\n21\n0\n31\n0\n12\n1\n22\n1\n32\n0\n"
      "13\n1\n23\n1\n33\n0\n70\n0\n"
      "0\nPOINT\n8\nPTS\n10\n7\n20\n7\n30\n7\n"
      "0\nENDSEC\n0\nEOF\n"
      "0\n3DFACE\n8\nAFTER\n10\n0\n20\n0\n30\n0\n11\n1\n21\n0\n31\n0\n12\n1\n22\n1\n32\n0\n";
  auto model = test::NewModel();
  ScriptedHost host;
  ASSERT_TRUE(ParseDxf(*model, file, host));
  ASSERT_EQ(model->parts_count, 1);
  EXPECT_EQ(model->node_name[0], "A");
  EXPECT_EQ(model->positions, (std::vector<Vec3>{kA, kB, kC}));
  EXPECT_EQ(model->total_face_count, 1);
}

TEST(DxfReadTest, AcceptsTheLineEndsAndPaddingOfOtherWriters) {
  const std::vector<DxfFace> faces = {{"A", {kA, kB, kC, kD}}, {"B", {kA, kB, kE}}};
  auto expected = test::NewModel();
  ScriptedHost host;
  ASSERT_TRUE(ParseDxf(*expected, DxfFile(faces), host));

  std::string padded = DxfFile(faces, "\r\n");
  // Right-aligned group codes, as some writers pad them to three columns.
  std::string aligned;
  LineReader lines(padded);
  std::string_view line;
  for (bool code = true; lines.Next(&line); code = !code) {
    aligned += (code ? std::string(3 - std::min<size_t>(line.size(), 3), ' ') : "") +
               std::string(line) + "\r\n";
  }
  for (const std::string& file : {DxfFile(faces, "\r\n"), aligned}) {
    auto model = test::NewModel();
    ASSERT_TRUE(ParseDxf(*model, file, host));
    EXPECT_EQ(model->positions, expected->positions);
    EXPECT_EQ(model->faces, expected->faces);
    EXPECT_EQ(model->node_name[1], "B");
  }
}

TEST(DxfReadTest, GroupsInAnyOrderWithinAFace) {
  // The layer after the coordinates, x and y of all corners before their z, corners backwards.
  const std::string file =
      "0\n3DFACE\n"
      "10\n0\n11\n1\n12\n1\n13\n0\n20\n0\n21\n0\n22\n1\n23\n1\n"
      "33\n0\n32\n0\n31\n0\n30\n0\n8\nA\n"
      "0\nEOF\n";
  auto model = test::NewModel();
  ScriptedHost host;
  ASSERT_TRUE(ParseDxf(*model, file, host));
  ASSERT_EQ(model->parts_count, 1);
  EXPECT_EQ(model->node_name[0], "A");
  // Vertices are numbered in the order the corners were completed (by their z).
  EXPECT_EQ(model->positions, (std::vector<Vec3>{kD, kC, kB, kA}));
  EXPECT_EQ(model->faces[0], (Face{{3, 2, 1, 0}}));
}

TEST(DxfReadTest, IncompleteAndMalformedFaces) {
  struct Case {
    const char* what;
    std::string body;  // entities between ENTITIES and ENDSEC
    int faces;         // 0: "3DFACE データがありません"
    std::vector<Vec3> positions;
  };
  const std::string corner0 = "10\n0\n20\n0\n30\n0\n";
  const std::string corner1 = "11\n1\n21\n0\n31\n0\n";
  const std::string corner2 = "12\n1\n22\n1\n32\n0\n";
  const Case cases[] = {
      {"no third corner", "0\n3DFACE\n8\nA\n" + corner0 + corner1, 0, {}},
      {"no coordinates", "0\n3DFACE\n8\nA\n", 0, {}},
      {"missing groups are 0",
       "0\n3DFACE\n8\nA\n" + corner0 + "11\n1\n" + "22\n1\n",
       1,
       {kA, kB, Vec3{0, 1, 0}}},
      {"no layer: layer 0", "0\n3DFACE\n" + corner0 + corner1 + corner2, 1, {kA, kB, kC}},
      {"unreadable coordinate is missing",
       "0\n3DFACE\n8\nA\n" + corner0 + corner1 + "12\nabc\n22\n1\n32\n0\n",
       1,
       {kA, kB, Vec3{0, 1, 0}}},
      {"code that is no number",
       "0\n3DFACE\n8\nA\nxx\n10\n" + corner0 + corner1 + corner2,
       1,
       {kA, kB, kC}},
      {"other codes ignored",
       "0\n3DFACE\n8\nA\n14\n9\n39\n9\n" + corner0 + corner1 + corner2,
       1,
       {kA, kB, kC}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto model = test::NewModel();
    ScriptedHost host;
    const bool ok = ParseDxf(*model, "0\nSECTION\n2\nENTITIES\n" + c.body + "0\nENDSEC\n", host);
    if (c.faces == 0) {
      EXPECT_FALSE(ok);
      EXPECT_EQ(host.Texts(), std::vector<std::string>{"3DFACE データがありません"});
      EXPECT_EQ(model->parts_count, 0);
      continue;
    }
    ASSERT_TRUE(ok);
    EXPECT_EQ(model->total_face_count, c.faces);
    EXPECT_EQ(model->positions, c.positions);
  }
}

TEST(DxfReadTest, TruncatedFilesKeepWhatWasComplete) {
  const std::string full = DxfFile({{"A", {kA, kB, kC, kD}}, {"A", {kB, kE, kF}}});
  // Cut right after the second face's last value: the face still counts.
  const size_t end_of_faces = full.find("0\nENDSEC");
  for (size_t cut = 0; cut <= full.size(); ++cut) {
    auto model = test::NewModel();
    ScriptedHost host;
    const bool ok = ParseDxf(*model, full.substr(0, cut), host);
    if (ok) {
      EXPECT_TRUE(GeometryIsConsistent(*model, nullptr));
      if (cut >= end_of_faces) {
        EXPECT_EQ(model->total_face_count, 2) << cut;
      }
    } else {
      EXPECT_EQ(model->parts_count, 0);
    }
  }
}

std::string ManyFaces(int faces, int distinct_vertices_per_face) {
  std::vector<DxfFace> list;
  for (int f = 0; f < faces; ++f) {
    const float x = static_cast<float>(distinct_vertices_per_face == 0 ? 0 : f);
    list.push_back({"L", {Vec3{x, 0, 0}, Vec3{x, 1, 0}, Vec3{x, 1, 1}}});
  }
  return DxfFile(list);
}

TEST(DxfReadTest, Limits) {
  struct Case {
    const char* what;
    std::string file;
    const char* message;  // nullptr: accepted
  };
  std::vector<DxfFace> layers;
  for (int p = 0; p < 256; ++p) {
    std::string name = "L";
    AppendInt(name, p);
    layers.push_back({name, {kA, kB, kC}});
  }
  std::vector<DxfFace> fewer_layers(layers.begin(), layers.end() - 1);
  std::vector<DxfFace> alternating;  // the same two names, again and again
  for (int p = 0; p < 256; ++p) alternating.push_back({p % 2 ? "A" : "B", {kA, kB, kC}});
  const Case cases[] = {
      {"30000 faces", ManyFaces(30000, 0), nullptr},
      {"30001 faces", ManyFaces(30001, 0), "面数が30000個を超えました"},
      // Three new vertices per face: 9999 faces make 29997 vertices, one more face reaches 30000.
      {"29997 vertices", ManyFaces(9999, 3), nullptr},
      {"30000 vertices", ManyFaces(10000, 3), "頂点数が30000個を超えました"},
      {"255 parts", DxfFile(fewer_layers), nullptr},
      {"256 parts", DxfFile(layers), "パーツ数が256個を超えました"},
      {"256 alternating parts", DxfFile(alternating), "パーツ数が256個を超えました"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto model = test::NewModel();
    ScriptedHost host;
    const bool ok = ParseDxf(*model, c.file, host);
    if (c.message == nullptr) {
      EXPECT_TRUE(ok);
      EXPECT_TRUE(host.entries.empty());
    } else {
      EXPECT_FALSE(ok);
      EXPECT_EQ(host.Texts(), std::vector<std::string>{c.message});
      EXPECT_EQ(model->parts_count, 0);
      EXPECT_TRUE(model->positions.empty());
    }
  }
}

TEST(DxfReadTest, ResetsTheModelEvenWhenTheFileIsMissing) {
  auto model = test::NewModel();
  ScriptedHost host;
  ASSERT_TRUE(ParseDxf(*model, DxfFile({{"A", {kA, kB, kC}}}), host));
  model->motion_count = 3;
  test::TempDir dir;
  std::string error;
  EXPECT_FALSE(ImportDxf(*model, dir.File("missing.dxf"), host, ReadOptions{}, &error));
  EXPECT_TRUE(host.entries.empty());
  EXPECT_EQ(model->parts_count, 0);
  EXPECT_EQ(model->motion_count, 0);
  EXPECT_FALSE(error.empty());
}

// Part "tri" (a triangle) and Part "quad", drawn quad first.
std::unique_ptr<Model> TwoParts(const std::string& first_name, const std::string& second_name) {
  auto model = test::NewModel();
  AllocateParts(*model, 2);
  AllocateVertices(*model, 7);
  AllocateFaces(*model, 2);
  model->parts[1] = Part{.first_vertex = 3, .first_face = 1};
  model->parts[2] = Part{.first_vertex = 7, .first_face = 2};
  model->positions = {{0, 0, 0}, {1, 0, 0}, {0.5f, 1, -0.25f}, {0, 0, 1},
                      {1, 0, 1}, {1, 1, 1}, {0, 1.5f, 1}};
  model->faces = {Face{{0, 1, 2, kNoCorner}}, Face{{0, 1, 2, 3}}};
  model->node_name[0] = first_name;
  model->node_name[1] = second_name;
  model->draw_order[0] = 1;
  model->draw_order[1] = 0;
  return model;
}

TEST(DxfWriteTest, WritesTheExactFile) {
  auto model = TwoParts("tri", "quad");
  const std::string expected =
      "0\r\nSECTION\r\n2\r\nENTITIES\r\n"
      "0\r\n3DFACE\r\n8\r\nquad\r\n"
      "10\r\n0.000000\r\n20\r\n0.000000\r\n30\r\n1.000000\r\n"
      "11\r\n1.000000\r\n21\r\n0.000000\r\n31\r\n1.000000\r\n"
      "12\r\n1.000000\r\n22\r\n1.000000\r\n32\r\n1.000000\r\n"
      "13\r\n0.000000\r\n23\r\n1.500000\r\n33\r\n1.000000\r\n"
      "0\r\n3DFACE\r\n8\r\ntri\r\n"
      "10\r\n0.000000\r\n20\r\n0.000000\r\n30\r\n0.000000\r\n"
      "11\r\n1.000000\r\n21\r\n0.000000\r\n31\r\n0.000000\r\n"
      "12\r\n0.500000\r\n22\r\n1.000000\r\n32\r\n-0.250000\r\n"
      "13\r\n0.500000\r\n23\r\n1.000000\r\n33\r\n-0.250000\r\n"
      "0\r\nENDSEC\r\n0\r\nEOF\r\n";
  EXPECT_EQ(FormatDxf(*model), expected);
}

TEST(DxfWriteTest, RoundTripKeepsPartsAndGeometry) {
  auto model = TwoParts("tri", "quad");
  model->draw_order[0] = 0;
  model->draw_order[1] = 1;
  auto back = test::NewModel();
  ScriptedHost host;
  ASSERT_TRUE(ParseDxf(*back, FormatDxf(*model), host));
  ASSERT_EQ(back->parts_count, 2);
  EXPECT_EQ(back->node_name[0], "tri");
  EXPECT_EQ(back->node_name[1], "quad");
  EXPECT_EQ(back->positions, model->positions);
  EXPECT_EQ(back->faces, model->faces);
  EXPECT_EQ(back->parts[1].first_vertex, 3u);
}

TEST(DxfWriteTest, MakesPartNamesUnique) {
  struct Case {
    std::vector<std::string> names;
    std::vector<std::string> unique;
  };
  const std::string long_name(63, 'n');
  const Case cases[] = {
      {{"a", "a", "a"}, {"a", "a002", "a003"}},
      {{"body", "arm", "body", "arm"}, {"body", "arm", "body002", "arm003"}},
      // A name that is already taken is passed over.
      {{"a", "a", "a002"}, {"a", "a003", "a002"}},
      // The counter shortens the name instead of being cut off.
      {{long_name, long_name}, {long_name, std::string(60, 'n') + "002"}},
      {{"", ""}, {"", "002"}},
  };
  for (const Case& c : cases) {
    auto model = test::NewModel();
    AllocateParts(*model, static_cast<int>(c.names.size()));
    for (size_t p = 0; p < c.names.size(); ++p) model->node_name[p] = c.names[p];
    MakePartNamesUnique(*model);
    for (size_t p = 0; p < c.names.size(); ++p) EXPECT_EQ(model->node_name[p], c.unique[p]);
  }
}

TEST(DxfWriteTest, ExportRenamesInTheModelAndReportsFailures) {
  test::TempDir dir;
  auto model = TwoParts("body", "body");
  ScriptedHost host;
  ASSERT_TRUE(ExportDxf(*model, dir.File("out.dxf"), host));
  EXPECT_TRUE(host.entries.empty());
  EXPECT_EQ(host.wait_depth, 0);
  EXPECT_EQ(model->node_name[1], "body002");
  EXPECT_EQ(model->model_dir, dir.path());
  EXPECT_EQ(model->model_file_name, "out.dxf");
  EXPECT_EQ(test::ReadFile(dir.File("out.dxf")), FormatDxf(*model));

  EXPECT_FALSE(ExportDxf(*model, dir.File("no/such/folder/out.dxf"), host));
  ASSERT_EQ(host.entries.size(), 1u);
  EXPECT_EQ(host.entries[0].text, "ファイルを作成できません");
  EXPECT_EQ(host.entries[0].icon, MessageIcon::kStop);
  EXPECT_EQ(model->model_file_name, "out.dxf");
}

TEST(DxfWriteTest, SkipsWhatCannotBeWritten) {
  auto model = TwoParts("tri", "quad\r\nEOF");
  model->faces[0].corner[1] = 3;  // outside Part "tri"
  const std::string out = FormatDxf(*model);
  EXPECT_EQ(out.find("tri"), std::string::npos);
  auto back = test::NewModel();
  ScriptedHost host;
  ASSERT_TRUE(ParseDxf(*back, out, host));
  EXPECT_EQ(back->parts_count, 1);
  // A line break in a name would end the layer line early.
  EXPECT_EQ(back->node_name[0], "quad__EOF");

  model->draw_order[0] = 200;  // no such Part: "quad" is not drawn
  EXPECT_EQ(FormatDxf(*model), "0\r\nSECTION\r\n2\r\nENTITIES\r\n0\r\nENDSEC\r\n0\r\nEOF\r\n");
}

TEST(DxfLoadTest, TheOpenFlowReadsDxfAndTextPolygonFilesAndWritesDxf) {
  test::TempDir dir;
  test::WriteFile(dir.File("shape.DXF"), DxfFile({{"A", {kA, kB, kC}}, {"B", {kA, kB, kC, kD}}}));
  test::WriteFile(dir.File("mesh.txt"),
                  "<polygon_mesh>\n<vertex>\n<position vec3=\"0 0 0\"/>\n</vertex>\n<face>\n"
                  "<vertex_number int=\"0\"/>\n<vertex_number int=\"0\"/>\n"
                  "<vertex_number int=\"0\"/>\n</face>\n</polygon_mesh>\n");
  test::WriteFile(dir.File("empty.dxf"), "0\nEOF\n");
  auto model = test::NewModel();
  ScriptedHost host;
  LoadResult result = Load(*model, dir.File("shape.DXF"), host);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(model->loaded_type, kLoadedDxf);
  EXPECT_EQ(model->all_triangles, 0);
  EXPECT_EQ(model->motion_count, 1);
  EXPECT_EQ(model->model_file_name, "shape.DXF");
  EXPECT_EQ(PlanOverwriteSave(*model).format, ModelFormat::kDxf);

  // Saving as DXF goes through the DXF writer and reads back the same.
  ASSERT_TRUE(SaveModel(*model, dir.File("copy.dxf"), ModelFormat::kDxf, SaveOptions{}, host));
  EXPECT_EQ(test::ReadFile(dir.File("copy.dxf")), FormatDxf(*model));

  result = Load(*model, dir.File("mesh.txt"), host);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(model->loaded_type, kLoadedTextPolygon);
  EXPECT_EQ(model->all_triangles, 1);
  EXPECT_EQ(PlanOverwriteSave(*model).action, OverwriteAction::kSaveAs);
  EXPECT_TRUE(host.entries.empty());

  EXPECT_FALSE(Load(*model, dir.File("empty.dxf"), host).ok);
  EXPECT_EQ(host.Texts(), std::vector<std::string>{"3DFACE データがありません"});
  EXPECT_EQ(model->loaded_type, kLoadedNone);
}

}  // namespace
}  // namespace vorna
