// 4x4 single-precision matrices for row vectors: a point maps to p * M, and in a product A * B
// the transform A applies first. The definitions are the classic fixed-function ones, so that
// poses, exports and drawing agree to the last bit with models made by earlier tools.
#pragma once

#include "maths/vector.h"

namespace vorna {

struct Matrix {
  float m[4][4] = {};

  friend bool operator==(const Matrix&, const Matrix&) = default;
};

Matrix Identity();
Matrix Translation(float x, float y, float z);
Matrix Scaling(float x, float y, float z);
// Rotations by `radians`; rows as in the fixed-function maths (RotationX row 1 = (0, c, s, 0)).
Matrix RotationX(float radians);
Matrix RotationY(float radians);
Matrix RotationZ(float radians);
// Rotation by `radians` about `axis`, which is normalised first.
Matrix RotationAxis(Vec3 axis, float radians);
// Rx(x) * Ry(y) * Rz(z) from whole degrees: X applies first.
Matrix RotationXYZ(int x_degrees, int y_degrees, int z_degrees);
// a * b: a applies first.
Matrix Multiply(const Matrix& a, const Matrix& b);
// (p, 1) * m divided by the resulting w (when w is not 0).
Vec3 TransformCoord(Vec3 p, const Matrix& m);
// (n, 0) * m: direction only, no translation.
Vec3 TransformNormal(Vec3 n, const Matrix& m);

}  // namespace vorna
