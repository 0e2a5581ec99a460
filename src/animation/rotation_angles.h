// Rotations as our Motions store them: three whole-degree angles about X, Y and Z (X first), or
// one whole-degree angle about a tilt axis that two whole-degree angles point. These find the
// stored numbers for a rotation given as a matrix, for the skeletal import.
//
// Matrices are row-vector 3 x 3 rotations in double precision, row-major, laid out as the rows of
// maths/matrix.h (RotationX(a) has the row (0, cos a, sin a)).
#pragma once

#include <array>
#include <cstdint>

namespace vorna {

using Rotation3 = std::array<double, 9>;

// Rx(a) * Ry(b) * Rz(c), angles in degrees: the rotation RotationXYZ builds from whole degrees.
Rotation3 RotationOfAngles(const std::array<double, 3>& degrees);

// The angles (degrees) whose RotationOfAngles is `r`. Of the two triples every rotation has (and
// their turns by 360), the one nearest `near`, each angle within 180 of near's; where the middle
// angle is +-90 and only a sum or difference is fixed, the first angle keeps near's value.
std::array<double, 3> AnglesNear(const Rotation3& r, const std::array<double, 3>& near);

// Whole degrees for `angles` (an exact triple of `r`): each rounded, then the one of the 27
// neighbours within one degree whose rotation lies closest to `r`.
std::array<int32_t, 3> WholeDegreeAngles(const Rotation3& r, const std::array<double, 3>& angles);

// The rotation by `degrees` about the unit `axis`, as RotationAxis builds it.
Rotation3 RotationAboutAxis(const std::array<double, 3>& axis, double degrees);

// The angle of `r` in radians (0 to pi) and, when it is not 0, its unit axis.
double AxisAngleOf(const Rotation3& r, std::array<double, 3>* axis);

// The signed angle (degrees, -180 to 180) of the part of `r` that turns about the unit `axis`.
double AngleAbout(const Rotation3& r, const std::array<double, 3>& axis);

// The axis_angle (X tilt 0) whose derived axis (cos b cos c, cos b sin c, -sin b) lies closest to
// the unit `axis`, and the angle in radians between the two.
std::array<int32_t, 3> TiltOfAxis(const std::array<double, 3>& axis, double* error);

// Splits the linear part `a` of a row-vector transform (rows r0, r1, r2) into a scaling along X,
// Y and Z applied first and a rotation: a = S * R, R the rotation nearest a with rows rescaled. A
// mirroring linear part gets a negative X scale. False when `a` flattens space.
bool SplitScaleRotation(const Rotation3& a, std::array<double, 3>* scale, Rotation3* rotation);

}  // namespace vorna
