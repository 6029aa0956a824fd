// 3D mode: the switch, the drawing depth, the camera, the world transform and its stack, the
// lights and the 3D primitive builder. Everything goes through the device; shapes are in
// graphics/d3d_shapes.h and models in graphics/d3d_models.h.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "graphics/d3d_models.h"
#include "graphics/device.h"
#include "graphics/matrix.h"

namespace tb {

struct Graphics;

constexpr int32_t kTransformStackSlots = 1001;
constexpr size_t kMaxBuilderVertices = 1001;

// Where finished primitives go: the device, or the vertex list of a model being built.
class PrimitiveOutput {
  public:
    virtual ~PrimitiveOutput() = default;
    virtual void Draw(Primitive kind, int32_t texture, std::span<const LitVertex> v) = 0;
    // Texture repeat, which shapes switch on around themselves.
    virtual bool Repeat() const = 0;
    virtual void SetRepeat(bool on) = 0;
};

// The 3D primitive builder: begin empties it, vertices past 1001 are dropped, end draws what
// it holds (kinds 1 .. 6 only) and keeps it, so a second end draws it again.
struct Builder3D {
    int32_t kind = 0;
    int32_t texture = -1;
    std::vector<LitVertex> vertices;

    void Begin(int32_t k, int32_t tex) {
        kind = k;
        texture = tex;
        vertices.clear();
    }
    void Vertex(const LitVertex& v) {
        if (vertices.size() < kMaxBuilderVertices) vertices.push_back(v);
    }
    void End(PrimitiveOutput& out) const;
};

// The builder's output onto the device of g.
class DeviceOutput final : public PrimitiveOutput {
  public:
    explicit DeviceOutput(Graphics& g) : g_(g) {}
    void Draw(Primitive kind, int32_t texture, std::span<const LitVertex> v) override;
    bool Repeat() const override;
    void SetRepeat(bool on) override;

  private:
    Graphics& g_;
};

// Process-wide 3D state of a run (3D mode, depth and render states live in the device).
struct D3DState {
    explicit D3DState(GraphicsDevice& device) : models(device) {}

    std::vector<Matrix4> stack;  // grows up to 1001 slots
    int32_t top = -1;            // -1: empty
    Builder3D builder;
    ModelTable models;
};

// Switches 3D mode; on a switch the device is reset (surfaces are lost). False when the reset
// failed: 3D mode is off again then and the caller shows the message.
bool SetMode3D(Graphics& g, bool on);
void SetPerspective(Graphics& g, bool on);

// Camera.
void LookAt(Graphics& g, Vec3 from, Vec3 to, Vec3 up);
// angle: vertical field of view in degrees.
void ProjectionExt(Graphics& g, Vec3 from, Vec3 to, Vec3 up, double angle, double aspect,
                   double znear, double zfar);
void ProjectionOrtho(Graphics& g, double x, double y, double w, double h, double angle);
void ProjectionPerspective(Graphics& g, double x, double y, double w, double h, double angle);

// World transform: set replaces it, add composes W * M (M acts after what is in place).
void TransformSet(Graphics& g, const Matrix4& m);
void TransformAdd(Graphics& g, const Matrix4& m);
// The rotations of the scripts: angle in degrees, negated.
Matrix4 ScriptRotationX(double degrees);
Matrix4 ScriptRotationY(double degrees);
Matrix4 ScriptRotationZ(double degrees);
Matrix4 ScriptRotationAxis(Vec3 axis, double degrees);

// Transform stack.
void StackClear(D3DState& s);
bool StackEmpty(const D3DState& s);
bool StackPush(Graphics& g);
bool StackPop(Graphics& g);
bool StackTop(Graphics& g);
bool StackDiscard(D3DState& s);

// Lights (colours BGR); an index the device does not offer is ignored there.
void LightDirection(Graphics& g, int32_t index, double dx, double dy, double dz, uint32_t bgr);
void LightPoint(Graphics& g, int32_t index, double x, double y, double z, double range,
                uint32_t bgr);
void LightEnable(Graphics& g, int32_t index, bool on);

// A builder vertex; argb from DeviceColor.
inline LitVertex MakeLitVertex(double x, double y, double z, double nx, double ny, double nz,
                               uint32_t argb, double u, double v) {
    return LitVertex{float(x),  float(y), float(z), float(nx), float(ny),
                     float(nz), argb,     float(u), float(v)};
}

}  // namespace tb
