// Row-vector, left-handed 4 x 4 matrices as the drawing code composes them: a point p is
// transformed as p * M, and M1 * M2 applies M1 first.
#pragma once

#include "graphics/device.h"

namespace tb {

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

Matrix4 IdentityMatrix();
Matrix4 Multiply(const Matrix4& a, const Matrix4& b);
Matrix4 LookAtLH(Vec3 eye, Vec3 at, Vec3 up);
// Centred orthographic projection of a width x height rectangle; depth 0 .. 1 over near .. far.
Matrix4 OrthoLH(double width, double height, double znear, double zfar);
// Perspective projection with the given view-plane size at the near plane.
Matrix4 PerspectiveLH(double width, double height, double znear, double zfar);
// Perspective projection from a vertical field of view (radians) and width / height.
Matrix4 PerspectiveFovLH(double fovy, double aspect, double znear, double zfar);
Matrix4 TranslationMatrix(double x, double y, double z);
Matrix4 ScalingMatrix(double x, double y, double z);
// Rotations by a radians; seen from the positive end of the axis looking at the origin, a
// positive angle turns clockwise (left-handed).
Matrix4 RotationXMatrix(double a);
Matrix4 RotationYMatrix(double a);
Matrix4 RotationZMatrix(double a);
// About the axis (x, y, z), normalised first; a zero axis leaves only the cosine scaling.
Matrix4 RotationAxisMatrix(Vec3 axis, double a);
// p * m with the perspective divide.
Vec3 TransformPoint(const Matrix4& m, Vec3 p);

// The 2D view and projection of the room rectangle (x, y, w, h) turned by angle degrees: the
// eye looks along +z at the rectangle's centre, y grows downward on the screen. With
// perspective (3D mode only) the eye stands w in front of the plane.
void ProjectionFor2D(double x, double y, double w, double h, double angle, bool perspective,
                     Matrix4& view, Matrix4& projection);

}  // namespace tb
