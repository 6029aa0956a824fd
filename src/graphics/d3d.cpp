#include "graphics/d3d.h"

#include <cmath>
#include <numbers>

#include "graphics/graphics.h"

namespace tb {

namespace {

double Radians(double degrees) {
    return degrees * std::numbers::pi / 180;
}

}  // namespace

void Builder3D::End(PrimitiveOutput& out) const {
    if (kind < 1 || kind > 6) return;
    const size_t n = vertices.size();
    int64_t count = 0;  // primitives
    switch (kind) {
        case 1:
            count = int64_t(n);
            break;
        case 2:
            count = int64_t(n / 2);
            break;
        case 3:
            count = int64_t(n) - 1;
            break;
        case 4:
            count = int64_t(n / 3);
            break;
        default:
            count = int64_t(n) - 2;
            break;
    }
    if (count < 1) return;
    out.Draw(Primitive(kind - 1), texture, vertices);
}

void DeviceOutput::Draw(Primitive kind, int32_t texture, std::span<const LitVertex> v) {
    g_.textures.Select(texture);
    g_.device.Draw(kind, v);
    g_.device.SelectTexture(0);
}

bool DeviceOutput::Repeat() const {
    return g_.device.TextureRepeat();
}

void DeviceOutput::SetRepeat(bool on) {
    g_.device.SetTextureRepeat(on);
}

bool SetMode3D(Graphics& g, bool on) {
    GraphicsDevice& d = g.device;
    if (d.Is3DMode() == on) return true;
    d.Set3DMode(on, on);
    d.SetDepthTest(on);
    if (!d.Exists() || ResetDevice(g)) return true;
    d.Set3DMode(false, false);
    d.SetDepthTest(false);
    ResetDevice(g);
    return false;
}

void SetPerspective(Graphics& g, bool on) {
    g.device.Set3DMode(g.device.Is3DMode(), on);
}

void LookAt(Graphics& g, Vec3 from, Vec3 to, Vec3 up) {
    g.device.SetViewTransform(LookAtLH(from, to, up));
}

void ProjectionExt(Graphics& g, Vec3 from, Vec3 to, Vec3 up, double angle, double aspect,
                   double znear, double zfar) {
    LookAt(g, from, to, up);
    g.device.SetProjectionTransform(PerspectiveFovLH(Radians(angle), aspect, znear, zfar));
}

namespace {

void Projection2D(Graphics& g, double x, double y, double w, double h, double angle,
                  bool perspective) {
    Matrix4 view, projection;
    ProjectionFor2D(x, y, w, h, angle, perspective, view, projection);
    g.device.SetViewTransform(view);
    g.device.SetProjectionTransform(projection);
}

}  // namespace

void ProjectionOrtho(Graphics& g, double x, double y, double w, double h, double angle) {
    Projection2D(g, x, y, w, h, angle, false);
}

void ProjectionPerspective(Graphics& g, double x, double y, double w, double h, double angle) {
    Projection2D(g, x, y, w, h, angle, true);
}

void TransformSet(Graphics& g, const Matrix4& m) {
    g.device.SetWorldTransform(m);
}

void TransformAdd(Graphics& g, const Matrix4& m) {
    g.device.SetWorldTransform(Multiply(g.device.WorldTransform(), m));
}

Matrix4 ScriptRotationX(double degrees) {
    return RotationXMatrix(-Radians(degrees));
}

Matrix4 ScriptRotationY(double degrees) {
    return RotationYMatrix(-Radians(degrees));
}

Matrix4 ScriptRotationZ(double degrees) {
    return RotationZMatrix(-Radians(degrees));
}

Matrix4 ScriptRotationAxis(Vec3 axis, double degrees) {
    return RotationAxisMatrix(axis, -Radians(degrees));
}

void StackClear(D3DState& s) {
    s.top = -1;
}

bool StackEmpty(const D3DState& s) {
    return s.top < 0;
}

bool StackPush(Graphics& g) {
    D3DState& s = g.d3d;
    if (s.top >= kTransformStackSlots - 1) return false;
    ++s.top;
    if (s.stack.size() <= size_t(s.top)) s.stack.resize(size_t(s.top) + 1);
    s.stack[size_t(s.top)] = g.device.WorldTransform();
    return true;
}

bool StackPop(Graphics& g) {
    D3DState& s = g.d3d;
    if (s.top < 0) return false;
    g.device.SetWorldTransform(s.stack[size_t(s.top)]);
    --s.top;
    return true;
}

bool StackTop(Graphics& g) {
    D3DState& s = g.d3d;
    if (s.top < 0) return false;
    g.device.SetWorldTransform(s.stack[size_t(s.top)]);
    return true;
}

bool StackDiscard(D3DState& s) {
    if (s.top < 0) return false;
    --s.top;
    return true;
}

namespace {

// Device lights take ARGB; the script colour has red in its low byte.
uint32_t LightColor(uint32_t bgr) {
    return (bgr & 0xFF) << 16 | (bgr & 0xFF00) | (bgr >> 16 & 0xFF);
}

}  // namespace

void LightDirection(Graphics& g, int32_t index, double dx, double dy, double dz, uint32_t bgr) {
    DeviceLight l;
    l.point = false;
    l.x = float(dx);
    l.y = float(dy);
    l.z = float(dz);
    l.color = LightColor(bgr);
    g.device.SetLight(index, l);
}

void LightPoint(Graphics& g, int32_t index, double x, double y, double z, double range,
                uint32_t bgr) {
    DeviceLight l;
    l.point = true;
    l.x = float(x);
    l.y = float(y);
    l.z = float(z);
    l.range = float(range);
    l.color = LightColor(bgr);
    g.device.SetLight(index, l);
}

void LightEnable(Graphics& g, int32_t index, bool on) {
    g.device.EnableLight(index, on);
}

}  // namespace tb
