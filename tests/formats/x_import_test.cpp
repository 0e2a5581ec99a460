#include "formats/x_import.h"

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/tagged_text.h"
#include "support/model_fixtures.h"
#include "support/test_support.h"

namespace vorna {
namespace {

bool Parse(Model& model, std::string_view text, Host& host, ReadError* error = nullptr) {
  ReadOptions options;
  options.load_textures = false;
  return ParseX(
      model, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()),
      "", host, options, error);
}

// Two frames around a quad and a triangle with their own normal indices and two materials (one
// by reference), and a loose triangle with no normals and no material list.
constexpr std::string_view kFramed = R"(xof 0303txt 0032
Material Red { 1.0;0.0;0.0;1.0;; 5.0; 1.0;1.0;1.0;; 0.0;0.0;0.0;; TextureFilename { "red.png"; } }
Frame Root {
  FrameTransformMatrix { 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, 1.0,2.0,3.0,1.0;; }
  Frame Arm {
    FrameTransformMatrix { 2.0,0.0,0.0,0.0, 0.0,2.0,0.0,0.0, 0.0,0.0,2.0,0.0, 0.0,0.0,0.0,1.0;; }
    Mesh Quad {
      4; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 1.0;1.0;0.0;, 0.0;1.0;0.0;;
      2; 4;0,1,2,3;, 3;0,2,3;;
      MeshNormals { 2; 0.0;0.0;1.0;, 0.0;0.0;-1.0;; 2; 4;0,0,0,0;, 3;1,1,1;; }
      MeshVertexColors { 1; 0;1.0;0.0;0.0;1.0;;; }
      MeshTextureCoords { 4; 0.0;0.0;, 1.0;0.0;, 1.0;1.0;, 0.0;1.0;; }
      MeshMaterialList { 2; 2; 0, 1;;
        { Red }
        Material { 0.0;0.0;1.0;0.5;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }
      }
    }
  }
}
Mesh Loose { 3; 0.0;0.0;0.0;, 0.0;1.0;0.0;, 0.0;0.0;1.0;; 1; 3;0,1,2;; }
)";

// The model read, saved as VRN text and checked by hand: the quad fanned into two triangles over
// four vertices with its first normal, moved by both frames (scaled by 2 inside, then shifted by
// (1, 2, 3)), red with power 5 and "red.png"; the triangle sharing positions with the quad but
// with another normal and material, so with three vertices of its own; the loose mesh with the
// default material and computed normals; no Units.
TEST(XImportTest, FramedMeshesBecomeOnePartPerMaterial) {
  auto model = test::NewModel();
  ScriptedHost host;
  ReadError error;
  ASSERT_TRUE(Parse(*model, kFramed, host, &error)) << error.Describe();
  EXPECT_EQ(model->parts[0].material.ambient, model->parts[0].material.diffuse);
  EXPECT_EQ(test::ReferenceFileDifference(FormatTaggedText(*model, {}, TextVariant::kVrn),
                                          "formats/framed_x.vrn"),
            "");
}

std::string ManyMaterials(int count) {
  std::string text = "xof 0303txt 0032\nMesh { 3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;;\n";
  text += "1; 3;0,1,2;; MeshMaterialList { " + std::to_string(count) + "; 1; 0;;\n";
  for (int i = 0; i < count; ++i) {
    text += "Material { 1.0;1.0;1.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }\n";
  }
  return text + "} }\n";
}

TEST(XImportTest, RefusesBadFilesCleanly) {
  const std::string triangle =
      "xof 0303txt 0032\nMesh { 3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;;\n";
  struct Case {
    const char* what;
    std::string text;
    ReadErrorKind kind;
    bool message;
  };
  const Case cases[] = {
      {"not an .x file", "hello", ReadErrorKind::kNotThisFormat, false},
      {"no mesh", "xof 0303txt 0032\nHeader { 1; 0; 1; }\n", ReadErrorKind::kInvalidModel, false},
      {"vertex index outside the mesh", triangle + "1; 3;0,1,3;; }\n", ReadErrorKind::kBadData,
       false},
      {"material index outside the list",
       triangle + "1; 3;0,1,2;; MeshMaterialList { 1; 1; 1;;"
                  " Material { 1.0;1.0;1.0;1.0;; 0.0; "
                  "0.0;0.0;0.0;; 0.0;0.0;0.0;; } } }\n",
       ReadErrorKind::kBadData, false},
      {"256 materials", ManyMaterials(256), ReadErrorKind::kLimit, true},
      {"a syntax error", triangle + "1; 3;0,1,2;; ] }\n", ReadErrorKind::kSyntax, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto model = test::NewModel();
    ScriptedHost host;
    ReadError error;
    EXPECT_FALSE(Parse(*model, c.text, host, &error));
    EXPECT_EQ(error.kind, c.kind) << error.Describe();
    EXPECT_EQ(model->parts_count, 0);
    EXPECT_TRUE(model->positions.empty());
    if (c.message) {
      EXPECT_EQ(host.Texts(), std::vector<std::string>{"パーツ数が256個を超えました"});
    } else {
      EXPECT_TRUE(host.Texts().empty());
    }
  }
}

}  // namespace
}  // namespace vorna
