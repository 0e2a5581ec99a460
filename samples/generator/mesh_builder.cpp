#include "samples/generator/mesh_builder.h"

#include <cmath>
#include <utility>

namespace vorna {

uint32_t SampleMesh::AddVertex(Vec3 p, Vec3 n, Vec2 uv) {
  positions.push_back(p);
  normals.push_back(n);
  uvs.push_back(uv);
  return static_cast<uint32_t>(positions.size() - 1);
}

void SampleMesh::AddFace(std::vector<uint32_t> corners, Vec3 outside) {
  const Vec3 p0 = positions[corners[0]];
  const Vec3 normal = Cross(positions[corners[1]] - p0, positions[corners[2]] - p0);
  if (Dot(normal, outside) < 0) std::swap(corners[1], corners[corners.size() - 1]);
  Face face;
  for (size_t k = 0; k < corners.size(); ++k) face.corner[k] = corners[k];
  faces.push_back(face);
}

void SampleMesh::AddBox(Vec3 low, Vec3 high) {
  const Vec3 centre = (low + high) * 0.5f;
  const Vec3 half = (high - low) * 0.5f;
  for (int axis = 0; axis < 3; ++axis) {
    for (int sign = -1; sign <= 1; sign += 2) {
      Vec3 n;
      n[axis] = static_cast<float>(sign);
      const int a = (axis + 1) % 3, b = (axis + 2) % 3;
      std::vector<uint32_t> corners;
      const float corner_signs[4][2] = {{-1, -1}, {-1, 1}, {1, 1}, {1, -1}};
      for (const auto& s : corner_signs) {
        Vec3 p = centre;
        p[axis] += sign * half[axis];
        p[a] += s[0] * half[a];
        p[b] += s[1] * half[b];
        corners.push_back(AddVertex(p, n, Vec2{(s[0] + 1) / 2, (1 - s[1]) / 2}));
      }
      AddFace(corners, n);
    }
  }
}

void SampleMesh::AddSphere(Vec3 centre, float radius, int segments, int rings) {
  const uint32_t top = AddVertex(centre + Vec3{0, radius, 0}, {0, 1, 0}, {0.5f, 0});
  std::vector<std::vector<uint32_t>> ring_vertices;
  for (int r = 1; r < rings; ++r) {
    const float theta = kPi * static_cast<float>(r) / static_cast<float>(rings);
    std::vector<uint32_t> ring;
    for (int s = 0; s < segments; ++s) {
      const float phi = 2 * kPi * static_cast<float>(s) / static_cast<float>(segments);
      const Vec3 n{std::sin(theta) * std::cos(phi), std::cos(theta),
                   std::sin(theta) * std::sin(phi)};
      ring.push_back(AddVertex(centre + n * radius, n,
                               {static_cast<float>(s) / static_cast<float>(segments),
                                static_cast<float>(r) / static_cast<float>(rings)}));
    }
    ring_vertices.push_back(ring);
  }
  const uint32_t bottom = AddVertex(centre - Vec3{0, radius, 0}, {0, -1, 0}, {0.5f, 1});
  auto outside = [&](const std::vector<uint32_t>& corners) {
    Vec3 sum;
    for (uint32_t c : corners) sum = sum + positions[c];
    return sum * (1.0f / static_cast<float>(corners.size())) - centre;
  };
  for (int s = 0; s < segments; ++s) {
    const int t = (s + 1) % segments;
    std::vector<uint32_t> cap = {top, ring_vertices.front()[s], ring_vertices.front()[t]};
    AddFace(cap, outside(cap));
    for (size_t r = 0; r + 1 < ring_vertices.size(); ++r) {
      std::vector<uint32_t> quad = {ring_vertices[r][s], ring_vertices[r + 1][s],
                                    ring_vertices[r + 1][t], ring_vertices[r][t]};
      AddFace(quad, outside(quad));
    }
    std::vector<uint32_t> base = {bottom, ring_vertices.back()[t], ring_vertices.back()[s]};
    AddFace(base, outside(base));
  }
}

void StoreMeshes(Model& model, const std::vector<const SampleMesh*>& meshes) {
  const int parts_count = static_cast<int>(meshes.size());
  AllocateParts(model, parts_count);
  size_t total_vertices = 0, total_faces = 0;
  for (const SampleMesh* mesh : meshes) {
    total_vertices += mesh->positions.size();
    total_faces += mesh->faces.size();
  }
  AllocateVertices(model, static_cast<int>(total_vertices));
  AllocateFaces(model, static_cast<int>(total_faces));
  uint32_t vertex = 0, face = 0;
  for (int p = 0; p < parts_count; ++p) {
    const SampleMesh& mesh = *meshes[p];
    model.parts[p].first_vertex = vertex;
    model.parts[p].first_face = face;
    for (size_t v = 0; v < mesh.positions.size(); ++v, ++vertex) {
      model.positions[vertex] = mesh.positions[v];
      model.normals[vertex] = mesh.normals[v];
      model.tex_u[vertex] = mesh.uvs[v].x;
      model.tex_v[vertex] = mesh.uvs[v].y;
    }
    for (const Face& f : mesh.faces) model.faces[face++] = f;
  }
  model.parts[parts_count].first_vertex = vertex;
  model.parts[parts_count].first_face = face;
}

void SetSampleUnit(Model& model, int unit, const std::string& name, int parent_unit,
                   uint32_t basis_type, Vec3 pivot, std::array<int32_t, 3> axis_angle) {
  Unit& record = model.units[unit];
  record.basis_type = basis_type;
  record.basis_position = pivot;
  record.axis_angle = axis_angle;
  record.tree_expanded = 2;
  DeriveAxis(model, unit);
  model.node_name[model.parts_count + unit] = name;
  model.parent[model.parts_count + unit] = parent_unit < 0 ? -1 : model.parts_count + parent_unit;
}

}  // namespace vorna
