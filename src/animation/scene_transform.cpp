#include "animation/scene_transform.h"

#include <algorithm>
#include <cmath>

namespace vorna {

namespace {

double At(const SceneMatrix& m, int row, int column) { return m[column * 4 + row]; }

}  // namespace

SceneMatrix Multiply(const SceneMatrix& a, const SceneMatrix& b) {
  SceneMatrix r{};
  for (int c = 0; c < 4; ++c) {
    for (int row = 0; row < 4; ++row) {
      double s = 0.0;
      for (int k = 0; k < 4; ++k) s += a[k * 4 + row] * b[c * 4 + k];
      r[c * 4 + row] = s;
    }
  }
  return r;
}

bool IsFinite(const SceneMatrix& m) {
  return std::all_of(m.begin(), m.end(), [](double v) { return std::isfinite(v); });
}

bool Invert(const SceneMatrix& m, SceneMatrix* inverse) {
  if (!IsFinite(m)) return false;
  // Cofactors of the transposed layout: inv[i] pairs with m[i] as in the classic expansion.
  const double* a = m.data();
  SceneMatrix inv;
  inv[0] = a[5] * a[10] * a[15] - a[5] * a[11] * a[14] - a[9] * a[6] * a[15] + a[9] * a[7] * a[14] +
           a[13] * a[6] * a[11] - a[13] * a[7] * a[10];
  inv[4] = -a[4] * a[10] * a[15] + a[4] * a[11] * a[14] + a[8] * a[6] * a[15] -
           a[8] * a[7] * a[14] - a[12] * a[6] * a[11] + a[12] * a[7] * a[10];
  inv[8] = a[4] * a[9] * a[15] - a[4] * a[11] * a[13] - a[8] * a[5] * a[15] + a[8] * a[7] * a[13] +
           a[12] * a[5] * a[11] - a[12] * a[7] * a[9];
  inv[12] = -a[4] * a[9] * a[14] + a[4] * a[10] * a[13] + a[8] * a[5] * a[14] -
            a[8] * a[6] * a[13] - a[12] * a[5] * a[10] + a[12] * a[6] * a[9];
  inv[1] = -a[1] * a[10] * a[15] + a[1] * a[11] * a[14] + a[9] * a[2] * a[15] -
           a[9] * a[3] * a[14] - a[13] * a[2] * a[11] + a[13] * a[3] * a[10];
  inv[5] = a[0] * a[10] * a[15] - a[0] * a[11] * a[14] - a[8] * a[2] * a[15] + a[8] * a[3] * a[14] +
           a[12] * a[2] * a[11] - a[12] * a[3] * a[10];
  inv[9] = -a[0] * a[9] * a[15] + a[0] * a[11] * a[13] + a[8] * a[1] * a[15] - a[8] * a[3] * a[13] -
           a[12] * a[1] * a[11] + a[12] * a[3] * a[9];
  inv[13] = a[0] * a[9] * a[14] - a[0] * a[10] * a[13] - a[8] * a[1] * a[14] + a[8] * a[2] * a[13] +
            a[12] * a[1] * a[10] - a[12] * a[2] * a[9];
  inv[2] = a[1] * a[6] * a[15] - a[1] * a[7] * a[14] - a[5] * a[2] * a[15] + a[5] * a[3] * a[14] +
           a[13] * a[2] * a[7] - a[13] * a[3] * a[6];
  inv[6] = -a[0] * a[6] * a[15] + a[0] * a[7] * a[14] + a[4] * a[2] * a[15] - a[4] * a[3] * a[14] -
           a[12] * a[2] * a[7] + a[12] * a[3] * a[6];
  inv[10] = a[0] * a[5] * a[15] - a[0] * a[7] * a[13] - a[4] * a[1] * a[15] + a[4] * a[3] * a[13] +
            a[12] * a[1] * a[7] - a[12] * a[3] * a[5];
  inv[14] = -a[0] * a[5] * a[14] + a[0] * a[6] * a[13] + a[4] * a[1] * a[14] - a[4] * a[2] * a[13] -
            a[12] * a[1] * a[6] + a[12] * a[2] * a[5];
  inv[3] = -a[1] * a[6] * a[11] + a[1] * a[7] * a[10] + a[5] * a[2] * a[11] - a[5] * a[3] * a[10] -
           a[9] * a[2] * a[7] + a[9] * a[3] * a[6];
  inv[7] = a[0] * a[6] * a[11] - a[0] * a[7] * a[10] - a[4] * a[2] * a[11] + a[4] * a[3] * a[10] +
           a[8] * a[2] * a[7] - a[8] * a[3] * a[6];
  inv[11] = -a[0] * a[5] * a[11] + a[0] * a[7] * a[9] + a[4] * a[1] * a[11] - a[4] * a[3] * a[9] -
            a[8] * a[1] * a[7] + a[8] * a[3] * a[5];
  inv[15] = a[0] * a[5] * a[10] - a[0] * a[6] * a[9] - a[4] * a[1] * a[10] + a[4] * a[2] * a[9] +
            a[8] * a[1] * a[6] - a[8] * a[2] * a[5];
  const double det = a[0] * inv[0] + a[1] * inv[4] + a[2] * inv[8] + a[3] * inv[12];
  double largest = 0.0;
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      largest = std::max(largest, std::fabs(At(m, row, column)));
    }
  }
  // A determinant this small against the linear part is rounding noise: the matrix flattens
  // space. (Translations do not scale it.)
  const double scale = largest * largest * largest;
  if (!std::isfinite(det) || !(std::fabs(det) > 1e-12 * scale)) return false;
  for (double& v : inv) v /= det;
  if (!IsFinite(inv)) return false;
  *inverse = inv;
  return true;
}

