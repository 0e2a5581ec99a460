#include "maths/matrix.h"

#include <cmath>

namespace vorna {

Matrix Identity() {
  Matrix r;
  for (int i = 0; i < 4; ++i) r.m[i][i] = 1.0f;
  return r;
}

Matrix Translation(float x, float y, float z) {
  Matrix r = Identity();
  r.m[3][0] = x;
  r.m[3][1] = y;
  r.m[3][2] = z;
  return r;
}

Matrix Scaling(float x, float y, float z) {
  Matrix r;
  r.m[0][0] = x;
  r.m[1][1] = y;
  r.m[2][2] = z;
  r.m[3][3] = 1.0f;
  return r;
}

Matrix RotationX(float radians) {
  const float c = std::cos(radians), s = std::sin(radians);
  Matrix r = Identity();
  r.m[1][1] = c;
  r.m[1][2] = s;
  r.m[2][1] = -s;
  r.m[2][2] = c;
  return r;
}

Matrix RotationY(float radians) {
  const float c = std::cos(radians), s = std::sin(radians);
  Matrix r = Identity();
  r.m[0][0] = c;
  r.m[0][2] = -s;
  r.m[2][0] = s;
  r.m[2][2] = c;
  return r;
}

Matrix RotationZ(float radians) {
  const float c = std::cos(radians), s = std::sin(radians);
  Matrix r = Identity();
  r.m[0][0] = c;
  r.m[0][1] = s;
  r.m[1][0] = -s;
  r.m[1][1] = c;
  return r;
}

Matrix RotationAxis(Vec3 axis, float radians) {
  const Vec3 v = Normalize(axis);
  const float s = std::sin(radians), c = std::cos(radians), t = 1.0f - c;
  Matrix r = Identity();
  r.m[0][0] = t * v.x * v.x + c;
  r.m[0][1] = t * v.x * v.y + s * v.z;
  r.m[0][2] = t * v.x * v.z - s * v.y;
  r.m[1][0] = t * v.x * v.y - s * v.z;
  r.m[1][1] = t * v.y * v.y + c;
  r.m[1][2] = t * v.y * v.z + s * v.x;
  r.m[2][0] = t * v.x * v.z + s * v.y;
  r.m[2][1] = t * v.y * v.z - s * v.x;
  r.m[2][2] = t * v.z * v.z + c;
  return r;
}

Matrix RotationXYZ(int x_degrees, int y_degrees, int z_degrees) {
  return Multiply(
      Multiply(RotationX(DegreesToRadians(x_degrees)), RotationY(DegreesToRadians(y_degrees))),
      RotationZ(DegreesToRadians(z_degrees)));
}

Matrix Multiply(const Matrix& a, const Matrix& b) {
  Matrix r;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] +
                  a.m[i][3] * b.m[3][j];
    }
  }
  return r;
}

Vec3 TransformCoord(Vec3 p, const Matrix& m) {
  const float x = p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0];
  const float y = p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1];
  const float z = p.x * m.m[0][2] + p.y * m.m[1][2] + p.z * m.m[2][2] + m.m[3][2];
  const float w = p.x * m.m[0][3] + p.y * m.m[1][3] + p.z * m.m[2][3] + m.m[3][3];
  if (w == 0.0f || w == 1.0f) return {x, y, z};
  return {x / w, y / w, z / w};
}

Vec3 TransformNormal(Vec3 n, const Matrix& m) {
  return {n.x * m.m[0][0] + n.y * m.m[1][0] + n.z * m.m[2][0],
          n.x * m.m[0][1] + n.y * m.m[1][1] + n.z * m.m[2][1],
          n.x * m.m[0][2] + n.y * m.m[1][2] + n.z * m.m[2][2]};
}

}  // namespace vorna
