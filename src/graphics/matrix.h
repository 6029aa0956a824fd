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
// p * m with the perspective divide.
Vec3 TransformPoint(const Matrix4& m, Vec3 p);

// The 2D view and projection of the room rectangle (x, y, w, h) turned by angle degrees: the
// eye looks along +z at the rectangle's centre, y grows downward on the screen. With
// perspective (3D mode only) the eye stands w in front of the plane.
void ProjectionFor2D(double x, double y, double w, double h, double angle, bool perspective,
                     Matrix4& view, Matrix4& projection);

}  // namespace tb