std::array<double, 4> Normalised(const std::array<double, 4>& q) {
  const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
  if (!(length > 0.0) || !std::isfinite(length)) return {0.0, 0.0, 0.0, 1.0};
  return {q[0] / length, q[1] / length, q[2] / length, q[3] / length};
}

SceneMatrix MatrixOf(const SceneTransform& transform) {
  const auto [x, y, z, w] = Normalised(transform.rotation);
  const double r[9] = {1 - 2 * (y * y + z * z), 2 * (x * y + z * w),     2 * (x * z - y * w),
                       2 * (x * y - z * w),     1 - 2 * (x * x + z * z), 2 * (y * z + x * w),
                       2 * (x * z + y * w),     2 * (y * z - x * w),     1 - 2 * (x * x + y * y)};
  SceneMatrix m{};
  for (int c = 0; c < 3; ++c) {
    for (int row = 0; row < 3; ++row) m[c * 4 + row] = r[c * 3 + row] * transform.scale[c];
  }
  m[12] = transform.translation[0];
  m[13] = transform.translation[1];
  m[14] = transform.translation[2];
  m[15] = 1.0;
  return m;
}

std::array<double, 4> QuaternionOfRotation(const double (&r)[3][3]) {
  const double trace = r[0][0] + r[1][1] + r[2][2];
  if (trace > 0.0) {
    const double s = std::sqrt(trace + 1.0) * 2.0;
    return {(r[2][1] - r[1][2]) / s, (r[0][2] - r[2][0]) / s, (r[1][0] - r[0][1]) / s, 0.25 * s};
  }
  if (r[0][0] > r[1][1] && r[0][0] > r[2][2]) {
    const double s = std::sqrt(1.0 + r[0][0] - r[1][1] - r[2][2]) * 2.0;
    return {0.25 * s, (r[0][1] + r[1][0]) / s, (r[0][2] + r[2][0]) / s, (r[2][1] - r[1][2]) / s};
  }
  if (r[1][1] > r[2][2]) {
    const double s = std::sqrt(1.0 + r[1][1] - r[0][0] - r[2][2]) * 2.0;
    return {(r[0][1] + r[1][0]) / s, 0.25 * s, (r[1][2] + r[2][1]) / s, (r[0][2] - r[2][0]) / s};
  }
  const double s = std::sqrt(1.0 + r[2][2] - r[0][0] - r[1][1]) * 2.0;
  return {(r[0][2] + r[2][0]) / s, (r[1][2] + r[2][1]) / s, 0.25 * s, (r[1][0] - r[0][1]) / s};
}

