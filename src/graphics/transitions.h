// Room transitions: the last picture of the old room and the first of the new one are drawn
// into two surfaces, then an animation between them is shown for transition_steps frames.
#pragma once

#include <cstdint>
#include <string_view>

namespace tb {

class World;
struct Graphics;

constexpr int32_t kBuiltinTransitions = 21;
constexpr int32_t kUserTransitionLimit = 1000000;  // user kinds lie in 1 .. limit - 1

// A built-in kind (1 .. 21) or one the game defined.
bool TransitionExists(const World& w, int32_t kind);

// transition_define: looks the name up among the scripts and extension functions; stores it
// for kinds 1 .. 999999. True when the name was found.
bool DefineTransition(World& w, int32_t kind, std::string_view name);

// When the old room is left: remembers transition_kind and, for a valid kind, draws the old
// room into the first surface and makes the second one the render target, so that the new
// room's first frame lands there.
void CaptureTransition(World& w, Graphics& g);

// After the new room's first frame: plays the captured transition (or just shows the frame),
// frees both surfaces and begins the next frame.
void PlayTransition(World& w, Graphics& g);

// One frame f (0 .. 1) of `kind` from surface a to surface b over a width x height region
// (steps: transition_steps, for the interlaced kinds). The render target is the back buffer.
void DrawTransitionFrame(World& w, Graphics& g, int32_t kind, double f, int32_t steps, int32_t a,
                         int32_t b, int32_t width, int32_t height);

}  // namespace tb
