#include "model/model_edits.h"

#include <algorithm>
#include <cassert>
#include <utility>

#include "maths/matrix.h"
#include "model/bounds.h"
#include "model/normals.h"

namespace vorna {

namespace {

Vec3 MoveThenScale(Vec3 p, Vec3 move, Vec3 scale) {
  return {(p.x + move.x) * scale.x, (p.y + move.y) * scale.y, (p.z + move.z) * scale.z};
}

int UnitLimit(const Model& model) {
  assert(model.unit_count() >= 0 && model.unit_count() <= kMaxUnits);
  return model.unit_count();
}

}  // namespace

void ApplySizeAndPosition(Model& model, Vec3 move, Vec3 scale,
                          const std::function<void(double model_size)>& scale_markers) {
  for (Vec3& p : model.positions) p = MoveThenScale(p, move, scale);
  RecomputeBounds(model);
  for (int u = 0; u < UnitLimit(model); ++u) {
    Vec3& b = model.units[u].basis_position;
    b = MoveThenScale(b, move, scale);
  }
  assert(model.motion_count >= 0 && model.motion_count <= kMaxMotions);
  const int motions = model.motion_count;
  for (int m = 0; m < motions; ++m) {
    for (int u = 0; u < UnitLimit(model); ++u) {
      Vec3& t = model.motions[m].translation[u];
      t = {t.x * scale.x, t.y * scale.y, t.z * scale.z};
    }
  }
  model.modified = 1;
  if (scale_markers) scale_markers(ModelSize(model));
}

bool OffersFit(const Model& model) { return ModelSize(model) > 1.7; }

void FitToWindow(Model& model, const std::function<void(double model_size)>& scale_markers) {
  const Vec3 move{-model.total_center.x, -model.total_center.y, -model.total_center.z};
  const float factor = static_cast<float>(1.0 / ModelSize(model));
  ApplySizeAndPosition(model, move, Vec3{factor, factor, factor}, scale_markers);
}

void RotateModelVertices(Model& model, int x_degrees, int y_degrees, int z_degrees) {
  const Matrix m = RotationXYZ(x_degrees, y_degrees, z_degrees);
  for (Vec3& p : model.positions) p = TransformCoord(p, m);
  for (Vec3& n : model.normals) n = TransformCoord(n, m);
}

void RotateModelUnits(Model& model, int x_degrees, int y_degrees, int z_degrees) {
  const Matrix m = RotationXYZ(x_degrees, y_degrees, z_degrees);
  for (int u = 0; u < UnitLimit(model); ++u) {
    model.units[u].axis = TransformCoord(model.units[u].axis, m);
    model.units[u].basis_position = TransformCoord(model.units[u].basis_position, m);
  }
}

void FlipCulling(Model& model, Host& host) {
  WaitCursor wait(host);
  for (Face& face : model.faces) {
    if (face.IsTriangle()) {
      std::swap(face.corner[1], face.corner[2]);
    } else {
      std::swap(face.corner[1], face.corner[3]);
    }
  }
  RebuildFaces(model, false);
}

void RecomputeNormals(Model& model, Host& host) {
  WaitCursor wait(host);
  RebuildFaces(model, false);
}

void ConvertToTriangles(Model& model, Host& host) {
  WaitCursor wait(host);
  RebuildFaces(model, true);
  model.all_triangles = 1;
}

void ShiftFaceCorners(Model& model) {
  for (Face& face : model.faces) {
    uint32_t* c = face.corner;
    if (face.IsTriangle()) {
      std::rotate(c, c + 2, c + 3);
    } else {
      std::rotate(c, c + 3, c + 4);
    }
  }
}

}  // namespace vorna
