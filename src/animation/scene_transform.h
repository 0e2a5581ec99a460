// Double-precision transforms of the neutral scene description (skeleton_scene.h): column-major
// matrices for column vectors, quaternions (x, y, z, w), and the conversion into our own
// convention (row vectors, z negated).
#pragma once

#include <array>

#include "animation/skeleton_scene.h"

namespace vorna {

// a * b for column vectors: b applies first.
SceneMatrix Multiply(const SceneMatrix& a, const SceneMatrix& b);
// The inverse, or false when `m` holds a non-finite number or is singular (its determinant is
// negligible against the size of its entries).
bool Invert(const SceneMatrix& m, SceneMatrix* inverse);
bool IsFinite(const SceneMatrix& m);
// T * R * S; the quaternion is normalised first (a zero one is the identity).
SceneMatrix MatrixOf(const SceneTransform& transform);
std::array<double, 4> Normalised(const std::array<double, 4>& q);
// The quaternion (x, y, z, w), not yet normalised, of the rotation whose element in row i and
// column j is r[i][j].
std::array<double, 4> QuaternionOfRotation(const double (&r)[3][3]);
// The translation, rotation and scale whose T * R * S is `m` (scale along the matrix's own
// columns, negative in x for a mirroring matrix; a shear is approximated). False when `m` is not
// finite or flattens space.
bool TransformOf(const SceneMatrix& m, SceneTransform* transform);
std::array<double, 3> TransformPoint(const SceneMatrix& m, const std::array<double, 3>& p);
std::array<double, 3> TransformDirection(const SceneMatrix& m, const std::array<double, 3>& d);
// The matrix that carries normals along with `m` (the inverse transpose of its 3 x 3 part, up to
// scale: callers normalise), row-major 3 x 3.
std::array<double, 9> NormalMatrix(const SceneMatrix& m);

// A row-vector matrix in our axes: p' = p * m, rows as in maths/matrix.h.
struct RowMatrix {
  double m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
};

// The same transform seen in our axes: transposed for row vectors and mirrored in z.
RowMatrix OursOf(const SceneMatrix& m);
RowMatrix Multiply(const RowMatrix& a, const RowMatrix& b);
// The inverse of an affine row-vector matrix (last column 0, 0, 0, 1), or false when singular.
bool InvertAffine(const RowMatrix& m, RowMatrix* inverse);

}  // namespace vorna
