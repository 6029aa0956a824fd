#include "particles/particles.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <span>

#include "graphics/graphics.h"
#include "particles/effects.h"
#include "resources/sprite.h"
#include "runner/game.h"
#include "script/engine.h"
#include "world/world.h"

namespace tb {

namespace {

constexpr double kRad = std::numbers::pi / 180;
// Systems at this depth or below are never reached by the room's depth pass.
constexpr double kDeepestParticleLayer = -1e8;
constexpr int32_t kCell = kShapeSize + 2;  // a shape and its border in the atlas
constexpr int32_t kAtlasColumns = 4;
constexpr int32_t kAtlasSize = kCell * kAtlasColumns;
// A long run goes to the device in pieces of this many vertices (the device joins them).
constexpr size_t kRunVertices = 6 * 8192;

double Wave(double f) {
    return (f > 2 ? 4 - f : f) - 1;
}

template <class T>
int32_t FirstFree(const std::vector<T>& list) {
    for (size_t i = 0; i < list.size(); ++i)
        if (!list[i].exists) return int32_t(i);
    return int32_t(list.size());
}

}  // namespace

// --- types

int32_t ParticleState::CreateType() {
    const int32_t id = FirstFree(types_);
    if (size_t(id) == types_.size()) types_.emplace_back();
    types_[size_t(id)] = CParticleType{};
    types_[size_t(id)].exists = true;
    return id;
}

void ParticleState::DestroyType(int32_t id) {
    if (CParticleType* t = Type(id)) t->exists = false;
}

bool ParticleState::TypeExists(int32_t id) const {
    return id >= 0 && size_t(id) < types_.size() && types_[size_t(id)].exists;
}

CParticleType* ParticleState::Type(int32_t id) {
    return TypeExists(id) ? &types_[size_t(id)] : nullptr;
}

// --- systems

int32_t ParticleState::CreateSystem() {
    size_t id = 0;
    while (id < systems_.size() && systems_[id]->exists) ++id;
    if (id == systems_.size()) systems_.push_back(std::make_unique<RParticleSystem>());
    RParticleSystem& s = *systems_[id];
    s.Clear();
    s.exists = true;
    return int32_t(id);
}

void ParticleState::DestroySystem(int32_t id) {
    if (RParticleSystem* s = System(id)) {
        s->Clear();
        s->exists = false;
    }
}

RParticleSystem* ParticleState::System(int32_t id) {
    if (id < 0 || size_t(id) >= systems_.size() || !systems_[size_t(id)]->exists) return nullptr;
    return systems_[size_t(id)].get();
}

void ParticleState::UpdateAll(RandomGenerator& random) {
    for (size_t i = 0; i < systems_.size(); ++i) {
        RParticleSystem& s = *systems_[i];
        if (s.exists && s.auto_update) s.Update(types_, random);
    }
}

void ParticleState::Update(int32_t id, RandomGenerator& random) {
    if (RParticleSystem* s = System(id)) s->Update(types_, random);
}

void ParticleState::Layers(std::vector<std::pair<double, int32_t>>& out) const {
    out.clear();
    for (size_t i = 0; i < systems_.size(); ++i) {
        const RParticleSystem& s = *systems_[i];
        if (s.exists && s.auto_draw && s.depth > kDeepestParticleLayer)
            out.emplace_back(s.depth, int32_t(i));
    }
    // Equal depths in index order (std::sort: no buffer to allocate per frame).
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
}

// --- drawing

bool ParticleState::MakeShapes(Graphics& g) {
    if (shape_owner_ == &g && g.textures.Exists(shape_texture_)) return true;
    std::vector<uint8_t> atlas(size_t(kAtlasSize) * kAtlasSize, 0);
    for (int32_t k = 0; k < kBuiltinShapes; ++k) {
        const std::vector<uint8_t> image = BuiltinShapeImage(k);
        const int32_t ox = (k % kAtlasColumns) * kCell, oy = (k / kAtlasColumns) * kCell;
        for (int32_t y = -1; y <= kShapeSize; ++y)
            for (int32_t x = -1; x <= kShapeSize; ++x) {
                const int32_t sx = std::clamp(x, 0, kShapeSize - 1);
                const int32_t sy = std::clamp(y, 0, kShapeSize - 1);
                atlas[size_t(oy + 1 + y) * kAtlasSize + size_t(ox + 1 + x)] =
                    image[size_t(sy) * kShapeSize + size_t(sx)];
            }
    }
    shape_texture_ = g.textures.FromAlpha(kAtlasSize, kAtlasSize, atlas.data());
    shape_owner_ = &g;
    return shape_texture_ >= 0;
}

void ParticleState::Emit(Graphics& g, DeviceTexture texture, bool additive) {
    if (quads_.empty()) return;
    GraphicsDevice& d = g.device;
    if (additive) d.SetBlendMode(1);
    d.SetTextureRepeat(false);
    d.SelectTexture(texture);
    d.Draw(Primitive::TriangleList, std::span<const TexVertex>(quads_));
    if (additive) d.SetBlendMode(0);
    quads_.clear();
}

void ParticleState::Draw(Graphics& g, const Game* game, int32_t id) {
    const RParticleSystem* s = System(id);
    if (!s || s->particles.empty() || !g.device.Exists()) return;
    const bool interpolation = g.device.Interpolation();
    g.device.SetInterpolation(true);
    DrawParticles(g, game, *s);
    g.device.SetInterpolation(interpolation);
}

void ParticleState::DrawParticles(Graphics& g, const Game* game, const RParticleSystem& s) {
    const RTexture* shapes = MakeShapes(g) ? g.textures.Get(shape_texture_) : nullptr;
    const float z = float(g.device.Depth());
    DeviceTexture run_texture = 0;
    bool run_additive = false;
    quads_.clear();
    const size_t n = s.particles.size();
    for (size_t k = 0; k < n; ++k) {
        const Particle& p = s.particles[s.old_to_new ? k : n - 1 - k];
        if (p.life <= 0 || p.type < 0 || size_t(p.type) >= types_.size()) continue;
        const CParticleType& t = types_[size_t(p.type)];
        if (!t.exists) continue;
        // The image: the type's sprite when it exists, else the built-in shape.
        const RTexture* tex = nullptr;
        double xo, yo, u0, v0, u1, v1;
        const CSprite* sprite = game && t.sprite >= 0 ? game->sprites.Get(t.sprite) : nullptr;
        if (sprite) {
            const int32_t frames = sprite->FrameCount();
            if (frames == 0) continue;
            int64_t frame = p.image;
            if (t.animate)
                frame = t.stretch && p.life > 0
                            ? int64_t(std::floor(double(frames) * p.age / p.life)) + p.image
                            : int64_t(p.image) + p.age;
            tex = g.textures.Get(sprite->GetTexture(frame));
            if (!tex) continue;
            xo = sprite->XOrigin;
            yo = sprite->YOrigin;
            u0 = v0 = 0;
            u1 = double(tex->width) / tex->texture_width;
            v1 = double(tex->height) / tex->texture_height;
        } else {
            if (t.shape < 0 || t.shape >= kBuiltinShapes || !shapes) continue;
            tex = shapes;
            xo = yo = kShapeSize / 2;
            const int32_t cx = (t.shape % kAtlasColumns) * kCell + 1;
            const int32_t cy = (t.shape / kAtlasColumns) * kCell + 1;
            u0 = double(cx) / tex->texture_width;
            v0 = double(cy) / tex->texture_height;
            u1 = double(cx + kShapeSize) / tex->texture_width;
            v1 = double(cy + kShapeSize) / tex->texture_height;
        }
        const double width = sprite ? tex->width : kShapeSize;
        const double height = sprite ? tex->height : kShapeSize;
        if (tex->texture != run_texture || t.additive != run_additive) {
            Emit(g, run_texture, run_additive);
            run_texture = tex->texture;
            run_additive = t.additive;
        }
        // Like draw_sprite_ext at the particle's room position.
        double size = p.size;
        if (t.size_wiggle != 0)
            size += t.size_wiggle * Wave(double((int64_t(p.age) + int64_t(p.seed)) % 16) / 4);
        double angle = p.orientation + (t.ang_relative ? p.Direction() : 0);
        if (t.ang_wiggle != 0)
            angle += t.ang_wiggle * Wave(double((int64_t(p.age) + 2 * int64_t(p.seed)) % 16) / 4);
        const double xs = t.xscale * size, ys = t.yscale * size;
        const double left = -xs * xo - 0.5, top = -ys * yo - 0.5;
        const double right = left + width * xs, bottom = top + height * ys;
        const double px = p.x + s.x, py = p.y + s.y;
        const double a = angle * kRad;
        const bool turn = std::abs(a) >= 0.01;
        const double ca = turn ? std::cos(a) : 1, sa = turn ? std::sin(a) : 0;
        const uint32_t argb = DeviceColor(p.color, p.alpha);
        const double cx[4] = {left, right, right, left}, cy[4] = {top, top, bottom, bottom};
        const double cu[4] = {u0, u1, u1, u0}, cv[4] = {v0, v0, v1, v1};
        TexVertex v[4];
        for (int i = 0; i < 4; ++i) {
            const double vx = px + cx[i] * ca + cy[i] * sa;
            const double vy = py - cx[i] * sa + cy[i] * ca;
            v[i] = {float(vx), float(vy), z, argb, float(cu[i]), float(cv[i])};
        }
        for (int i : {0, 1, 2, 0, 2, 3}) quads_.push_back(v[i]);
        if (quads_.size() >= kRunVertices) Emit(g, run_texture, run_additive);
    }
    Emit(g, run_texture, run_additive);
}

// --- the world's hooks

void AttachParticles(World& w, ParticleState& particles) {
    w.hooks.particles = [&w, &particles] { particles.UpdateAll(w.engine.random); };
    w.hooks.clear_particles = [&particles] { ClearEffects(particles); };
    w.hooks.particle_layers = [&particles](std::vector<std::pair<double, int32_t>>& out) {
        particles.Layers(out);
    };
    w.hooks.draw_particles = [&w, &particles](int32_t id) {
        if (w.engine.graphics) particles.Draw(*w.engine.graphics, &w.game, id);
    };
}

}  // namespace tb
