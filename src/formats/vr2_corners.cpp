#include "formats/vr2_corners.h"

namespace vorna {

namespace {

void AdjustSeam(std::array<float, 4>& values, int corners) {
  bool low = false, high = false;
  for (int k = 0; k < corners; ++k) {
    low = low || values[k] < 0.3f;
    high = high || values[k] > 0.7f;
  }
  if (!(low && high)) return;
  for (int k = 0; k < corners; ++k) {
    if (values[k] < 0.3f) values[k] += 1.0f;
  }
}

}  // namespace

std::vector<CornerCoordinates> ComputeCornerCoordinates(const Model& model) {
  std::vector<CornerCoordinates> result(model.faces.size());
  for (int p = 0; p < model.parts_count; ++p) {
    const uint32_t first_vertex = model.parts[p].first_vertex;
    for (uint32_t f = model.parts[p].first_face; f < model.parts[p + 1].first_face; ++f) {
      const Face& face = model.faces[f];
      const int corners = face.IsTriangle() ? 3 : 4;
      CornerCoordinates& c = result[f];
      for (int k = 0; k < corners; ++k) {
        const size_t vertex = first_vertex + face.corner[k];
        c.u[k] = model.tex_u[vertex];
        c.v[k] = model.tex_v[vertex];
      }
      AdjustSeam(c.u, corners);
      AdjustSeam(c.v, corners);
    }
  }
  return result;
}

void StoreCornerCoordinates(Model& model, const std::vector<CornerCoordinates>& corners) {
  for (int p = 0; p < model.parts_count; ++p) {
    const uint32_t first_vertex = model.parts[p].first_vertex;
    const uint32_t vertex_count = model.PartVertexCount(p);
    for (uint32_t f = model.parts[p].first_face;
         f < model.parts[p + 1].first_face && f < corners.size(); ++f) {
      const Face& face = model.faces[f];
      const int count = face.IsTriangle() ? 3 : 4;
      for (int k = 0; k < count; ++k) {
        if (face.corner[k] >= vertex_count) continue;
        const size_t vertex = first_vertex + face.corner[k];
        if (corners[f].u[k] <= 1.0f) model.tex_u[vertex] = corners[f].u[k];
        if (corners[f].v[k] <= 1.0f) model.tex_v[vertex] = corners[f].v[k];
      }
    }
  }
}

}  // namespace vorna
