#include "graphics/matrix.h"

#include <cmath>
#include <numbers>

namespace tb {

namespace {

Vec3 Sub(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3 Cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec3 Normal(Vec3 a) {
    const double len = std::sqrt(Dot(a, a));
    if (len == 0) return a;
    return {a.x / len, a.y / len, a.z / len};
}

}  // namespace

Matrix4 IdentityMatrix() {
    Matrix4 m{};
    for (int i = 0; i < 4; ++i) m[i][i] = 1;
    return m;
}

Matrix4 Multiply(const Matrix4& a, const Matrix4& b) {
    Matrix4 r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            double s = 0;
            for (int k = 0; k < 4; ++k) s += double(a[i][k]) * double(b[k][j]);
            r[i][j] = float(s);
        }
    return r;
}

Matrix4 LookAtLH(Vec3 eye, Vec3 at, Vec3 up) {
    const Vec3 z = Normal(Sub(at, eye));
    const Vec3 x = Normal(Cross(up, z));
    const Vec3 y = Cross(z, x);
    Matrix4 m{};
    m[0] = {float(x.x), float(y.x), float(z.x), 0};
    m[1] = {float(x.y), float(y.y), float(z.y), 0};
    m[2] = {float(x.z), float(y.z), float(z.z), 0};
    m[3] = {float(-Dot(x, eye)), float(-Dot(y, eye)), float(-Dot(z, eye)), 1};
    return m;
}

Matrix4 OrthoLH(double w, double h, double zn, double zf) {
    Matrix4 m{};
    m[0][0] = float(2 / w);
    m[1][1] = float(2 / h);
    m[2][2] = float(1 / (zf - zn));
    m[3][2] = float(zn / (zn - zf));
    m[3][3] = 1;
    return m;
}

Matrix4 PerspectiveLH(double w, double h, double zn, double zf) {
    Matrix4 m{};
    m[0][0] = float(2 * zn / w);
    m[1][1] = float(2 * zn / h);
    m[2][2] = float(zf / (zf - zn));
    m[2][3] = 1;
    m[3][2] = float(zn * zf / (zn - zf));
    return m;
}

Matrix4 PerspectiveFovLH(double fovy, double aspect, double zn, double zf) {
    const double ys = 1 / std::tan(fovy / 2);
    const double xs = ys / aspect;
    Matrix4 m{};
    m[0][0] = float(xs);
    m[1][1] = float(ys);
    m[2][2] = float(zf / (zf - zn));
    m[2][3] = 1;
    m[3][2] = float(-zn * zf / (zf - zn));
    return m;
}

Matrix4 TranslationMatrix(double x, double y, double z) {
    Matrix4 m = IdentityMatrix();
    m[3] = {float(x), float(y), float(z), 1};
    return m;
}

Matrix4 ScalingMatrix(double x, double y, double z) {
    Matrix4 m{};
    m[0][0] = float(x);
    m[1][1] = float(y);
    m[2][2] = float(z);
    m[3][3] = 1;
    return m;
}

Matrix4 RotationXMatrix(double a) {
    const float c = float(std::cos(a)), s = float(std::sin(a));
    Matrix4 m = IdentityMatrix();
    m[1][1] = c;
    m[1][2] = s;
    m[2][1] = -s;
    m[2][2] = c;
    return m;
}

Matrix4 RotationYMatrix(double a) {
    const float c = float(std::cos(a)), s = float(std::sin(a));
    Matrix4 m = IdentityMatrix();
    m[0][0] = c;
    m[0][2] = -s;
    m[2][0] = s;
    m[2][2] = c;
    return m;
}

Matrix4 RotationZMatrix(double a) {
    const float c = float(std::cos(a)), s = float(std::sin(a));
    Matrix4 m = IdentityMatrix();
    m[0][0] = c;
    m[0][1] = s;
    m[1][0] = -s;
    m[1][1] = c;
    return m;
}

Matrix4 RotationAxisMatrix(Vec3 axis, double a) {
    const Vec3 v = Normal(axis);
    const double c = std::cos(a), s = std::sin(a), t = 1 - c;
    Matrix4 m = IdentityMatrix();
    m[0][0] = float(t * v.x * v.x + c);
    m[0][1] = float(t * v.x * v.y + s * v.z);
    m[0][2] = float(t * v.x * v.z - s * v.y);
    m[1][0] = float(t * v.x * v.y - s * v.z);
    m[1][1] = float(t * v.y * v.y + c);
    m[1][2] = float(t * v.y * v.z + s * v.x);
    m[2][0] = float(t * v.x * v.z + s * v.y);
    m[2][1] = float(t * v.y * v.z - s * v.x);
    m[2][2] = float(t * v.z * v.z + c);
    return m;
}

Vec3 TransformPoint(const Matrix4& m, Vec3 p) {
    double r[4];
    for (int j = 0; j < 4; ++j) r[j] = p.x * m[0][j] + p.y * m[1][j] + p.z * m[2][j] + m[3][j];
    if (r[3] != 0 && r[3] != 1) return {r[0] / r[3], r[1] / r[3], r[2] / r[3]};
    return {r[0], r[1], r[2]};
}

void ProjectionFor2D(double x, double y, double w, double h, double angle, bool perspective,
                     Matrix4& view, Matrix4& projection) {
    const double a = -angle * std::numbers::pi / 180;
    const Vec3 up{std::sin(a), std::cos(a), 0};
    const Vec3 at{x + w / 2, y + h / 2, 0};
    if (perspective) {
        view = LookAtLH({at.x, at.y, -w}, at, up);
        projection = PerspectiveLH(1, h / w, 1, 32000);
    } else {
        view = LookAtLH({at.x, at.y, -16000}, at, up);
        projection = OrthoLH(w, -h, 1, 32000);
    }
}

}  // namespace tb
