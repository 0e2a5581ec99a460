// The transforms under the skeletal import: matrices taken apart into moves, turns and scales,
// and turns read as angles and axes.
#include "animation/scene_transform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "animation/rotation_angles.h"

namespace vorna {
namespace {

using Angles = std::array<double, 3>;

double Apart(const Rotation3& a, const Rotation3& b) {
  double sum = 0.0;
  for (int k = 0; k < 9; ++k) sum += (a[k] - b[k]) * (a[k] - b[k]);
  return sum;
}

// Random walks through every angle, past the locks at +-90 about y: the angles found for each
// turn rebuild it and lie no farther from the last Motion's than the walk moved; at a lock the
// first angle keeps the last Motion's. Whole degrees come back from either triple of their turn
// and whole-degree tilts point the axis they were made from. Random axes and angles of either
// sign, half turns near included, come back as axis and angle, or as the angle about the axis.
TEST(RotationAnglesTest, RandomTurnsComeBackAsAnglesAndAxes) {
  std::mt19937 random(11);
  std::uniform_real_distribution<double> step(-3.0, 3.0), any(-179.0, 179.0);
  Angles walk{}, kept{};
  for (int i = 0; i < 2000; ++i) {
    SCOPED_TRACE(i);
    double moved = 0.0, distance = 0.0;
    for (double& a : walk) {
      const double d = step(random);
      a += d;
      moved += std::fabs(d);
    }
    const Rotation3 r = RotationOfAngles(walk);
    const Angles angles = AnglesNear(r, kept);
    EXPECT_LT(Apart(RotationOfAngles(angles), r), 1e-18);
    for (int k = 0; k < 3; ++k) distance += std::fabs(angles[k] - kept[k]);
    EXPECT_LT(distance, moved + 1e-6);
    kept = angles;

    const Angles near = {any(random), any(random) / 2, any(random)};
    const Rotation3 locked = RotationOfAngles({any(random), i % 2 ? 90.0 : -90.0, any(random)});
    const Angles unlocked = AnglesNear(locked, near);
    EXPECT_LT(Apart(RotationOfAngles(unlocked), locked), 1e-18);
    EXPECT_EQ(unlocked[0], near[0]);
    for (int k = 0; k < 3; ++k) EXPECT_LE(std::fabs(unlocked[k] - near[k]), 180.0);

    const int a = static_cast<int>(any(random)), b = static_cast<int>(any(random) / 2),
              c = static_cast<int>(any(random));
    const Rotation3 whole = RotationOfAngles({1.0 * a, 1.0 * b, 1.0 * c});
    const double noise = step(random) / 8;
    EXPECT_EQ(WholeDegreeAngles(whole, AnglesNear(whole, {a + noise, b - noise, c + noise})),
              (std::array<int32_t, 3>{a, b, c}));
    EXPECT_EQ(WholeDegreeAngles(whole, AnglesNear(whole, {a + 180 - noise, 180.0 - b, c + 180.0})),
              (std::array<int32_t, 3>{a + 180, 180 - b, c + 180}));
    // Any other turn gets the whole degrees nearest it of those around its angles.
    const Angles exact = AnglesNear(r, near);
    const std::array<int32_t, 3> w = WholeDegreeAngles(r, exact);
    const double best = Apart(RotationOfAngles({1.0 * w[0], 1.0 * w[1], 1.0 * w[2]}), r);
    for (int n = 0; n < 27; ++n) {
      const Angles other = {std::round(exact[0]) + n % 3 - 1, std::round(exact[1]) + n / 3 % 3 - 1,
                            std::round(exact[2]) + n / 9 - 1};
      EXPECT_GE(Apart(RotationOfAngles(other), r), best - 1e-12);
    }
    const int tilt = b * 17 / 18;  // clear of +-90, where the second angle decides nothing
    const Rotation3 tilted = RotationOfAngles({0.0, 1.0 * tilt, 1.0 * c});
    double error = 1.0;
    EXPECT_EQ(TiltOfAxis({tilted[0], tilted[1], tilted[2]}, &error),
              (std::array<int32_t, 3>{0, tilt, c}));
    EXPECT_LT(error, 1e-6);

    // Every eighth axis lies in a plane of two axes, as rigs' axes often do.
    Angles axis = {step(random), step(random), step(random)};
    if (i % 8 == 0) axis[random() % 3] = 0.0;
    const double length = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
    for (double& v : axis) v /= length;
    const double degrees = i % 4 ? any(random) : 172 + (i % 16 ? std::fabs(step(random)) : 8);
    const Rotation3 turn = RotationAboutAxis(axis, degrees);
    EXPECT_NEAR(std::remainder(AngleAbout(turn, axis) - degrees, 360), 0.0, 1e-9);
    Angles found{};
    const double angle = AxisAngleOf(turn, &found) * 180 / std::numbers::pi;
    EXPECT_NEAR(angle, std::fabs(degrees), 1e-9);
    EXPECT_LT(Apart(RotationAboutAxis(found, angle), turn), 1e-18);
  }
}

// A thousand random turns, scales (every other one mirroring) and moves, taken apart and put
// together again, and seen in our axes; each term of every formula counts in some of them, the
// inverse's also for a matrix whose last row is not (0, 0, 0, 1).
TEST(SceneTransformTest, RandomTransformsComeApartAndTogetherAgain) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> between(-1.0, 1.0);
  const auto any = [&] { return between(random); };
  SceneMatrix inverse;
  EXPECT_FALSE(Invert(SceneMatrix{}, &inverse));
  for (int i = 0; i < 1000; ++i) {
    SCOPED_TRACE(i);
    const Angles scale = {(i % 2 ? -1 : 1) * (1.2 + any()), 1.2 + any(), 1.2 + any()};
    // Every fourth turn maps the axes onto each other, as rigs' turns often do.
    const auto part = [&] { return i % 4 ? any() : std::round(any()); };
    const SceneTransform t{
        {3 * any(), 3 * any(), 3 * any()}, Normalised({part(), part(), part(), part()}), scale};
    const SceneMatrix m = MatrixOf(t);
    SceneMatrix general = m;
    for (const int k : {3, 7, 11}) general[k] = any() / 4;
    SceneTransform back;
    general[15] = i % 2 ? NAN : INFINITY;
    EXPECT_FALSE(TransformOf(general, &back));
    general[15] = 1;
    ASSERT_TRUE(TransformOf(m, &back));
    ASSERT_TRUE(Invert(general, &inverse));
    const SceneMatrix again = MatrixOf(back), identity = Multiply(general, inverse);
    for (int k = 0; k < 16; ++k) {
      EXPECT_NEAR(again[k], m[k], 1e-9);
      EXPECT_NEAR(identity[k], k % 5 == 0 ? 1.0 : 0.0, 1e-9);
    }
    // Points move, directions turn without the move, and a surface's normal (p) stays square to
    // the surface (p x q) carried along.
    const Angles p = {any(), any(), any()}, q = {any(), any(), any()};
    const Angles tangent = {p[1] * q[2] - p[2] * q[1], p[2] * q[0] - p[0] * q[2],
                            p[0] * q[1] - p[1] * q[0]};
    const Angles moved = TransformPoint(m, p), turned = TransformDirection(m, p);
    const Angles surface = TransformDirection(m, tangent);
    const std::array<double, 9> normals = NormalMatrix(m);
    const RowMatrix ours = OursOf(m);
    RowMatrix undo;
    ASSERT_TRUE(InvertAffine(ours, &undo));
    const RowMatrix both = Multiply(ours, undo);
    double square = 0.0;
    for (int c = 0; c < 4; ++c) {
      const double mirrored = (c == 2 ? -1 : 1) * (c < 3 ? moved[c] : 1.0);
      EXPECT_NEAR(p[0] * ours.m[0][c] + p[1] * ours.m[1][c] - p[2] * ours.m[2][c] + ours.m[3][c],
                  mirrored, 1e-9);
      for (int r = 0; r < 4; ++r) EXPECT_NEAR(both.m[r][c], r == c ? 1.0 : 0.0, 1e-9);
      if (c == 3) break;
      EXPECT_NEAR(turned[c], moved[c] - t.translation[c], 1e-9);
      square += surface[c] *
                (normals[c * 3] * p[0] + normals[c * 3 + 1] * p[1] + normals[c * 3 + 2] * p[2]);
    }
    EXPECT_NEAR(square, 0.0, 1e-9);

    const Rotation3 r = RotationOfAngles({179 * any(), 89 * any(), 179 * any()});
    Rotation3 scaled = r, split;
    for (int k = 0; k < 9; ++k) scaled[k] *= scale[k / 3];
    Angles split_scale{};
    ASSERT_TRUE(SplitScaleRotation(scaled, &split_scale, &split));
    EXPECT_LT(Apart(split, r), 1e-18);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(split_scale[k], scale[k], 1e-9);
  }
}

}  // namespace
}  // namespace vorna
