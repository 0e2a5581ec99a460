// Our DXF files as another DXF reader (ezdxf) sees them, and third-party DXF files as we read them
// compared with what ezdxf reads from the same files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "formats/dxf.h"
#include "support/model_fixtures.h"
#include "support/test_support.h"

namespace vorna {
namespace {

namespace fs = std::filesystem;

struct EzdxfFace {
  std::string layer;
  std::vector<double> coordinates;  // x, y, z of corners 0 to 3
};

struct EzdxfRun {
  std::string layer;
  int faces = 0;
  int positions = 0;
};

struct EzdxfReading {
  bool ok = false;
  std::vector<EzdxfFace> faces;
  std::vector<EzdxfRun> runs;
};

// The system interpreter carries ezdxf; a user's own python3 earlier on PATH may not.
std::string Python() {
  for (const char* candidate : {"/usr/bin/python3", "/usr/local/bin/python3"}) {
    if (fs::exists(candidate)) return candidate;
  }
  return "python3";
}

bool HaveEzdxf() {
  const std::string command = Python() + " -c 'import ezdxf' >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream stream(line);
  std::string field;
  while (std::getline(stream, field, '\t')) fields.push_back(field);
  return fields;
}

EzdxfReading ReadWithEzdxf(const std::string& path, bool strict) {
  const std::string command = Python() + " '" VORNA_SOURCE_DIR "/tests/interop/dxf_faces.py' '" +
                              path + "'" + (strict ? " strict" : "") + " 2>/dev/null";
  EzdxfReading reading;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return reading;
  std::string output;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  reading.ok = ::pclose(pipe) == 0;
  std::stringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    const std::vector<std::string> fields = SplitTabs(line);
    if (fields.size() == 14 && fields[0] == "F") {
      EzdxfFace face{fields[1], {}};
      for (size_t k = 2; k < fields.size(); ++k) face.coordinates.push_back(std::stod(fields[k]));
      reading.faces.push_back(face);
    } else if (fields.size() == 4 && fields[0] == "P") {
      reading.runs.push_back({fields[1], std::stoi(fields[2]), std::stoi(fields[3])});
    }
  }
  return reading;
}

class DxfInteropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveEzdxf()) GTEST_SKIP() << "ezdxf (python3-ezdxf) is not installed";
  }
};

TEST_F(DxfInteropTest, EzdxfReadsOurFiles) {
  auto model = test::NewModel();
  AllocateParts(*model, 3);
  AllocateVertices(*model, 10);
  AllocateFaces(*model, 3);
  model->parts[1] = Part{.first_vertex = 3, .first_face = 1};
  model->parts[2] = Part{.first_vertex = 7, .first_face = 2};
  model->parts[3] = Part{.first_vertex = 10, .first_face = 3};
  model->positions = {{0, 0, 0},           {1.5f, 0, 0},      {0.5f, 1, -0.25f}, {0, 0, 1},
                      {1, 0, 1},           {1, 1, 1},         {0, 1.5f, 1},      {-3, 2, 1e-6f},
                      {123456.789f, 2, 3}, {-0.000001f, 0, 7}};
  model->faces = {Face{{0, 1, 2, kNoCorner}}, Face{{0, 1, 2, 3}}, Face{{0, 1, 2, kNoCorner}}};
  model->node_name[0] = "body";
  model->node_name[1] = "arm";
  model->node_name[2] = "body";
  test::TempDir dir;
  ScriptedHost host;
  const std::string path = dir.File("ours.dxf");
  ASSERT_TRUE(ExportDxf(*model, path, host));

  const EzdxfReading reading = ReadWithEzdxf(path, true);
  ASSERT_TRUE(reading.ok) << "ezdxf refused our file";
  ASSERT_EQ(reading.faces.size(), 3u);
  const char* layers[] = {"body", "arm", "body002"};
  for (int p = 0; p < 3; ++p) {
    SCOPED_TRACE(p);
    const EzdxfFace& read = reading.faces[p];
    EXPECT_EQ(read.layer, layers[p]);
    const Face& face = model->faces[p];
    for (int c = 0; c < 4; ++c) {
      const uint32_t index = face.IsTriangle() && c == 3 ? face.corner[2] : face.corner[c];
      const Vec3 expected = model->positions[model->parts[p].first_vertex + index];
      for (int axis = 0; axis < 3; ++axis) {
        // "%f" keeps six decimals.
        EXPECT_NEAR(read.coordinates[c * 3 + axis], expected[axis], 5.01e-7) << c << " " << axis;
      }
    }
  }
}

TEST_F(DxfInteropTest, WeReadThirdPartyFilesAsEzdxfDoes) {
  const std::string folder = VORNA_THIRD_PARTY_DIR;
  if (folder.empty() || !fs::is_directory(folder + "/dxf")) {
    GTEST_SKIP() << "third-party sample files not present (VORNA_TESTDATA_DIR)";
  }
  int files = 0;
  bool saw_pink_egg = false;
  for (const auto& entry : fs::directory_iterator(folder + "/dxf")) {
    if (entry.path().extension() != ".dxf") continue;
    const std::string path = entry.path().string();
    SCOPED_TRACE(path);
    ++files;
    saw_pink_egg |= entry.path().filename() == "PinkEggFromLW.dxf";
    const EzdxfReading reading = ReadWithEzdxf(path, false);
    ASSERT_TRUE(reading.ok);
    auto model = test::NewModel();
    ScriptedHost host;
    std::string error;
    const bool ok = ImportDxf(*model, path, host, ReadOptions{}, &error);
    if (reading.faces.empty()) {
      EXPECT_FALSE(ok);
      EXPECT_EQ(host.Texts(), std::vector<std::string>{"3DFACE データがありません"});
      continue;
    }
    ASSERT_TRUE(ok) << error;
    EXPECT_TRUE(host.entries.empty());
    ASSERT_EQ(model->parts_count, static_cast<int>(reading.runs.size()));
    ASSERT_EQ(model->total_face_count, static_cast<int>(reading.faces.size()));
    for (int p = 0; p < model->parts_count; ++p) {
      EXPECT_EQ(model->node_name[p], reading.runs[p].layer);
      EXPECT_EQ(model->PartFaceCount(p), static_cast<uint32_t>(reading.runs[p].faces));
      EXPECT_EQ(model->PartVertexCount(p), static_cast<uint32_t>(reading.runs[p].positions));
    }
    int part = 0;
    for (size_t f = 0; f < reading.faces.size(); ++f) {
      while (model->parts[part + 1].first_face <= f) ++part;
      const Face& face = model->faces[f];
      for (int c = 0; c < 4; ++c) {
        const uint32_t index = face.IsTriangle() && c == 3 ? face.corner[2] : face.corner[c];
        const Vec3 p = model->positions[model->parts[part].first_vertex + index];
        for (int axis = 0; axis < 3; ++axis) {
          EXPECT_EQ(p[axis], static_cast<float>(reading.faces[f].coordinates[c * 3 + axis]))
              << "face " << f << " corner " << c;
        }
      }
    }
  }
  EXPECT_GT(files, 0);
  EXPECT_TRUE(saw_pink_egg);
}

}  // namespace
}  // namespace vorna
