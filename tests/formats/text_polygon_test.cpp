#include "formats/text_polygon.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/model_fixtures.h"
#include "support/test_support.h"

namespace vorna {
namespace {

// Elements laid out the way the exporting tool writes them: one per line, indented.
std::string Vertex(const char* xyz) {
  return std::string("  <vertex>\n    <position vec3=\"") + xyz + "\"/>\n  </vertex>\n";
}
std::string FaceLines(const std::vector<int>& corners, const std::vector<const char*>& uvs = {}) {
  std::string out = "  <face>\n";
  for (size_t k = 0; k < std::max(corners.size(), uvs.size()); ++k) {
    if (k < corners.size()) {
      out += "    <vertex_number int=\"" + std::to_string(corners[k]) + "\"/>\n";
    }
    if (k < uvs.size()) out += std::string("    <uv vec3=\"") + uvs[k] + "\"/>\n";
  }
  return out + "  </face>\n";
}
std::string Mesh(const std::string& name_line, const std::string& body) {
  return "<polygon_mesh>\n" + name_line + body + "</polygon_mesh>\n";
}
std::string Named(const std::string& name) { return "  <string string=\"" + name + "\"/>\n"; }

// A face of two corners is no face, and the mesh's colour is the Part's in light and shade
// alike. Fans around a face's centre and its texture coordinates are two_meshes_from_txt.vrn's.
TEST(TextPolygonTest, ShortFacesAreLeftOutAndTheColourIsAmbientToo) {
  const std::string file = Mesh(Named("tri") + "  <rgb rgb=\"0.5 0.25 1\"/>\n",
                                Vertex("0 0 0") + Vertex("2 0 0") + Vertex("3 2 0") +
                                    FaceLines({0, 1, 2}) + FaceLines({1, 2}));
  auto model = test::NewModel();
  ScriptedHost host;
  ASSERT_TRUE(ParseTextPolygon(*model, file, host));
  EXPECT_EQ(model->faces, (std::vector<Face>{{{0, 1, 2, kNoCorner}}}));
  const Material& material = model->parts[0].material;
  for (const auto& colour : {material.diffuse, material.ambient}) {
    EXPECT_EQ((std::array{colour.r, colour.g, colour.b}), (std::array{0.5f, 0.25f, 1.0f}));
  }
}

TEST(TextPolygonTest, LimitsAndRefusals) {
  const auto corners = [](int n, int value) { return std::vector<int>(n, value); };
  const std::string triangle = Mesh("", Vertex("0 0 0") + FaceLines({0, 0, 0}));
  std::string meshes_255;
  for (int m = 0; m < 255; ++m) meshes_255 += triangle;
  struct Case {
    const char* what;
    std::string file;
    const char* message;
  };
  const Case cases[] = {
      {"4095 corners", Mesh("", Vertex("0 0 0") + FaceLines(corners(4095, 0))),
       "１面当たりの頂点数が4096個を超えました"},
      {"256 meshes", meshes_255 + triangle, "パーツ数が256個を超えました"},
      {"empty file", "", nullptr},
      {"mesh never closed", "<polygon_mesh>\n" + Vertex("0 0 0") + FaceLines({0, 0, 0}), nullptr},
      {"corner past the vertices", Mesh("", Vertex("0 0 0") + FaceLines({0, 0, 1})), nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto model = test::NewModel();
    ScriptedHost host;
    EXPECT_FALSE(ParseTextPolygon(*model, c.file, host));
    EXPECT_EQ(host.Texts(),
              c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
    EXPECT_TRUE(model->positions.empty());
  }
}

}  // namespace
}  // namespace vorna
