#include "animation/rotation_angles.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vorna {

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

// `value` turned by whole turns into (near - 180, near + 180].
double Nearest(double value, double near) {
  return value - 360.0 * std::ceil((value - near - 180.0) / 360.0);
}

double Distance(const Rotation3& a, const Rotation3& b) {
  double sum = 0.0;
  for (int i = 0; i < 9; ++i) sum += (a[i] - b[i]) * (a[i] - b[i]);
  return sum;
}

// Rx(a) * Ry(b) * Rz(c) from the sines and cosines of the three angles.
Rotation3 RotationOfSines(double sa, double ca, double sb, double cb, double sc, double cc) {
  return {cb * cc,
          cb * sc,
          -sb,
          sa * sb * cc - ca * sc,
          sa * sb * sc + ca * cc,
          sa * cb,
          ca * sb * cc + sa * sc,
          ca * sb * sc - sa * cc,
          ca * cb};
}

}  // namespace

Rotation3 RotationOfAngles(const std::array<double, 3>& degrees) {
  return RotationOfSines(std::sin(degrees[0] * kDegree), std::cos(degrees[0] * kDegree),
                         std::sin(degrees[1] * kDegree), std::cos(degrees[1] * kDegree),
                         std::sin(degrees[2] * kDegree), std::cos(degrees[2] * kDegree));
}

std::array<double, 3> AnglesNear(const Rotation3& r, const std::array<double, 3>& near) {
  const double sb = std::clamp(-r[2], -1.0, 1.0);
  const double cb = std::hypot(r[0], r[1]);
  if (cb < 1e-9) {
    // Gimbal lock: with b = +-90 only a - c (b = 90) or a + c (b = -90) shows in the matrix.
    const double a = near[0];
    const double b = sb > 0.0 ? 90.0 : -90.0;
    const double c =
        sb > 0.0 ? a - std::atan2(r[3], r[4]) / kDegree : std::atan2(-r[3], r[4]) / kDegree - a;
    return {a, Nearest(b, near[1]), Nearest(c, near[2])};
  }
  const double a = std::atan2(r[5], r[8]) / kDegree;
  const double b = std::atan2(sb, cb) / kDegree;
  const double c = std::atan2(r[1], r[0]) / kDegree;
  const std::array<double, 3> first = {Nearest(a, near[0]), Nearest(b, near[1]),
                                       Nearest(c, near[2])};
  const std::array<double, 3> second = {Nearest(a + 180.0, near[0]), Nearest(180.0 - b, near[1]),
                                        Nearest(c + 180.0, near[2])};
  auto distance = [&](const std::array<double, 3>& t) {
    return std::fabs(t[0] - near[0]) + std::fabs(t[1] - near[1]) + std::fabs(t[2] - near[2]);
  };
  return distance(second) < distance(first) ? second : first;
}

std::array<int32_t, 3> WholeDegreeAngles(const Rotation3& r, const std::array<double, 3>& angles) {
  std::array<int32_t, 3> base;
  for (int k = 0; k < 3; ++k) {
    // Angles from a matrix are finite and near the previous Motion's, far inside int32.
    base[k] = static_cast<int32_t>(std::lround(std::clamp(angles[k], -1e9, 1e9)));
  }
  // Sines and cosines of each angle's three candidates, taken once.
  double sines[3][3], cosines[3][3];
  for (int k = 0; k < 3; ++k) {
    for (int d = 0; d < 3; ++d) {
      sines[k][d] = std::sin((base[k] + d - 1) * kDegree);
      cosines[k][d] = std::cos((base[k] + d - 1) * kDegree);
    }
  }
  std::array<int32_t, 3> best = base;
  double best_distance = Distance(RotationOfSines(sines[0][1], cosines[0][1], sines[1][1],
                                                  cosines[1][1], sines[2][1], cosines[2][1]),
                                  r);
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      for (int k = 0; k < 3; ++k) {
        const double d = Distance(RotationOfSines(sines[0][i], cosines[0][i], sines[1][j],
                                                  cosines[1][j], sines[2][k], cosines[2][k]),
                                  r);
        if (d < best_distance - 1e-15) {
          best_distance = d;
          best = {base[0] + i - 1, base[1] + j - 1, base[2] + k - 1};
        }
      }
    }
  }
  return best;
}

Rotation3 RotationAboutAxis(const std::array<double, 3>& axis, double degrees) {
  const double x = axis[0], y = axis[1], z = axis[2];
  const double s = std::sin(degrees * kDegree), c = std::cos(degrees * kDegree), t = 1.0 - c;
  return {t * x * x + c,     t * x * y + s * z, t * x * z - s * y, t * x * y - s * z, t * y * y + c,
          t * y * z + s * x, t * x * z + s * y, t * y * z - s * x, t * z * z + c};
}