bool TransformOf(const SceneMatrix& m, SceneTransform* transform) {
  if (!IsFinite(m)) return false;
  SceneTransform t;
  t.translation = {m[12], m[13], m[14]};
  double r[3][3];  // r[row][column]
  const double det = m[0] * (m[5] * m[10] - m[6] * m[9]) - m[4] * (m[1] * m[10] - m[2] * m[9]) +
                     m[8] * (m[1] * m[6] - m[2] * m[5]);
  for (int c = 0; c < 3; ++c) {
    double s =
        std::sqrt(m[c * 4] * m[c * 4] + m[c * 4 + 1] * m[c * 4 + 1] + m[c * 4 + 2] * m[c * 4 + 2]);
    if (c == 0 && det < 0.0) s = -s;
    if (!(std::fabs(s) > 1e-12)) return false;
    t.scale[c] = s;
    for (int row = 0; row < 3; ++row) r[row][c] = m[c * 4 + row] / s;
  }
  t.rotation = Normalised(QuaternionOfRotation(r));
  *transform = t;
  return true;
}

std::array<double, 3> TransformPoint(const SceneMatrix& m, const std::array<double, 3>& p) {
  return {m[0] * p[0] + m[4] * p[1] + m[8] * p[2] + m[12],
          m[1] * p[0] + m[5] * p[1] + m[9] * p[2] + m[13],
          m[2] * p[0] + m[6] * p[1] + m[10] * p[2] + m[14]};
}

std::array<double, 3> TransformDirection(const SceneMatrix& m, const std::array<double, 3>& d) {
  return {m[0] * d[0] + m[4] * d[1] + m[8] * d[2], m[1] * d[0] + m[5] * d[1] + m[9] * d[2],
          m[2] * d[0] + m[6] * d[1] + m[10] * d[2]};
}

std::array<double, 9> NormalMatrix(const SceneMatrix& m) {
  std::array<double, 9> c;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      const int i1 = (i + 1) % 3, i2 = (i + 2) % 3, j1 = (j + 1) % 3, j2 = (j + 2) % 3;
      c[i * 3 + j] = At(m, i1, j1) * At(m, i2, j2) - At(m, i1, j2) * At(m, i2, j1);
    }
  }
  return c;
}

RowMatrix OursOf(const SceneMatrix& m) {
  // The column-major array read row by row is the transpose; z mirrored on both sides negates
  // the entries with exactly one index 2.
  RowMatrix r;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) r.m[i][j] = ((i == 2) != (j == 2) ? -1.0 : 1.0) * m[i * 4 + j];
  }
  return r;
}

RowMatrix Multiply(const RowMatrix& a, const RowMatrix& b) {
  RowMatrix r;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] +
                  a.m[i][3] * b.m[3][j];
    }
  }
  return r;
}

bool InvertAffine(const RowMatrix& m, RowMatrix* inverse) {
  const auto& a = m.m;
  const double c00 = a[1][1] * a[2][2] - a[1][2] * a[2][1];
  const double c01 = a[1][2] * a[2][0] - a[1][0] * a[2][2];
  const double c02 = a[1][0] * a[2][1] - a[1][1] * a[2][0];
  const double det = a[0][0] * c00 + a[0][1] * c01 + a[0][2] * c02;
  if (!std::isfinite(det) || det == 0.0) return false;
  RowMatrix r;
  r.m[0][0] = c00 / det;
  r.m[0][1] = (a[0][2] * a[2][1] - a[0][1] * a[2][2]) / det;
  r.m[0][2] = (a[0][1] * a[1][2] - a[0][2] * a[1][1]) / det;
  r.m[1][0] = c01 / det;
  r.m[1][1] = (a[0][0] * a[2][2] - a[0][2] * a[2][0]) / det;
  r.m[1][2] = (a[0][2] * a[1][0] - a[0][0] * a[1][2]) / det;
  r.m[2][0] = c02 / det;
  r.m[2][1] = (a[0][1] * a[2][0] - a[0][0] * a[2][1]) / det;
  r.m[2][2] = (a[0][0] * a[1][1] - a[0][1] * a[1][0]) / det;
  for (int j = 0; j < 3; ++j) {
    r.m[3][j] = -(a[3][0] * r.m[0][j] + a[3][1] * r.m[1][j] + a[3][2] * r.m[2][j]);
  }
  r.m[0][3] = r.m[1][3] = r.m[2][3] = 0.0;
  r.m[3][3] = 1.0;
  *inverse = r;
  return true;
}

}  // namespace vorna
