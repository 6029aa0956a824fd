// The graphics side of a run: preparing the device and the window from the settings, the
// world's frame, window and runner-key hooks, and releasing everything at the end.
#pragma once

namespace tb {

struct Graphics;
class Runner;
class World;

// Fills the runner's prepare_graphics, attach_world and release_graphics stages for `g`,
// which must outlive the run.
void InstallGraphicsStages(Runner& r, Graphics& g);

// "Preparing graphics": the colour-depth question, the device, the window set up from the
// settings, texture filtering, the textures of every resource and the first scene. False
// after its message.
bool PrepareGraphics(Runner& r, Graphics& g);
// Shows frames (and writes them with --frames), fits the window to each room, shows the
// window at game start and sets the cursor; input has its own stages.
void AttachGraphics(Runner& r, World& w, Graphics& g);
void ReleaseGraphicsStage(Runner& r, Graphics& g);

}  // namespace tb
