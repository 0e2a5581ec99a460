// glTF's node transforms as the format defines them, for tests that evaluate a file
// without our code.
#pragma once

#include <array>

namespace vorna::test {

using Mat4 = std::array<double, 16>;  // column-major, as glTF stores matrices

inline Mat4 Mul(const Mat4& a, const Mat4& b) {
  Mat4 r{};
  for (int c = 0; c < 4; ++c) {
    for (int row = 0; row < 4; ++row) {
      double s = 0;
      for (int k = 0; k < 4; ++k) s += a[k * 4 + row] * b[c * 4 + k];
      r[c * 4 + row] = s;
    }
  }
  return r;
}

// Translation, rotation (a quaternion x, y, z, w) and scale, each anything indexable.
template <class T, class Q, class S>
Mat4 Trs(const T& t, const Q& q, const S& s) {
  const double x = q[0], y = q[1], z = q[2], w = q[3];
  const double r[9] = {1 - 2 * (y * y + z * z), 2 * (x * y + z * w),     2 * (x * z - y * w),
                       2 * (x * y - z * w),     1 - 2 * (x * x + z * z), 2 * (y * z + x * w),
                       2 * (x * z + y * w),     2 * (y * z - x * w),     1 - 2 * (x * x + y * y)};
  Mat4 m{};
  for (int c = 0; c < 3; ++c) {
    for (int row = 0; row < 3; ++row) m[c * 4 + row] = r[c * 3 + row] * s[c];
  }
  m[12] = t[0];
  m[13] = t[1];
  m[14] = t[2];
  m[15] = 1;
  return m;
}

}  // namespace vorna::test
