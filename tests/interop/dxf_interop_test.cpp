// Third-party DXF files as we read them compared with what another DXF reader (ezdxf) reads from
// the same files. Both sides describe the faces in the lines of tests/interop/dxf_faces.py.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "formats/dxf.h"
#include "formats/text_io.h"
#include "model/part_range.h"
#include "support/model_fixtures.h"
#include "support/test_support.h"

namespace vorna {
namespace {

namespace fs = std::filesystem;

// The system interpreter carries ezdxf; a python3 of the user's own earlier on PATH may not.
std::string Python() { return fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3"; }

// ezdxf's lines for `path`, or nothing when it could not read the file.
std::optional<std::vector<std::string>> EzdxfLines(const std::string& path) {
  const std::string command =
      Python() + " '" VORNA_SOURCE_DIR "/tests/interop/dxf_faces.py' '" + path + "' 2>/dev/null";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string output;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  if (::pclose(pipe) != 0) return std::nullopt;
  std::vector<std::string> lines;
  std::stringstream stream(output);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

// The same lines for the Model: its faces (a triangle repeating its third corner) and its Parts.
std::vector<std::string> ModelLines(const Model& model) {
  std::vector<std::string> faces, parts;
  for (int p = 0; p < model.parts_count; ++p) {
    const IndexRange vertices = PartVertexRange(model, p);
    const IndexRange range = PartFaceRange(model, p);
    for (uint32_t f = range.begin; f < range.end; ++f) {
      std::string line = "F\t" + model.node_name[p];
      const Face& face = model.faces[f];
      for (int c = 0; c < 4; ++c) {
        const uint32_t index = face.IsTriangle() && c == 3 ? face.corner[2] : face.corner[c];
        for (int axis = 0; axis < 3; ++axis) {
          line += '\t';
          AppendFloat(line, model.positions[vertices.begin + index][axis]);
        }
      }
      faces.push_back(line);
    }
    parts.push_back("P\t" + model.node_name[p] + "\t" + std::to_string(range.size()) + "\t" +
                    std::to_string(vertices.size()));
  }
  faces.insert(faces.end(), parts.begin(), parts.end());
  return faces;
}

class DxfInteropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system((Python() + " -c 'import ezdxf' >/dev/null 2>&1").c_str()) != 0) {
      GTEST_SKIP() << "ezdxf (python3-ezdxf) is not installed";
    }
  }
};

TEST_F(DxfInteropTest, WeReadThirdPartyFilesAsEzdxfDoes) {
  const std::string folder = std::string(VORNA_THIRD_PARTY_DIR) + "/dxf";
  if (std::string(VORNA_THIRD_PARTY_DIR).empty() || !fs::is_directory(folder)) {
    GTEST_SKIP() << "third-party sample files not present (VORNA_TESTDATA_DIR)";
  }
  bool saw_pink_egg = false;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() != ".dxf") continue;
    SCOPED_TRACE(entry.path().string());
    saw_pink_egg |= entry.path().filename() == "PinkEggFromLW.dxf";
    const auto lines = EzdxfLines(entry.path().string());
    ASSERT_TRUE(lines.has_value());
    auto model = test::NewModel();
    ScriptedHost host;
    ReadError error;
    const bool ok = ImportDxf(*model, entry.path().string(), host, ReadOptions{}, &error);
    if (lines->empty()) {  // no 3DFACE in the file
      EXPECT_FALSE(ok);
      EXPECT_EQ(host.Texts(), std::vector<std::string>{"3DFACE データがありません"});
      continue;
    }
    ASSERT_TRUE(ok) << error.Describe();
    EXPECT_TRUE(host.entries.empty());
    EXPECT_EQ(*lines, ModelLines(*model));
  }
  EXPECT_TRUE(saw_pink_egg);
}

}  // namespace
}  // namespace vorna
