// The one shader pair of the device. It stands in for the fixed-function pipeline the runner's
// drawing was made for: row-vector transforms with depth 0 .. 1, pixel centres on integer
// coordinates, per-vertex lights, linear fog, modulate or texture-only blending, and the
// alpha test of hidden-surface removal.
#pragma once

namespace tb::gl {

constexpr int kMaxLights = 8;

inline constexpr const char* kVertexShader = R"(#version 330 core
layout(location = 0) in vec3 a_pos;
layout(location = 1) in vec3 a_normal;
layout(location = 2) in vec4 a_color;
layout(location = 3) in vec2 a_uv;

uniform mat4 u_world;
uniform mat4 u_view;
uniform mat4 u_proj;
uniform vec2 u_half_pixel;  // half a pixel of the viewport in device coordinates

uniform bool u_lighting;
uniform vec3 u_ambient;
uniform bool u_light_on[8];
uniform bool u_light_point[8];
uniform vec3 u_light_vec[8];  // direction, or position of a point light
uniform vec3 u_light_color[8];
uniform float u_light_range[8];

uniform int u_fog_mode;  // 0 off, 1 depth, 2 distance
uniform float u_fog_start;
uniform float u_fog_end;

out vec4 v_color;
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
    if (u_lighting) {
        vec3 n = normalize(mat3(u_world) * a_normal);
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
                light += u_light_color[i] * max(dot(n, -normalize(u_light_vec[i])), 0.0);
            }
        }
        color.rgb *= clamp(light, 0.0, 1.0);
    }
    v_color = color;
    v_uv = a_uv;
    float d = u_fog_mode == 2 ? length(eye.xyz) : eye.z;
    v_fog = u_fog_end == u_fog_start ? (d < u_fog_end ? 1.0 : 0.0)
                                     : clamp((u_fog_end - d) / (u_fog_end - u_fog_start), 0.0, 1.0);
}
)";

inline constexpr const char* kFragmentShader = R"(#version 330 core
in vec4 v_color;
in vec2 v_uv;
in float v_fog;

uniform sampler2D u_texture;
uniform bool u_textured;
uniform bool u_modulate;
uniform bool u_alpha_test;
uniform int u_fog_mode;
uniform vec3 u_fog_color;

out vec4 o_color;

void main() {
    vec4 c = v_color;
    if (u_textured) {
        vec4 t = texture(u_texture, v_uv);
        c = u_modulate ? t * v_color : t;
    }
    if (u_alpha_test && c.a <= 0.0) discard;
    if (u_fog_mode != 0) c.rgb = mix(u_fog_color, c.rgb, v_fog);
    o_color = c;
}
)";

}  // namespace tb::gl
