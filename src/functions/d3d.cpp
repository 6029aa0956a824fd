// 3D mode and models: the mode and render states, the camera, the world transform and its
// stack, lights, the 3D primitive builder, the six shapes and the model table. Without
// graphics every function does nothing and returns 0.
#include "graphics/d3d.h"

#include <string>

#include "dialogs/dialogs.h"
#include "functions/arguments.h"
#include "functions/register.h"
#include "graphics/d3d_shapes.h"
#include "graphics/graphics.h"
#include "script/engine.h"
#include "script/registry.h"

namespace tb {

namespace {

using Args = const RValue*;

#define D3D_FN(name)                                                         \
    void name([[maybe_unused]] ScriptEngine& e, CInstance*, CInstance*, int, \
              [[maybe_unused]] RValue& result, [[maybe_unused]] Args a)

bool On(const RValue& v) {
    return Number(v) >= 0.5;
}

Vec3 V3(Args a, int at) {
    return {Number(a[at]), Number(a[at + 1]), Number(a[at + 2])};
}

uint32_t Color(const RValue& v) {
    return uint32_t(Int(v));
}

uint32_t DrawArgb(const Graphics& g) {
    return DeviceColor(g.draw.ColorBgr(), g.draw.alpha);
}

// --- mode and render states

D3D_FN(d3d_start) {
    if (!e.graphics) return;
    if (!SetMode3D(*e.graphics, true)) ShowMessageBox(e, "Failed to use 3D mode.", "", "OK", "");
    result.SetReal(e.graphics->device.Is3DMode() ? 1 : 0);
}

D3D_FN(d3d_end) {
    if (!e.graphics) return;
    const bool ok = SetMode3D(*e.graphics, false);
    if (!ok) ShowMessageBox(e, "Failed to use 3D mode.", "", "OK", "");
    result.SetReal(ok ? 1 : 0);
}

D3D_FN(d3d_set_perspective) {
    if (e.graphics) SetPerspective(*e.graphics, On(a[0]));
}

D3D_FN(d3d_set_hidden) {
    if (e.graphics) e.graphics->device.SetDepthTest(On(a[0]));
}

D3D_FN(d3d_set_depth) {
    if (e.graphics) e.graphics->device.SetDepth(Number(a[0]));
}

D3D_FN(d3d_set_lighting) {
    if (e.graphics) e.graphics->device.SetLighting(On(a[0]));
}

D3D_FN(d3d_set_shading) {
    if (e.graphics) e.graphics->device.SetShading(On(a[0]));
}

D3D_FN(d3d_set_fog) {
    if (e.graphics)
        e.graphics->device.SetFog(On(a[0]), Color(a[1]), float(Number(a[2])), float(Number(a[3])));
}

D3D_FN(d3d_set_culling) {
    if (e.graphics) e.graphics->device.SetCulling(On(a[0]));
}

// --- the primitive builder

D3D_FN(d3d_primitive_begin) {
    if (e.graphics) e.graphics->d3d.builder.Begin(Int(a[0]), -1);
}

D3D_FN(d3d_primitive_begin_texture) {
    if (e.graphics) e.graphics->d3d.builder.Begin(Int(a[0]), Int(a[1]));
}

D3D_FN(d3d_primitive_end) {
    if (!e.graphics) return;
    DeviceOutput out(*e.graphics);
    e.graphics->d3d.builder.End(out);
}

// A builder vertex: normal at a[n] (or none when n < 0), texture at a[t], colour at a[c].
void Vertex(ScriptEngine& e, Args a, int n, int t, int c) {
    if (!e.graphics) return;
    Graphics& g = *e.graphics;
    const uint32_t argb = c < 0 ? DrawArgb(g) : DeviceColor(Color(a[c]), Number(a[c + 1]));
    const Vec3 p = V3(a, 0);
    const Vec3 normal = n < 0 ? Vec3{} : V3(a, n);
    const double u = t < 0 ? 0 : Number(a[t]), v = t < 0 ? 0 : Number(a[t + 1]);
    g.d3d.builder.Vertex(MakeLitVertex(p.x, p.y, p.z, normal.x, normal.y, normal.z, argb, u, v));
}

D3D_FN(d3d_vertex) {
    Vertex(e, a, -1, -1, -1);
}
D3D_FN(d3d_vertex_color) {
    Vertex(e, a, -1, -1, 3);
}
D3D_FN(d3d_vertex_texture) {
    Vertex(e, a, -1, 3, -1);
}
D3D_FN(d3d_vertex_texture_color) {
    Vertex(e, a, -1, 3, 5);
}
D3D_FN(d3d_vertex_normal) {
    Vertex(e, a, 3, -1, -1);
}
D3D_FN(d3d_vertex_normal_color) {
    Vertex(e, a, 3, -1, 6);
}
D3D_FN(d3d_vertex_normal_texture) {
    Vertex(e, a, 3, 6, -1);
}
D3D_FN(d3d_vertex_normal_texture_color) {
    Vertex(e, a, 3, 6, 8);
}

// --- shapes: x1, y1, z1, x2, y2, z2, texid, hrepeat, vrepeat (, closed, steps)

ShapeBox BoxOf(Args a) {
    return {Number(a[0]), Number(a[1]), Number(a[2]), Number(a[3]), Number(a[4]), Number(a[5])};
}

template <class F>
void Shape(ScriptEngine& e, F draw) {
    if (!e.graphics) return;
    Graphics& g = *e.graphics;
    DeviceOutput out(g);
    draw(g.d3d.builder, out, DrawArgb(g));
}

D3D_FN(d3d_draw_block) {
    Shape(e, [a](Builder3D& b, PrimitiveOutput& out, uint32_t c) {
        ShapeBlock(b, out, BoxOf(a), Int(a[6]), Number(a[7]), Number(a[8]), c);
    });
}
D3D_FN(d3d_draw_cylinder) {
    Shape(e, [a](Builder3D& b, PrimitiveOutput& out, uint32_t c) {
        ShapeCylinder(b, out, BoxOf(a), Int(a[6]), Number(a[7]), Number(a[8]), On(a[9]), Int(a[10]),
                      c);
    });
}
D3D_FN(d3d_draw_cone) {
    Shape(e, [a](Builder3D& b, PrimitiveOutput& out, uint32_t c) {
        ShapeCone(b, out, BoxOf(a), Int(a[6]), Number(a[7]), Number(a[8]), On(a[9]), Int(a[10]), c);
    });
}
D3D_FN(d3d_draw_ellipsoid) {
    Shape(e, [a](Builder3D& b, PrimitiveOutput& out, uint32_t c) {
        ShapeEllipsoid(b, out, BoxOf(a), Int(a[6]), Number(a[7]), Number(a[8]), Int(a[9]), c);
    });
}
D3D_FN(d3d_draw_wall) {
    Shape(e, [a](Builder3D& b, PrimitiveOutput& out, uint32_t c) {
        ShapeWall(b, out, BoxOf(a), Int(a[6]), Number(a[7]), Number(a[8]), c);
    });
}
D3D_FN(d3d_draw_floor) {
    Shape(e, [a](Builder3D& b, PrimitiveOutput& out, uint32_t c) {
        ShapeFloor(b, out, BoxOf(a), Int(a[6]), Number(a[7]), Number(a[8]), c);
    });
}

// --- camera

D3D_FN(d3d_set_projection) {
    if (e.graphics) LookAt(*e.graphics, V3(a, 0), V3(a, 3), V3(a, 6));
}

D3D_FN(d3d_set_projection_ext) {
    if (e.graphics)
        ProjectionExt(*e.graphics, V3(a, 0), V3(a, 3), V3(a, 6), Number(a[9]), Number(a[10]),
                      Number(a[11]), Number(a[12]));
}

D3D_FN(d3d_set_projection_ortho) {
    if (e.graphics)
        ProjectionOrtho(*e.graphics, Number(a[0]), Number(a[1]), Number(a[2]), Number(a[3]),
                        Number(a[4]));
}

D3D_FN(d3d_set_projection_perspective) {
    if (e.graphics)
        ProjectionPerspective(*e.graphics, Number(a[0]), Number(a[1]), Number(a[2]), Number(a[3]),
                              Number(a[4]));
}

// --- world transform

void Set(ScriptEngine& e, const Matrix4& m) {
    if (e.graphics) TransformSet(*e.graphics, m);
}
void Add(ScriptEngine& e, const Matrix4& m) {
    if (e.graphics) TransformAdd(*e.graphics, m);
}

D3D_FN(d3d_transform_set_identity) {
    Set(e, IdentityMatrix());
}
D3D_FN(d3d_transform_set_translation) {
    Set(e, TranslationMatrix(Number(a[0]), Number(a[1]), Number(a[2])));
}
D3D_FN(d3d_transform_set_scaling) {
    Set(e, ScalingMatrix(Number(a[0]), Number(a[1]), Number(a[2])));
}
D3D_FN(d3d_transform_set_rotation_x) {
    Set(e, ScriptRotationX(Number(a[0])));
}
D3D_FN(d3d_transform_set_rotation_y) {
    Set(e, ScriptRotationY(Number(a[0])));
}
D3D_FN(d3d_transform_set_rotation_z) {
    Set(e, ScriptRotationZ(Number(a[0])));
}
D3D_FN(d3d_transform_set_rotation_axis) {
    Set(e, ScriptRotationAxis(V3(a, 0), Number(a[3])));
}
D3D_FN(d3d_transform_add_translation) {
    Add(e, TranslationMatrix(Number(a[0]), Number(a[1]), Number(a[2])));
}
D3D_FN(d3d_transform_add_scaling) {
    Add(e, ScalingMatrix(Number(a[0]), Number(a[1]), Number(a[2])));
}
D3D_FN(d3d_transform_add_rotation_x) {
    Add(e, ScriptRotationX(Number(a[0])));
}
D3D_FN(d3d_transform_add_rotation_y) {
    Add(e, ScriptRotationY(Number(a[0])));
}
D3D_FN(d3d_transform_add_rotation_z) {
    Add(e, ScriptRotationZ(Number(a[0])));
}
D3D_FN(d3d_transform_add_rotation_axis) {
    Add(e, ScriptRotationAxis(V3(a, 0), Number(a[3])));
}

D3D_FN(d3d_transform_stack_clear) {
    if (e.graphics) StackClear(e.graphics->d3d);
}
D3D_FN(d3d_transform_stack_empty) {
    if (e.graphics) result.SetReal(StackEmpty(e.graphics->d3d) ? 1 : 0);
}
D3D_FN(d3d_transform_stack_push) {
    if (e.graphics) result.SetReal(StackPush(*e.graphics) ? 1 : 0);
}
D3D_FN(d3d_transform_stack_pop) {
    if (e.graphics) result.SetReal(StackPop(*e.graphics) ? 1 : 0);
}
D3D_FN(d3d_transform_stack_top) {
    if (e.graphics) result.SetReal(StackTop(*e.graphics) ? 1 : 0);
}
D3D_FN(d3d_transform_stack_discard) {
    if (e.graphics) result.SetReal(StackDiscard(e.graphics->d3d) ? 1 : 0);
}

// --- lights

D3D_FN(d3d_light_define_direction) {
    if (e.graphics)
        LightDirection(*e.graphics, Int(a[0]), Number(a[1]), Number(a[2]), Number(a[3]),
                       Color(a[4]));
}

D3D_FN(d3d_light_define_point) {
    if (e.graphics)
        LightPoint(*e.graphics, Int(a[0]), Number(a[1]), Number(a[2]), Number(a[3]), Number(a[4]),
                   Color(a[5]));
}

D3D_FN(d3d_light_enable) {
    if (e.graphics) LightEnable(*e.graphics, Int(a[0]), On(a[1]));
}

// --- models

ModelTable* Models(ScriptEngine& e) {
    return e.graphics ? &e.graphics->d3d.models : nullptr;
}

std::string Text(const RValue& v) {
    return v.IsString() ? v.text.str() : std::string();
}

D3D_FN(d3d_model_create) {
    if (ModelTable* m = Models(e)) result.SetReal(m->Create());
}
D3D_FN(d3d_model_destroy) {
    if (ModelTable* m = Models(e)) m->Destroy(Int(a[0]));
}
D3D_FN(d3d_model_clear) {
    if (ModelTable* m = Models(e)) m->Clear(Int(a[0]));
}
// The results of loading and saving do not reach the script.
D3D_FN(d3d_model_load) {
    if (ModelTable* m = Models(e)) m->Load(Int(a[0]), Text(a[1]));
}
D3D_FN(d3d_model_save) {
    if (ModelTable* m = Models(e)) m->Save(Int(a[0]), Text(a[1]));
}
D3D_FN(d3d_model_draw) {
    if (e.graphics)
        DrawModel(*e.graphics, Int(a[0]), Number(a[1]), Number(a[2]), Number(a[3]), Int(a[4]));
}

// Appends a command: the arguments after the index in order, those at `rounded` (a bit per
// value) stored as rounded integers, those at `flags` as 1 or 0.
void Record(ScriptEngine& e, Args a, int32_t type, int count, uint32_t rounded = 0,
            uint32_t flags = 0) {
    ModelTable* m = Models(e);
    if (!m) return;
    ModelCommand c;
    c.type = type;
    for (int i = 0; i < count; ++i) {
        const double v = Number(a[i + 1]);
        c.v[size_t(i)] = (rounded >> i & 1) ? double(Int(a[i + 1]))
                         : (flags >> i & 1) ? (v >= 0.5 ? 1 : 0)
                                            : v;
    }
    m->Add(Int(a[0]), c);
}

constexpr uint32_t Bit(int i) {
    return uint32_t(1) << i;
}

D3D_FN(d3d_model_primitive_begin) {
    Record(e, a, kModelBegin, 1, Bit(0));
}
D3D_FN(d3d_model_primitive_end) {
    Record(e, a, kModelEnd, 0);
}
D3D_FN(d3d_model_vertex) {
    Record(e, a, kModelVertex, 3);
}
D3D_FN(d3d_model_vertex_color) {
    Record(e, a, kModelVertexColor, 5, Bit(3));
}
D3D_FN(d3d_model_vertex_texture) {
    Record(e, a, kModelVertexTexture, 5);
}
D3D_FN(d3d_model_vertex_texture_color) {
    Record(e, a, kModelVertexTextureColor, 7, Bit(5));
}
D3D_FN(d3d_model_vertex_normal) {
    Record(e, a, kModelVertexNormal, 6);
}
D3D_FN(d3d_model_vertex_normal_color) {
    Record(e, a, kModelVertexNormalColor, 8, Bit(6));
}
D3D_FN(d3d_model_vertex_normal_texture) {
    Record(e, a, kModelVertexNormalTexture, 8);
}
D3D_FN(d3d_model_vertex_normal_texture_color) {
    Record(e, a, kModelVertexNormalTextureColor, 10, Bit(8));
}
D3D_FN(d3d_model_block) {
    Record(e, a, kModelBlock, 8);
}
D3D_FN(d3d_model_cylinder) {
    Record(e, a, kModelCylinder, 10, Bit(9), Bit(8));
}
D3D_FN(d3d_model_cone) {
    Record(e, a, kModelCone, 10, Bit(9), Bit(8));
}
D3D_FN(d3d_model_ellipsoid) {
    Record(e, a, kModelEllipsoid, 9, Bit(8));
}
D3D_FN(d3d_model_wall) {
    Record(e, a, kModelWall, 8);
}
D3D_FN(d3d_model_floor) {
    Record(e, a, kModelFloor, 8);
}

#undef D3D_FN

}  // namespace

void RegisterD3dFunctions(FunctionRegistry& r) {
    r.Register("d3d_start", &d3d_start, 0);
    r.Register("d3d_end", &d3d_end, 0);
    r.Register("d3d_set_perspective", &d3d_set_perspective, 1);
    r.Register("d3d_set_hidden", &d3d_set_hidden, 1);
    r.Register("d3d_set_depth", &d3d_set_depth, 1);
    r.Register("d3d_set_lighting", &d3d_set_lighting, 1);
    r.Register("d3d_set_shading", &d3d_set_shading, 1);
    r.Register("d3d_set_fog", &d3d_set_fog, 4);
    r.Register("d3d_set_culling", &d3d_set_culling, 1);
    r.Register("d3d_primitive_begin", &d3d_primitive_begin, 1);
    r.Register("d3d_primitive_begin_texture", &d3d_primitive_begin_texture, 2);
    r.Register("d3d_primitive_end", &d3d_primitive_end, 0);
    r.Register("d3d_vertex", &d3d_vertex, 3);
    r.Register("d3d_vertex_color", &d3d_vertex_color, 5);
    r.Register("d3d_vertex_texture", &d3d_vertex_texture, 5);
    r.Register("d3d_vertex_texture_color", &d3d_vertex_texture_color, 7);
    r.Register("d3d_vertex_normal", &d3d_vertex_normal, 6);
    r.Register("d3d_vertex_normal_color", &d3d_vertex_normal_color, 8);
    r.Register("d3d_vertex_normal_texture", &d3d_vertex_normal_texture, 8);
    r.Register("d3d_vertex_normal_texture_color", &d3d_vertex_normal_texture_color, 10);
    r.Register("d3d_draw_block", &d3d_draw_block, 9);
    r.Register("d3d_draw_cylinder", &d3d_draw_cylinder, 11);
    r.Register("d3d_draw_cone", &d3d_draw_cone, 11);
    r.Register("d3d_draw_ellipsoid", &d3d_draw_ellipsoid, 10);
    r.Register("d3d_draw_wall", &d3d_draw_wall, 9);
    r.Register("d3d_draw_floor", &d3d_draw_floor, 9);
    r.Register("d3d_set_projection", &d3d_set_projection, 9);
    r.Register("d3d_set_projection_ext", &d3d_set_projection_ext, 13);
    r.Register("d3d_set_projection_ortho", &d3d_set_projection_ortho, 5);
    r.Register("d3d_set_projection_perspective", &d3d_set_projection_perspective, 5);
    r.Register("d3d_transform_set_identity", &d3d_transform_set_identity, 0);
    r.Register("d3d_transform_set_translation", &d3d_transform_set_translation, 3);
    r.Register("d3d_transform_set_scaling", &d3d_transform_set_scaling, 3);
    r.Register("d3d_transform_set_rotation_x", &d3d_transform_set_rotation_x, 1);
    r.Register("d3d_transform_set_rotation_y", &d3d_transform_set_rotation_y, 1);
    r.Register("d3d_transform_set_rotation_z", &d3d_transform_set_rotation_z, 1);
    r.Register("d3d_transform_set_rotation_axis", &d3d_transform_set_rotation_axis, 4);
    r.Register("d3d_transform_add_translation", &d3d_transform_add_translation, 3);
    r.Register("d3d_transform_add_scaling", &d3d_transform_add_scaling, 3);
    r.Register("d3d_transform_add_rotation_x", &d3d_transform_add_rotation_x, 1);
    r.Register("d3d_transform_add_rotation_y", &d3d_transform_add_rotation_y, 1);
    r.Register("d3d_transform_add_rotation_z", &d3d_transform_add_rotation_z, 1);
    r.Register("d3d_transform_add_rotation_axis", &d3d_transform_add_rotation_axis, 4);
    r.Register("d3d_transform_stack_clear", &d3d_transform_stack_clear, 0);
    r.Register("d3d_transform_stack_empty", &d3d_transform_stack_empty, 0);
    r.Register("d3d_transform_stack_push", &d3d_transform_stack_push, 0);
    r.Register("d3d_transform_stack_pop", &d3d_transform_stack_pop, 0);
    r.Register("d3d_transform_stack_top", &d3d_transform_stack_top, 0);
    r.Register("d3d_transform_stack_discard", &d3d_transform_stack_discard, 0);
    r.Register("d3d_light_define_direction", &d3d_light_define_direction, 5);
    r.Register("d3d_light_define_point", &d3d_light_define_point, 6);
    r.Register("d3d_light_enable", &d3d_light_enable, 2);
    r.Register("d3d_model_create", &d3d_model_create, 0);
    r.Register("d3d_model_destroy", &d3d_model_destroy, 1);
    r.Register("d3d_model_clear", &d3d_model_clear, 1);
    r.Register("d3d_model_load", &d3d_model_load, 2);
    r.Register("d3d_model_save", &d3d_model_save, 2);
    r.Register("d3d_model_draw", &d3d_model_draw, 5);
    r.Register("d3d_model_primitive_begin", &d3d_model_primitive_begin, 2);
    r.Register("d3d_model_primitive_end", &d3d_model_primitive_end, 1);
    r.Register("d3d_model_vertex", &d3d_model_vertex, 4);
    r.Register("d3d_model_vertex_color", &d3d_model_vertex_color, 6);
    r.Register("d3d_model_vertex_texture", &d3d_model_vertex_texture, 6);
    r.Register("d3d_model_vertex_texture_color", &d3d_model_vertex_texture_color, 8);
    r.Register("d3d_model_vertex_normal", &d3d_model_vertex_normal, 7);
    r.Register("d3d_model_vertex_normal_color", &d3d_model_vertex_normal_color, 9);
    r.Register("d3d_model_vertex_normal_texture", &d3d_model_vertex_normal_texture, 9);
    r.Register("d3d_model_vertex_normal_texture_color", &d3d_model_vertex_normal_texture_color, 11);
    r.Register("d3d_model_block", &d3d_model_block, 9);
    r.Register("d3d_model_cylinder", &d3d_model_cylinder, 11);
    r.Register("d3d_model_cone", &d3d_model_cone, 11);
    r.Register("d3d_model_ellipsoid", &d3d_model_ellipsoid, 10);
    r.Register("d3d_model_wall", &d3d_model_wall, 9);
    r.Register("d3d_model_floor", &d3d_model_floor, 9);
}

}  // namespace tb
