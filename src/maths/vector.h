// Three-component single-precision vectors, as the model stores positions, normals and colours.
#pragma once

#include <cmath>

namespace vorna {

struct Vec3 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;

  friend bool operator==(const Vec3&, const Vec3&) = default;
  float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
  float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
};

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float Length(Vec3 a) { return std::sqrt(Dot(a, a)); }

// Unit-length copy of `a`; a zero vector stays zero.
inline Vec3 Normalize(Vec3 a) {
  const float length = Length(a);
  return length > 0.0f ? a * (1.0f / length) : Vec3{};
}

struct Vec2 {
  float x = 0.0f;
  float y = 0.0f;
  friend bool operator==(const Vec2&, const Vec2&) = default;
};

struct Vec4 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
  float w = 0.0f;
  friend bool operator==(const Vec4&, const Vec4&) = default;
};

// Single-precision pi as the program has always used it for degree conversions.
inline constexpr float kPi = 3.1415927f;

// Whole degrees to radians: degrees * pi / 180 in single precision.
inline float DegreesToRadians(int degrees) { return static_cast<float>(degrees) * kPi / 180.0f; }

}  // namespace vorna
