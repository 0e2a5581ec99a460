// The transforms under the skeletal import: matrices taken apart into moves, turns and scales,
// and turns read as angles and axes.
#include "animation/scene_transform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "animation/rotation_angles.h"

namespace vorna {
namespace {

// Every entry of the inverse counts: a matrix with no zero to hide a wrong cofactor behind.
TEST(SceneTransformTest, InvertUndoesAGeneralMatrix) {
  const SceneMatrix m = {2, 1, 0.5, 0.25, 1, 3, 1, 0.5, 0.25, 1, 4, 0.125, 1, 2, 3, 1};
  SceneMatrix inverse;
  ASSERT_TRUE(Invert(m, &inverse));
  const SceneMatrix product = Multiply(m, inverse);
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(product[i], i % 5 == 0 ? 1.0 : 0.0, 1e-12) << i;
  EXPECT_FALSE(Invert(SceneMatrix{}, &inverse));
  // A mirror in x, turned a quarter about x, as mirrored rigs store it: it comes apart into a
  // transform that gives it back.
  const SceneMatrix mirrored = {-1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 1, 2, 3, 1};
  SceneTransform t;
  ASSERT_TRUE(TransformOf(mirrored, &t));
  const SceneMatrix back = MatrixOf(t);
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(back[i], mirrored[i], 1e-12) << i;
}

TEST(RotationAnglesTest, AnglesStayNearThePreviousMotion) {
  std::array<double, 3> previous{0, 0, 0};
  for (int a = 150; a <= 250; a += 20) {
    previous = AnglesNear(RotationOfAngles({1.0 * a, 10, 20}), previous);
    EXPECT_NEAR(previous[0], a, 1e-9);  // no jump from 170 to -170
  }
  // At +-90 degrees about y only a - c is fixed: the first angle keeps its previous value.
  const std::array<double, 3> locked = AnglesNear(RotationOfAngles({30, 90, 10}), {25, 80, 0});
  EXPECT_NEAR(locked[0], 25, 1e-6);
  EXPECT_NEAR(locked[0] - locked[2], 20, 1e-6);
  // Whole degrees come back exactly, the other triple of the same turn included.
  const Rotation3 r = RotationOfAngles({-40, 61, 170});
  EXPECT_EQ(WholeDegreeAngles(r, AnglesNear(r, {-40, 60, 170})),
            (std::array<int32_t, 3>{-40, 61, 170}));
  EXPECT_EQ(WholeDegreeAngles(r, AnglesNear(r, {140, 119, -10})),
            (std::array<int32_t, 3>{140, 119, -10}));
  // A half turn leaves no antisymmetric part to read the axis from: the diagonal gives it.
  std::array<double, 3> axis{};
  EXPECT_NEAR(AxisAngleOf({-1, 0, 0, 0, -1, 0, 0, 0, 1}, &axis), std::numbers::pi, 1e-12);
  EXPECT_NEAR(std::fabs(axis[2]), 1.0, 1e-12);
}

// A thousand random turns, scales (every other one mirroring) and moves, taken apart and put
// together again: each term of every formula counts in some of them.
TEST(SceneTransformTest, RandomTransformsComeApartAndTogetherAgain) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> between(-1.0, 1.0);
  const auto any = [&] { return between(random); };
  for (int i = 0; i < 1000; ++i) {
    SCOPED_TRACE(i);
    const std::array<double, 3> scale = {(i % 2 ? -1 : 1) * (1.2 + any()), 1.2 + any(),
                                         1.2 + any()};
    const SceneTransform t{
        {3 * any(), 3 * any(), 3 * any()}, Normalised({any(), any(), any(), any()}), scale};
    const SceneMatrix m = MatrixOf(t);
    SceneTransform back;
    SceneMatrix inverse;
    ASSERT_TRUE(TransformOf(m, &back));
    ASSERT_TRUE(Invert(m, &inverse));
    const SceneMatrix again = MatrixOf(back), identity = Multiply(m, inverse);
    for (int k = 0; k < 16; ++k) {
      EXPECT_NEAR(again[k], m[k], 1e-9);
      EXPECT_NEAR(identity[k], k % 5 == 0 ? 1.0 : 0.0, 1e-9);
    }
    // Points go there and back, directions turn without the move, and a surface's normal (p) stays
    // square to the surface (p x q) carried along.
    const std::array<double, 3> p = {any(), any(), any()}, q = {any(), any(), any()};
    const std::array<double, 3> tangent = {p[1] * q[2] - p[2] * q[1], p[2] * q[0] - p[0] * q[2],
                                           p[0] * q[1] - p[1] * q[0]};
    const auto moved = TransformPoint(m, p), turned = TransformDirection(m, p);
    const auto home = TransformPoint(inverse, moved), surface = TransformDirection(m, tangent);
    const std::array<double, 9> normals = NormalMatrix(m);
    double square = 0.0;
    for (int c = 0; c < 3; ++c) {
      EXPECT_NEAR(home[c], p[c], 1e-9);
      EXPECT_NEAR(turned[c], moved[c] - t.translation[c], 1e-9);
      square += surface[c] *
                (normals[c * 3] * p[0] + normals[c * 3 + 1] * p[1] + normals[c * 3 + 2] * p[2]);
    }
    EXPECT_NEAR(square, 0.0, 1e-9);

    const std::array<double, 3> angles = {179 * any(), 89 * any(), 179 * any()};
    const Rotation3 r = RotationOfAngles(angles);
    const std::array<double, 3> near = AnglesNear(r, angles);
    std::array<double, 3> axis{};
    const double degrees = AxisAngleOf(r, &axis) / std::numbers::pi * 180;
    const Rotation3 about = RotationAboutAxis(axis, degrees);
    EXPECT_NEAR(AngleAbout(r, axis), degrees, 1e-9);
    Rotation3 scaled = r, split;
    for (int k = 0; k < 9; ++k) scaled[k] *= scale[k / 3];
    std::array<double, 3> split_scale{};
    ASSERT_TRUE(SplitScaleRotation(scaled, &split_scale, &split));
    for (int k = 0; k < 9; ++k) {
      EXPECT_NEAR(about[k], r[k], 1e-9);
      EXPECT_NEAR(split[k], r[k], 1e-9);
    }
    for (int k = 0; k < 3; ++k) {
      EXPECT_NEAR(near[k], angles[k], 1e-9);
      EXPECT_NEAR(split_scale[k], scale[k], 1e-9);
    }
    // A half turn about the same axis shows no antisymmetric part to read the axis from.
    std::array<double, 3> half_axis{};
    EXPECT_NEAR(AxisAngleOf(RotationAboutAxis(axis, 180), &half_axis), std::numbers::pi, 1e-9);
    const double along = axis[0] * half_axis[0] + axis[1] * half_axis[1] + axis[2] * half_axis[2];
    EXPECT_NEAR(std::fabs(along), 1.0, 1e-9);
  }
}

}  // namespace
}  // namespace vorna