double AxisAngleOf(const Rotation3& r, std::array<double, 3>* axis) {
  // The antisymmetric part holds sin(angle) * axis, the trace 1 + 2 cos(angle).
  const double v[3] = {r[5] - r[7], r[6] - r[2], r[1] - r[3]};
  const double s2 = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  const double c2 = r[0] + r[4] + r[8] - 1.0;
  const double angle = std::atan2(s2, c2);
  if (!(angle > 1e-12)) return 0.0;
  if (angle < 3.0) {
    *axis = {v[0] / s2, v[1] / s2, v[2] / s2};
    return angle;
  }
  // Near half a turn the antisymmetric part vanishes: the symmetric part is 2(1 - c) a a^T + 2c I.
  const double c = c2 / 2.0;
  const double d[3] = {(r[0] - c) / (1.0 - c), (r[4] - c) / (1.0 - c), (r[8] - c) / (1.0 - c)};
  int k = 0;
  if (d[1] > d[k]) k = 1;
  if (d[2] > d[k]) k = 2;
  std::array<double, 3> a;
  a[k] = std::sqrt(std::max(d[k], 0.0));
  for (int i = 0; i < 3; ++i) {
    if (i != k) a[i] = (r[k * 3 + i] + r[i * 3 + k]) / (2.0 * (1.0 - c) * a[k]);
  }
  // The sign follows the antisymmetric part where it still shows.
  if (a[0] * v[0] + a[1] * v[1] + a[2] * v[2] < 0.0) a = {-a[0], -a[1], -a[2]};
  const double length = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
  *axis = {a[0] / length, a[1] / length, a[2] / length};
  return angle;
}

double AngleAbout(const Rotation3& r, const std::array<double, 3>& axis) {
  const double s =
      (axis[0] * (r[5] - r[7]) + axis[1] * (r[6] - r[2]) + axis[2] * (r[1] - r[3])) / 2.0;
  // The trace is 1 + 2 cos and the axis' own term a^T r a is 1 for a turn about the axis alone.
  double along = 0.0;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) along += axis[i] * axis[j] * r[i * 3 + j];
  }
  const double c = (r[0] + r[4] + r[8] - along) / 2.0;
  return std::atan2(s, c) / kDegree;
}

std::array<int32_t, 3> TiltOfAxis(const std::array<double, 3>& axis, double* error) {
  const double b = std::asin(std::clamp(-axis[2], -1.0, 1.0)) / kDegree;
  const double c = std::atan2(axis[1], axis[0]) / kDegree;
  std::array<int32_t, 3> best{0, static_cast<int32_t>(std::lround(b)),
                              static_cast<int32_t>(std::lround(c))};
  double best_dot = -2.0;
  const int32_t b0 = best[1], c0 = best[2];
  for (int i = -1; i <= 1; ++i) {
    for (int j = -1; j <= 1; ++j) {
      const double bb = (b0 + i) * kDegree, cc = (c0 + j) * kDegree;
      const double dot = std::cos(bb) * std::cos(cc) * axis[0] +
                         std::cos(bb) * std::sin(cc) * axis[1] - std::sin(bb) * axis[2];
      if (dot > best_dot) {
        best_dot = dot;
        best = {0, b0 + i, c0 + j};
      }
    }
  }
  *error = std::acos(std::clamp(best_dot, -1.0, 1.0));
  return best;
}

bool SplitScaleRotation(const Rotation3& a, std::array<double, 3>* scale, Rotation3* rotation) {
  const double det = a[0] * (a[4] * a[8] - a[5] * a[7]) - a[1] * (a[3] * a[8] - a[5] * a[6]) +
                     a[2] * (a[3] * a[7] - a[4] * a[6]);
  Rotation3 r = a;
  for (int i = 0; i < 3; ++i) {
    double s =
        std::sqrt(a[i * 3] * a[i * 3] + a[i * 3 + 1] * a[i * 3 + 1] + a[i * 3 + 2] * a[i * 3 + 2]);
    if (i == 0 && det < 0.0) s = -s;
    if (!(std::fabs(s) > 1e-12) || !std::isfinite(s)) return false;
    (*scale)[i] = s;
    for (int j = 0; j < 3; ++j) r[i * 3 + j] /= s;
  }
  // Rows rescaled are orthonormal unless the transform shears: average with the inverse
  // transpose until they are (the nearest rotation; a few rounds for any usable input).
  for (int round = 0; round < 20; ++round) {
    const double d = r[0] * (r[4] * r[8] - r[5] * r[7]) - r[1] * (r[3] * r[8] - r[5] * r[6]) +
                     r[2] * (r[3] * r[7] - r[4] * r[6]);
    if (!(std::fabs(d) > 1e-12)) return false;
    Rotation3 cof;
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) {
        const int i1 = (i + 1) % 3, i2 = (i + 2) % 3, j1 = (j + 1) % 3, j2 = (j + 2) % 3;
        cof[i * 3 + j] = r[i1 * 3 + j1] * r[i2 * 3 + j2] - r[i1 * 3 + j2] * r[i2 * 3 + j1];
      }
    }
    double change = 0.0;
    for (int k = 0; k < 9; ++k) {
      const double next = (r[k] + cof[k] / d) / 2.0;
      change += std::fabs(next - r[k]);
      r[k] = next;
    }
    if (change < 1e-15) break;
  }
  *rotation = r;
  return true;
}

}  // namespace vorna
