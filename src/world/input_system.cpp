#include "world/input_system.h"

#include "runner/game.h"
#include "script/engine.h"
#include "world/input.h"
#include "world/world.h"

namespace tb {

InputSystem& InputSystem::Attach(World& w, InputHooks hooks, InputOptions options) {
    auto system = std::make_shared<InputSystem>(w, std::move(options));
    w.input.hooks = std::move(hooks);
    system->saved_step_frozen_ = std::move(w.hooks.step_frozen);
    w.hooks.process_messages = [system] { system->ProcessMessages(); };
    w.hooks.step_frozen = [system] { return system->BeginStep(); };
    w.hooks.runner_keys = [system] { RunnerKeys(system->world_); };
    w.hooks.read_joystick = [system](int id, uint32_t& x, uint32_t& y, uint32_t& buttons) {
        const InputState& in = system->world_.input;
        if (id < 0 || id > 1 || !in.joystick_info[size_t(id)].present) return false;
        const JoystickPosition& p = in.joystick[size_t(id)];
        x = p.axes[0];
        y = p.axes[1];
        buttons = p.buttons;
        return true;
    };
    return *system;
}

InputSystem::InputSystem(World& w, InputOptions options) : world_(w), options_(std::move(options)) {
    world_.input.system = this;
    step_waits_ = plain_waits_ = world_.clock.waits;
    // A replay needs every wait to check the messages once, even one with no time left.
    world_.clock.poll_empty_waits = options_.replaying;
    ScriptHost& host = world_.engine.host;
    saved_clear_input_ = host.clear_input;
    host.clear_input = [&w = world_] { w.input.Clear(); };
}

InputSystem::~InputSystem() {
    // The world's hooks go first when it ends: its input state and clock are still there.
    if (world_.input.system == this) world_.input.system = nullptr;
    world_.clock.poll_empty_waits = false;
    world_.engine.host.clear_input = std::move(saved_clear_input_);
    if (options_.recorder) options_.recorder->Flush();
}

InputPoint InputSystem::Here() {
    const LoopClock& c = world_.clock;
    // A check made by a wait itself, not by a script that an event of the check runs.
    const bool in_wait =
        c.wait_serial != 0 && (active_.empty() || active_.back().wait_serial != c.wait_serial);
    if (in_wait) return {step_, c.wait_serial - step_waits_, 0};
    if (c.waits != plain_waits_) {
        plain_waits_ = c.waits;
        plain_count_ = 0;
    }
    return {step_, c.waits - step_waits_, ++plain_count_};
}

bool InputSystem::Due(const InputPoint& at, const InputPoint& here) const {
    if (at == here) return true;
    if (here < at) return false;
    // Earlier: late (the run went another way than the recorded one), unless a check that is
    // still running took it there.
    for (const Active& a : active_)
        if (a.at == at) return false;
    return true;
}

void InputSystem::TakeDue(const InputPoint& here) {
    const std::vector<ReplayEvent>& r = options_.replay;
    while (next_replay_ < r.size() && Due(r[next_replay_].at, here))
        queue_.push_back(r[next_replay_++].event);
}

void InputSystem::ProcessMessages() {
    InputState& in = world_.input;
    const InputPoint here = Here();
    active_.push_back({here, world_.clock.wait_serial});
    if (in.hooks.pump) {
        // The window keeps working during a replay; only its input is dropped.
        incoming_.clear();
        in.hooks.pump(incoming_);
        if (!options_.replaying) {
            queue_.insert(queue_.end(), incoming_.begin(), incoming_.end());
        } else {
            // Closing the window still ends a replay, at once, as Alt+F4 does.
            for (const InputEvent& e : incoming_)
                if (e.kind == InputEventKind::Close) world_.pending_change = kChangeAbort;
        }
    }
    for (;;) {
        // The game's own presses arrive in order with the rest, also those made by the
        // events handled here.
        if (!in.generated.empty()) {
            if (!options_.replaying)
                queue_.insert(queue_.end(), in.generated.begin(), in.generated.end());
            in.generated.clear();
        }
        if (options_.replaying) TakeDue(here);
        if (queue_head_ >= queue_.size()) break;
        InputEvent e = std::move(queue_[queue_head_++]);
        ResolveInputEvent(world_, e);
        // Written before it is handled: what its handler's scripts take comes after it.
        if (options_.recorder) options_.recorder->Write({here, e});
        ApplyInputEvent(world_, e);
        // The character of a key the game pressed, with the shift state of this moment.
        if (e.types && e.kind == InputEventKind::KeyDown)
            if (const int32_t c = CharOfKey(world_.input, e.code)) {
                InputEvent typed;
                typed.kind = InputEventKind::Char;
                typed.code = c;
                queue_.insert(queue_.begin() + std::ptrdiff_t(queue_head_), typed);
            }
    }
    queue_.clear();
    queue_head_ = 0;
    UpdateMouseRoomPosition(world_);
    active_.pop_back();
}

bool InputSystem::BeginStep() {
    ++step_;
    step_waits_ = plain_waits_ = world_.clock.waits;
    plain_count_ = 0;
    if (options_.recorder) options_.recorder->Flush();
    const InputState& in = world_.input;
    bool frozen = world_.game.settings.FreezeOnLoseFocus && !in.window_active;
    if (in.hooks.info_shown && in.hooks.info_shown()) frozen = true;
    if (in.hooks.splash_shown && in.hooks.splash_shown()) frozen = true;
    if (saved_step_frozen_ && saved_step_frozen_()) frozen = true;
    return frozen;
}

bool InputSystem::CanArrive() const {
    if (options_.replaying) {
        const std::vector<ReplayEvent>& r = options_.replay;
        return next_replay_ < r.size() && r[next_replay_].at.step <= step_;
    }
    const InputState& in = world_.input;
    return in.hooks.live || queue_head_ < queue_.size() || !in.generated.empty();
}

void InputSystem::Generate(const InputEvent& e) {
    if (!options_.replaying) world_.input.generated.push_back(e);
}

}  // namespace tb
