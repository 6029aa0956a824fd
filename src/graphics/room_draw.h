// Drawing the running room: the region size at room start, views that follow their
// instances, the background colour, layers, tiles, instances and foregrounds in depth order,
// the custom cursor, and the window caption.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace tb {

class World;
struct Graphics;
struct Game;
struct CInstance;
struct WindowState;

// The region size for the current room (its size, or the bounding box of the visible views'
// ports), applied to the window and the device when it changed.
void SetRoomRegion(World& w, Graphics& g);

// Moves every visible view after its target and records the views in the view slot table.
void FollowViews(World& w, WindowState& window);

// What a redraw keeps between frames besides the room: whether one is running, and the
// particle layers of the depth pass (kept to avoid an allocation per frame).
struct RoomDrawing {
    bool active = false;
    std::vector<std::pair<double, int32_t>> particles;
};

// Draws what lies in the room rectangle into the current viewport.
void DrawRoomRect(World& w, Graphics& g, RoomDrawing& state, double left, double top, double right,
                  double bottom);

// The whole redraw: views follow, instances and tiles sorted, each visible view drawn into
// its port (or the whole room), the caption rebuilt. It does not present. A redraw asked for
// while one is running (screen_redraw in a Draw event) does nothing.
void RedrawRoom(World& w, Graphics& g, RoomDrawing& state);

// The drawing of an instance without a Draw event: its sprite with the image_* fields.
void DrawInstanceDefault(Graphics& g, const Game& game, const CInstance& inst);

// Plugs the room drawing and the transitions into the world's hooks: draw_room, fit_window,
// capture_screen and show_transition.
void AttachRoomDrawing(World& w, Graphics& g);

}  // namespace tb
