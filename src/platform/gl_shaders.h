// The shaders of the device. They stand in for the fixed-function pipeline the runner's
// drawing was made for: row-vector transforms with depth 0 .. 1, pixel centres on integer
// coordinates, per-vertex lights, linear fog, modulate or texture-only blending, and the
// alpha test of hidden-surface removal. Each combination of states is its own program
// (compiled on first use from these sources with #defines), so that plain 2D drawing runs
// the shortest shader.
#pragma once

#include <cstdint>

namespace tb::gl {

constexpr int kMaxLights = 8;

// The states a program is built for.
constexpr uint32_t kTextured = 1;
constexpr uint32_t kModulate = 2;   // texture x vertex colour; without it the texture alone
constexpr uint32_t kAlphaTest = 4;  // discard alpha 0
constexpr uint32_t kFog = 8;        // linear fog over the view depth
constexpr uint32_t kRangeFog = 16;  // linear fog over the distance to the eye
constexpr uint32_t kLighting = 32;
constexpr uint32_t kFlat = 64;  // one colour per triangle, from its first vertex
constexpr uint32_t kFeatureCombinations = 128;

inline constexpr const char* kVertexShader = R"(
layout(location = 0) in vec3 a_pos;
layout(location = 1) in vec3 a_normal;
layout(location = 2) in vec4 a_color;
layout(location = 3) in vec2 a_uv;

uniform mat4 u_world;
uniform mat4 u_view;
uniform mat4 u_proj;
uniform vec2 u_half_pixel;  // half a pixel of the viewport in device coordinates

#if LIGHTING
uniform vec3 u_ambient;
uniform bool u_light_on[8];
uniform bool u_light_point[8];
uniform vec3 u_light_vec[8];  // direction, or position of a point light
uniform vec3 u_light_color[8];
uniform float u_light_range[8];
#endif
#if FOG
uniform float u_fog_start;
uniform float u_fog_end;
#endif

#if FLAT
flat out vec4 v_color;
#else
out vec4 v_color;
#endif
out vec2 v_uv;
out float v_fog;

void main() {
    vec4 world = u_world * vec4(a_pos, 1.0);
    vec4 eye = u_view * world;
    vec4 clip = u_proj * eye;
    // Depth 0 .. 1 to -1 .. 1; render targets store the top row first; pixel centres on
    // integer coordinates.
    clip.z = 2.0 * clip.z - clip.w;
    clip.y = -clip.y;
    clip.xy += u_half_pixel * clip.w;
    gl_Position = clip;

    vec4 color = a_color;
#if LIGHTING
    // Vertices without a normal get only the ambient light.
    vec3 n = mat3(u_world) * a_normal;
    float len = length(n);
    n = len > 0.0 ? n / len : vec3(0.0);
    vec3 light = u_ambient;
    for (int i = 0; i < 8; ++i) {
        if (!u_light_on[i]) continue;
        if (u_light_point[i]) {
            vec3 d = u_light_vec[i] - world.xyz;
            float dist = length(d);
            if (u_light_range[i] > 0.0 && dist > u_light_range[i]) continue;
            float linear = u_light_range[i] > 0.0 ? 4.0 / u_light_range[i] : 0.0;
            float att = 1.0 / (1.0 + linear * dist);
            if (dist > 0.0) light += u_light_color[i] * max(dot(n, d / dist), 0.0) * att;
        } else {
            vec3 dir = u_light_vec[i];
            if (length(dir) > 0.0) light += u_light_color[i] * max(dot(n, -normalize(dir)), 0.0);
        }
    }
    color.rgb *= clamp(light, 0.0, 1.0);
#endif
    v_color = color;
    v_uv = a_uv;
#if FOG
    float d = RANGE_FOG != 0 ? length(eye.xyz) : eye.z;
    v_fog = u_fog_end == u_fog_start
                ? (d < u_fog_end ? 1.0 : 0.0)
                : clamp((u_fog_end - d) / (u_fog_end - u_fog_start), 0.0, 1.0);
#else
    v_fog = 1.0;
#endif
}
)";

inline constexpr const char* kFragmentShader = R"(
#if FLAT
flat in vec4 v_color;
#else
in vec4 v_color;
#endif
in vec2 v_uv;
in float v_fog;

uniform sampler2D u_texture;
#if FOG
uniform vec3 u_fog_color;
#endif

out vec4 o_color;

void main() {
#if TEXTURED && MODULATE
    vec4 c = texture(u_texture, v_uv) * v_color;
#elif TEXTURED
    vec4 c = texture(u_texture, v_uv);
#else
    vec4 c = v_color;
#endif
#if ALPHA_TEST
    if (c.a <= 0.0) discard;
#endif
#if FOG
    c.rgb = mix(u_fog_color, c.rgb, v_fog);
#endif
    o_color = c;
}
)";

}  // namespace tb::gl
