#include "maths/matrix.h"

#include <gtest/gtest.h>

namespace vorna {
namespace {

// Imported frames may carry a projective column: each coordinate's share of w must be its own.
TEST(MatrixTest, TransformCoordDividesByTheProjectiveW) {
  const Vec3 p{2, 4, 8};
  const float coordinate[] = {p.x, p.y, p.z};
  for (int k = 0; k < 3; ++k) {
    Matrix m = Identity();
    m.m[k][3] = 1;
    const float w = coordinate[k] + 1;
    EXPECT_EQ(TransformCoord(p, m), (Vec3{2 / w, 4 / w, 8 / w})) << k;
  }
}

}  // namespace
}  // namespace vorna
