#include "formats/dxf.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "formats/model_file_fixtures.h"
#include "formats/text_io.h"
#include "support/model_fixtures.h"

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

const Vec3 kA{0, 0, 0}, kB{1, 0, 0}, kC{1, 1, 0}, kD{0, 1, 0}, kE{2, 0, 0}, kF{2, 1, 0};

TEST(DxfReadTest, OnePartPerLayerRunWithSharedCornersMerged) {
  auto model = test::NewModel();
  ScriptedHost host;
  ASSERT_TRUE(ParseDxf(*model,
                       DxfFile({{"A", {kA, kB, kC, kD}},
                                {"A", {kB, kE, kF, kC}},
                                {"B", {kA, kB, kC}},
                                {"A", {kA, kB, kD}}}),
                       host));
  EXPECT_TRUE(host.entries.empty());
  ASSERT_EQ(model->parts_count, 3);
  EXPECT_EQ(model->node_count, 3);
  EXPECT_EQ(model->node_name[0], "A");
  EXPECT_EQ(model->node_name[1], "B");
  EXPECT_EQ(model->node_name[2], "A");
  // Merging never reaches across Parts, not even into an earlier Part of the same name.
  const uint32_t first_vertex[] = {0, 6, 9, 12}, first_face[] = {0, 2, 3, 4};
  for (int p = 0; p <= 3; ++p) {
    EXPECT_EQ(model->parts[p].first_vertex, first_vertex[p]);
    EXPECT_EQ(model->parts[p].first_face, first_face[p]);
  }
  EXPECT_EQ(std::vector<Vec3>(model->positions.begin(), model->positions.begin() + 6),
            (std::vector<Vec3>{kA, kB, kC, kD, kE, kF}));
  EXPECT_EQ(model->faces,
            (std::vector<Face>{
                {{0, 1, 2, 3}}, {{1, 4, 5, 2}}, {{0, 1, 2, kNoCorner}}, {{0, 1, 2, kNoCorner}}}));
  // Normals follow.
  EXPECT_EQ(model->normals[5], (Vec3{0, 0, 1}));
}

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
  }
}

