// The particle state of a run: the type and system tables, the built-in shape images, the two
// systems of the simple effects; and the hooks that update and draw systems with the room.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "graphics/device.h"
#include "particles/system.h"
#include "particles/types.h"

namespace tb {

struct Game;
struct Graphics;
class RandomGenerator;
class World;

// The built-in shapes: 64 x 64 grey images (0 transparent, 255 opaque), origin (32, 32).
constexpr int32_t kShapeSize = 64;
std::vector<uint8_t> BuiltinShapeImage(int32_t shape);

// The simple effects' preset types and systems (effects.cpp).
struct EffectState {
    int32_t below = -1, above = -1;  // the two systems
    bool types_made = false;
    // [kind][size]: up to two types each (explosion: the flames and the black cloud).
    std::array<std::array<std::array<int32_t, 2>, 3>, 12> types{};
};

// The one particle system of the particle actions and its type and emitter slots: ids in
// the type table and the system's emitter list, -1 for an empty slot.
struct ActionParticles {
    static constexpr size_t kSlots = 16;
    int32_t system = -1;
    std::array<int32_t, kSlots> types;
    std::array<int32_t, kSlots> emitters;
    ActionParticles() {
        types.fill(-1);
        emitters.fill(-1);
    }
};

class ParticleState {
  public:
    // --- types (ids are indices; destroyed slots are reused)
    int32_t CreateType();
    void DestroyType(int32_t id);
    bool TypeExists(int32_t id) const;
    CParticleType* Type(int32_t id);  // null when it does not exist
    const TypeTable& Types() const { return types_; }

    // --- systems
    int32_t CreateSystem();
    void DestroySystem(int32_t id);
    RParticleSystem* System(int32_t id);  // null when it does not exist
    size_t SystemSlots() const { return systems_.size(); }

    // Every system with automatic update on, in index order.
    void UpdateAll(RandomGenerator& random);
    void Update(int32_t id, RandomGenerator& random);
    // (depth, id) of the systems that draw with the room, highest depth first, each once.
    void Layers(std::vector<std::pair<double, int32_t>>& out) const;
    // Draws one system now into the current target.
    void Draw(Graphics& g, const Game* game, int32_t id);

    EffectState effects;
    ActionParticles actions;

  private:
    // The shape atlas: 14 cells with a one-pixel border repeating their edge, so that
    // interpolation inside a cell never reads its neighbour.
    bool MakeShapes(Graphics& g);
    void DrawParticles(Graphics& g, const Game* game, const RParticleSystem& s);
    void Emit(Graphics& g, DeviceTexture texture, bool additive);

    TypeTable types_;
    std::vector<std::unique_ptr<RParticleSystem>> systems_;
    int32_t shape_texture_ = -1;
    Graphics* shape_owner_ = nullptr;
    std::vector<TexVertex> quads_;  // the run being drawn: kept, no allocation per frame
};

// Plugs the particles into the world: the automatic update after the end-step events, the
// effect systems cleared at room entry, and the systems drawn in the room's depth pass.
void AttachParticles(World& w, ParticleState& particles);

}  // namespace tb
