#include "formats/x_import.h"

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <string_view>
#include <vector>

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