// Files other writers produce, and files cut or damaged: what each gives.
TEST(DxfReadTest, ReadsWhatOtherWritersProduceAndSurvivesDamage) {
  const std::string c0 = "10\n0\n20\n0\n30\n0\n", c1 = "11\n1\n21\n0\n31\n0\n",
                    c2 = "12\n1\n22\n1\n32\n0\n";
  const auto entities = [](const std::string& body) {
    return "0\nSECTION\n2\nENTITIES\n" + body + "0\nENDSEC\n0\nEOF\n";
  };
  const std::string crlf = DxfFile({{"A", {kA, kB, kC}}}, "\r\n");
  std::string padded;  // group codes right-aligned in three columns, as some writers pad them
  LineReader lines(crlf);
  std::string_view line;
  for (bool code = true; lines.Next(&line); code = !code) {
    padded += std::string(code ? 3 - std::min<size_t>(line.size(), 3) : 0, ' ');
    padded += std::string(line) + "\r\n";
  }
  struct Case {
    const char* what;
    std::string file;
    std::string layer;  // "": refused with "3DFACE データがありません"
    std::vector<Vec3> positions;
  };
  const Case cases[] = {
      {"CR LF", crlf, "A", {kA, kB, kC}},
      {"padded codes", padded, "A", {kA, kB, kC}},
      {"empty layer", entities("0\n3DFACE\n8\n\n" + c0 + c1 + c2), "no_name", {kA, kB, kC}},
      {"long layer",
       entities("0\n3DFACE\n8\n" + std::string(70, 'x') + "\n" + c0 + c1 + c2),
       std::string(63, 'x'),
       {kA, kB, kC}},
      {"no layer line: layer 0", entities("0\n3DFACE\n" + c0 + c1 + c2), "0", {kA, kB, kC}},
      // The layer after the coordinates, x and y before z, corners backwards: vertices are
      // numbered in the order the corners were completed (by their z).
      {"groups in any order",
       entities("0\n3DFACE\n10\n0\n11\n1\n12\n1\n20\n0\n21\n0\n22\n1\n32\n0\n31\n0\n30\n0\n8\nA\n"),
       "A",
       {kC, kB, kA}},
      {"missing groups are 0",
       entities("0\n3DFACE\n8\nA\n" + c0 + "11\n1\n22\n1\n"),
       "A",
       {kA, kB, kD}},
      {"unreadable coordinate",
       entities("0\n3DFACE\n8\nA\n" + c0 + c1 + "12\nabc\n22\n1\n"),
       "A",
       {kA, kB, kD}},
      {"code that is no number",
       entities("0\n3DFACE\n8\nA\nxx\n10\n14\n9\n" + c0 + c1 + c2),
       "A",
       {kA, kB, kC}},
      {"cut after the last value", "0\n3DFACE\n8\nA\n" + c0 + c1 + c2, "A", {kA, kB, kC}},
      {"cut before a value", "0\n3DFACE\n8\nA\n" + c0 + c1 + c2 + "13\n", "A", {kA, kB, kC}},
      {"third corner missing", entities("0\n3DFACE\n8\nA\n" + c0 + c1), "", {}},
      // Only 3DFACEs count: other sections and entities bring no parts or vertices, and
      // nothing after EOF is read.
      {"other content",
       "999\nnote\n0\nSECTION\n2\nHEADER\n9\n$EXTMIN\n10\n5\n20\n5\n30\n5\n0\nENDSEC\n"
       "0\nSECTION\n2\nTABLES\n0\nLAYER\n2\nW\n8\nW\n0\nENDSEC\n" +
           entities("0\nLINE\n8\nW\n10\n9\n20\n9\n30\n9\n0\nPOINT\n8\nP\n10\n7\n20\n7\n30\n7\n") +
           "0\n3DFACE\n8\nA\n" + c0 + c1 + c2,
       "",
       {}},
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
  const std::vector<DxfFace> fewer_layers(layers.begin(), layers.end() - 1);
  struct Case {
    const char* what;
    std::string file;
    const char* message;  // nullptr: accepted
  };
  const Case cases[] = {
      {"30000 faces", ManyFaces(30000, false), nullptr},
      {"30001 faces", ManyFaces(30001, false), "面数が30000個を超えました"},
      // Three new vertices per face: 9999 faces make 29997, the next face reaches 30000.
      {"29997 vertices", ManyFaces(9999, true), nullptr},
      {"30000 vertices", ManyFaces(10000, true), "頂点数が30000個を超えました"},
      {"255 parts", DxfFile(fewer_layers), nullptr},
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

TEST(DxfWriteTest, WritesTheExactFile) {
  auto model = test::TwoPartModel();
  model->node_name[0] = "tri";
  model->node_name[1] = "quad";
  EXPECT_EQ(FormatDxf(*model),
            "0\r\nSECTION\r\n2\r\nENTITIES\r\n"
            "0\r\n3DFACE\r\n8\r\nquad\r\n"
            "10\r\n3.000000\r\n20\r\n0.500000\r\n30\r\n-1.250000\r\n"
            "11\r\n4.000000\r\n21\r\n0.500000\r\n31\r\n-1.250000\r\n"
            "12\r\n5.000000\r\n22\r\n0.500000\r\n32\r\n-1.250000\r\n"
            "13\r\n6.000000\r\n23\r\n0.500000\r\n33\r\n-1.250000\r\n"
            "0\r\n3DFACE\r\n8\r\ntri\r\n"
            "10\r\n0.000000\r\n20\r\n0.500000\r\n30\r\n-1.250000\r\n"
            "11\r\n1.000000\r\n21\r\n0.500000\r\n31\r\n-1.250000\r\n"
            "12\r\n2.000000\r\n22\r\n0.500000\r\n32\r\n-1.250000\r\n"
            "13\r\n2.000000\r\n23\r\n0.500000\r\n33\r\n-1.250000\r\n"
            "0\r\nENDSEC\r\n0\r\nEOF\r\n");

  // Faces outside their Part, Parts not in the draw order and line breaks in names cannot be
  // written as they are.
  model->faces[0].corner[1] = 3;
  model->node_name[1] = "quad\r\nEOF";
  const std::string damaged = FormatDxf(*model);
  EXPECT_EQ(damaged.find("3DFACE\r\n8\r\ntri"), std::string::npos);
  EXPECT_NE(damaged.find("8\r\nquad__EOF\r\n"), std::string::npos);
  model->draw_order[0] = 200;
  EXPECT_EQ(FormatDxf(*model), "0\r\nSECTION\r\n2\r\nENTITIES\r\n0\r\nENDSEC\r\n0\r\nEOF\r\n");
}

TEST(DxfWriteTest, MakesPartNamesUnique) {
  const std::string long_name(63, 'n');
  struct Case {
    std::vector<std::string> names;
    std::vector<std::string> unique;
  };
  const Case cases[] = {
      {{"a", "a", "a"}, {"a", "a002", "a003"}},
      {{"body", "arm", "body", "arm"}, {"body", "arm", "body002", "arm003"}},
      {{"a", "a", "a002"}, {"a", "a003", "a002"}},  // a name already taken is passed over
      {{long_name, long_name}, {long_name, std::string(60, 'n') + "002"}},  // the counter stays
  };
  for (const Case& c : cases) {
    auto model = test::NewModel();
    AllocateParts(*model, static_cast<int>(c.names.size()));
    for (size_t p = 0; p < c.names.size(); ++p) model->node_name[p] = c.names[p];
    MakePartNamesUnique(*model);
    for (size_t p = 0; p < c.names.size(); ++p) EXPECT_EQ(model->node_name[p], c.unique[p]);
  }
}

}  // namespace
}  // namespace vorna
