// Documents built through the codec's API, shared by the .x tests and the fuzz seed writer:
// a skinned, animated, textured mesh using every standard template the importer and the
// exporter need, and a file of custom templates exercising the type system's corners.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "formats/xfile/document.h"
#include "formats/xfile/reader.h"
#include "formats/xfile/writer.h"
#include "support/test_support.h"

namespace vorna::xfile::samples {

inline DataObject& Add(Document& d, const char* type, const char* name = "",
                       DataObject* parent = nullptr) {
  DataObject* o = d.AddObject(type, name, parent);
  if (o == nullptr) std::abort();
  return *o;
}

inline void AddIdentity(DataObject& o) {
  for (int i = 0; i < 16; ++i) o.AddNumber(i % 5 == 0 ? 1.0 : 0.0);
}

// The templates a skinned, animated export declares, dependencies first.
inline std::vector<std::string> SkinnedTemplates() {
  return test::Words(
      "Header Vector Coords2d Matrix4x4 ColorRGBA ColorRGB IndexedColor TextureFilename Material "
      "MeshFace MeshMaterialList MeshTextureCoords MeshNormals MeshVertexColors Mesh "
      "FrameTransformMatrix Frame FloatKeys TimedFloatKeys AnimationKey AnimationOptions Animation "
      "AnimationSet AnimTicksPerSecond VertexDuplicationIndices XSkinMeshHeader SkinWeights");
}

// Header; AnimTicksPerSecond; Material "Red"; Frame "Root" { matrix, Mesh "Body" { a quad and a
// triangle over five vertices, normals, UVs, colours, duplication indices, a material list with
// a reference to Red (the triangle's) and an inline textured material (the quad's), skin header,
// two SkinWeights },
// Frame "Arm" }; AnimationSet "Walk" { Animation { {Arm}, options, keys of types 0, 1, 2, 4 } }.
inline Document SkinnedDocument() {
  Document d;
  DataObject& header = Add(d, "Header");
  for (double v : {1.0, 0.0, 1.0}) header.AddNumber(v);
  Add(d, "AnimTicksPerSecond").AddNumber(4800);
  DataObject& red = Add(d, "Material", "Red");
  for (double v : {1.0, 0.0, 0.0, 1.0, 8.0, 0.5, 0.5, 0.5, 0.0, 0.0, 0.0}) red.AddNumber(v);

  DataObject& root = Add(d, "Frame", "Root");
  DataObject& root_matrix = Add(d, "FrameTransformMatrix", "", &root);
  AddIdentity(root_matrix);
  DataObject& mesh = Add(d, "Mesh", "Body", &root);
  const std::vector<float> positions = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, -0.5f, 0.5f, 2.25f};
  mesh.AddNumber(5);
  mesh.AddNumbers(positions);
  mesh.AddNumber(2);
  for (std::uint32_t v : {4u, 0u, 1u, 2u, 3u, 3u, 0u, 3u, 4u}) mesh.AddNumber(v);

  DataObject& normals = Add(d, "MeshNormals", "", &mesh);
  normals.AddNumber(2);
  for (double v : {0.0, 0.0, 1.0, 0.0, 0.0, -1.0}) normals.AddNumber(v);
  normals.AddNumber(2);
  for (std::uint32_t v : {4u, 0u, 0u, 0u, 0u, 3u, 1u, 1u, 1u}) normals.AddNumber(v);

  DataObject& uvs = Add(d, "MeshTextureCoords", "", &mesh);
  uvs.AddNumber(5);
  for (double v : {0.0, 1.0, 1.0, 1.0, 1.0, 0.0, 0.0, 0.0, 0.5, 0.25}) uvs.AddNumber(v);

  DataObject& colours = Add(d, "MeshVertexColors", "", &mesh);
  colours.AddNumber(5);
  for (int i = 0; i < 5; ++i) {
    for (double v : {static_cast<double>(i), 1.0, 0.25 * i, 0.0, 1.0}) colours.AddNumber(v);
  }

  DataObject& duplicates = Add(d, "VertexDuplicationIndices", "", &mesh);
  for (std::uint32_t v : {5u, 4u, 0u, 1u, 2u, 3u, 0u}) duplicates.AddNumber(v);

  // Assimp maps a referenced material correctly only before the inline ones of the same list.
  DataObject& list = Add(d, "MeshMaterialList", "", &mesh);
  for (std::uint32_t v : {2u, 2u, 1u, 0u}) list.AddNumber(v);
  list.AddReference(red);
  DataObject& skin_material = Add(d, "Material", "Skin", &list);
  for (double v : {0.8, 0.7, 0.6, 1.0, 0.0, 0.0, 0.0, 0.0, 0.1, 0.1, 0.1}) {
    skin_material.AddNumber(v);
  }
  Add(d, "TextureFilename", "", &skin_material).AddString("textures/skin 01.png");

  DataObject& skin = Add(d, "XSkinMeshHeader", "", &mesh);
  for (double v : {2.0, 3.0, 2.0}) skin.AddNumber(v);
  DataObject& weights_root = Add(d, "SkinWeights", "", &mesh);
  weights_root.AddString("Root");
  for (double v : {3.0, 0.0, 1.0, 2.0, 1.0, 0.75, 0.5}) weights_root.AddNumber(v);
  AddIdentity(weights_root);
  DataObject& weights_arm = Add(d, "SkinWeights", "", &mesh);
  weights_arm.AddString("Arm");
  for (double v : {2.0, 1.0, 2.0, 0.25, 0.5}) weights_arm.AddNumber(v);
  for (int i = 0; i < 16; ++i) weights_arm.AddNumber(i == 13 ? -1.5 : (i % 5 == 0 ? 1.0 : 0.0));

  DataObject& arm = Add(d, "Frame", "Arm", &root);
  DataObject& arm_matrix = Add(d, "FrameTransformMatrix", "", &arm);
  for (int i = 0; i < 16; ++i) arm_matrix.AddNumber(i == 13 ? 1.5 : (i % 5 == 0 ? 1.0 : 0.0));

  DataObject& set = Add(d, "AnimationSet", "Walk");
  DataObject& animation = Add(d, "Animation", "", &set);
  animation.AddReference(arm);
  DataObject& options = Add(d, "AnimationOptions", "", &animation);
  options.AddNumber(1);
  options.AddNumber(0);
  struct KeySet {
    std::uint32_t type;
    std::vector<double> first, second;
  };
  const KeySet keys[] = {{0, {1, 0, 0, 0}, {0.8f, 0, 0.6f, 0}},
                         {1, {1, 1, 1}, {2, 2, 2}},
                         {2, {0, 1.5, 0}, {0, 2.5, 0}},
                         {4, std::vector<double>(16, 0.0), std::vector<double>(16, 1.0)}};
  for (const KeySet& k : keys) {
    DataObject& key = Add(d, "AnimationKey", "", &animation);
    key.AddNumber(k.type);
    key.AddNumber(2);
    for (int t = 0; t < 2; ++t) {
      const std::vector<double>& values = t == 0 ? k.first : k.second;
      key.AddNumber(t * 160);
      key.AddNumber(static_cast<double>(values.size()));
      key.AddNumbers(values);
    }
  }
  return d;
}

// Custom templates: two-dimensional arrays sized by members, string arrays, signed and small
// integer types, a variable-size structure inside another, an open and a restricted template;
// objects with GUIDs and references by GUID and by name.
inline constexpr const char* kCustomTemplates = R"(xof 0303txt 0032
template Tag {
 <01234567-89AB-CDEF-0123-456789ABCDEF>
 STRING key;
 array STRING values[2];
}
template Grid {
 <11111111-2222-3333-4444-555555555555>
 WORD rows;
 DWORD columns;
 array SWORD cells[rows][columns];
 SDWORD offset;
 CHAR sign;
 UCHAR level;
 DOUBLE scale;
 array Tag tags[rows];
 [Tag <01234567-89AB-CDEF-0123-456789ABCDEF>, Grid]
}
template Polyline {
 <AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE>
 DWORD nFaces;
 array MeshFace faces[nFaces];
 MeshFace closing;
 [...]
}
)";

inline Document CustomDocument() {
  Document d;
  if (!ReadTemplates(kCustomTemplates, d.templates()).ok()) std::abort();
  DataObject& tag = Add(d, "Tag", "FirstTag");
  tag.SetGuid(*Guid::Parse("0F0E0D0C-0B0A-0908-0706-050403020100"));
  tag.AddString("colour");
  tag.AddString("red");
  tag.AddString("");
  DataObject& grid = Add(d, "Grid", "Cells");
  grid.AddNumber(2);
  grid.AddNumber(3);
  for (double v : {-1.0, 2.0, -32768.0, 32767.0, 0.0, 5.0}) grid.AddNumber(v);
  grid.AddNumber(-70000);
  grid.AddNumber(-5);
  grid.AddNumber(200);
  grid.AddNumber(0.1);
  for (const char* s : {"a", "b;c", "d", "e", "f", "{g}"}) grid.AddString(s);
  grid.AddReference(tag);
  DataObject& nested = Add(d, "Grid", "Inner", &grid);
  for (double v : {0.0, 7.0, 1.0, -2.0, 3.0, 2.5}) nested.AddNumber(v);
  DataObject& line = Add(d, "Polyline", "Line");
  for (double v : {2.0, 3.0, 0.0, 1.0, 2.0, 1.0, 9.0, 2.0, 4.0, 5.0}) line.AddNumber(v);
  Add(d, "Polyline", "", &line).AddNumbers(std::vector<double>{0.0, 0.0});
  line.AddReference(grid);
  return d;
}

inline std::vector<std::string> CustomTemplates() {
  return {"MeshFace", "Tag", "Grid", "Polyline"};
}

// Both documents written in every encoding with the templates they use declared, named
// "<document>_<encoding>" ("skinned_txt", "custom_bzip", ...).
struct EncodedSample {
  std::string name;
  Encoding encoding;
  std::string bytes;
};

inline std::vector<EncodedSample> EncodedSamples() {
  const std::pair<const char*, Encoding> encodings[] = {{"txt", Encoding::kText},
                                                        {"bin", Encoding::kBinary},
                                                        {"bzip", Encoding::kCompressedBinary},
                                                        {"tzip", Encoding::kCompressedText}};
  std::vector<EncodedSample> out;
  for (bool skinned : {true, false}) {
    for (const auto& [suffix, encoding] : encodings) {
      WriteOptions options;
      options.encoding = encoding;
      options.declare = skinned ? SkinnedTemplates() : CustomTemplates();
      WriteResult w = Write(skinned ? SkinnedDocument() : CustomDocument(), options);
      if (!w.ok()) std::abort();
      out.push_back({std::string(skinned ? "skinned_" : "custom_") + suffix, encoding, w.bytes});
    }
  }
  return out;
}

}  // namespace vorna::xfile::samples
