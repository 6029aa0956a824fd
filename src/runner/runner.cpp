#include "runner/runner.h"

#include "extensions/extensions.h"
#include "particles/particles.h"
#include "runner/compile_stages.h"
#include "runner/game_file.h"
#include "runner/messages.h"
#include "sound/sound_system.h"
#include "system/file_bytes.h"
#include "system/paths.h"
#include "system/priority.h"
#include "system/system_state.h"
#include "world/world.h"

namespace tb {

namespace {

bool Seed(RandomGenerator& random, const RunnerOptions& options) {
    if (options.seed) random.fixed_seed = uint32_t(*options.seed);
    random.Randomize();
    return true;
}

bool Run(const std::function<bool(Runner&)>& stage, Runner& r) {
    return !stage || stage(r);
}

}  // namespace

Runner::Runner(RunnerOptions opts, RunnerHost h, RunnerStages s)
    : options(std::move(opts)),
      host(std::move(h)),
      stages(std::move(s)),
      seeded_(Seed(engine.random, options)),
      temp([this](int n) { return int(engine.random.Below(uint32_t(n))); },
           [this](std::string_view text) {
               if (host.message) host.message(text);
           }) {
    engine.game = &game;
    engine.host = host.script;
    // Read once at start: a user who switches it on while a game runs gets it next time.
    secure_mode = options.secure || ReadSecureModeFlag(engine.system->registry);
    engine.system->parameters = options.arguments;
    engine.files = {temp.Path(), secure_mode, host.message};
    // A constant that is not valid ends the preparation: its message is part of the failure.
    if (!engine.host.message_box) engine.host.message_box = [this](std::string_view t) { Fail(t); };
    if (!engine.host.call_extension)
        engine.host.call_extension = [this](int id, CInstance* self, CInstance* other, int argc,
                                            const RValue* args, RValue& result) {
            return CallExtension(engine, id, self, other, argc, args, result);
        };
}

void Runner::Progress(int percent, std::string_view caption) {
    if (host.progress) host.progress(percent, caption);
}

void Runner::Fail(std::string_view text) {
    if (host.fail) host.fail(text);
}

bool Runner::LoadGame() {
    if (options.game_path.empty()) return false;
    std::vector<uint8_t> bytes;
    if (!ReadFileBytes(HostPath(options.game_path), bytes)) {
        Fail(msg::kCannotRead);
        return false;
    }

    LoadContext ctx;
    ctx.temp_dir = temp.Path();
    ctx.progress = [this](int p, std::string_view c) { Progress(p, c); };
    ctx.message = host.message;
    ctx.failure = [this](std::string_view text) { Fail(text); };
    ctx.find_builtin = [this](std::string_view name) { return engine.functions.Find(name); };
    HeaderSteps steps;
    steps.show_load_window = host.show_load_window;
    steps.load_graphics_library = [this] { return Run(stages.load_graphics_library, *this); };
    std::string failure = LoadGameFile(std::move(bytes), game, ctx, steps);
    if (!failure.empty()) {
        Fail(failure);
        return false;
    }
    // Libraries the game names are looked for beside the game file first.
    const std::string path = HostPath(options.game_path);
    const size_t slash = path.rfind('/');
    engine.extensions->external.search.game_folder =
        slash == path.npos ? std::string(".") : path.substr(0, slash + 1);
    const GameSettings& s = game.settings;
    engine.settings = {s.UninitializedAsZero, s.DisplayErrors, s.WriteErrors, s.AbortOnError};
    return true;
}

bool Runner::PrepareGame() {
    SetProcessPriority(game.settings.Priority);

    IncludedFileContext files{temp.Path(), secure_mode, host.message};
    Progress(50, "Extracting included files");
    if (!ExportAll(game.included_files, files)) {
        Fail(msg::kExtract);
        return false;
    }
    struct Stage {
        int percent;
        const char* caption;
        const char* failure;
        std::function<bool()> run;
    } const sequence[] = {
        {54, "Preparing extension pacakges", msg::kPrepareExtensions,
         [this] {
             if (secure_mode) engine.files.secure_mode = true;
             return DefineExtensionConstants(engine, game) &&
                    PrepareExtensions(engine, game, temp.Path());
         }},
        {56, "Preparing constants", msg::kConstants,
         [this] { return engine.DefineUserConstants(); }},
        {58, "Compiling scripts", msg::kCompileScripts,
         [this] { return CompileAllScripts(engine, game); }},
        {70, "Compiling time line actions", msg::kCompileTimeLines,
         [this] { return CompileAllTimeLines(engine, game); }},
        {72, "Compiling object actions", msg::kCompileObjects,
         [this] { return CompileAllObjects(engine, game); }},
        {80, "Preparing sounds", msg::kPrepareSounds,
         [this] {
             return stages.prepare_sounds ? stages.prepare_sounds(*this)
                                          : PrepareSounds(*this, false);
         }},
    };
    for (const Stage& stage : sequence) {
        Progress(stage.percent, stage.caption);
        if (!stage.run()) {
            Fail(stage.failure);
            return false;
        }
    }
    Progress(90, "Preparing graphics");
    if (!Run(stages.prepare_graphics, *this)) {
        ReleaseSound();
        return false;
    }
    if (stages.install_input) stages.install_input(*this);
    Progress(100, "Ready");
    if (host.hide_load_window) host.hide_load_window();
    return true;
}

bool Runner::StartRunner() {
    try {
        if (!LoadGame()) return false;
    } catch (const std::exception&) {
        Fail(msg::kCorrupted);
        return false;
    }
    try {
        if (!PrepareGame()) return false;
        if (stop_requested && stop_requested()) return true;
        if ((game.debug || options.debug) && stages.open_debug_window)
            stages.open_debug_window(*this);
        if (stages.run_game)
            stages.run_game(*this);
        else
            RunWorld();
        return true;
    } catch (const std::exception&) {
        Fail(msg::kUnexpected);
        return false;
    }
}

void Runner::RunWorld() {
    World w(game, engine);
    w.clock.virtual_time = options.headless;
    w.steps_left = options.steps;
    w.hooks.stop_requested = stop_requested;
    AttachParticles(w, *engine.particles);
    w.hooks.init_extensions = [this] { return InitialiseExtensions(engine, game); };
    w.hooks.final_extensions = [this] { FinaliseExtensions(engine, game); };
    if (engine.sound) {
        SoundEngine& sound = engine.sound->engine;
        w.hooks.advance_sound = [&sound, &w] { sound.Advance(w.clock.Now()); };
    }
    if (stages.attach_world) stages.attach_world(*this, w);
    world = &w;
    struct Clear {
        World*& world;
        ~Clear() { world = nullptr; }
    } clear{world};
    RunGame(w);
}

void Runner::ReleaseSound() {
    if (stages.release_sound)
        stages.release_sound(*this);
    else
        ReleaseSounds(*this);
}

void Runner::Shutdown() {
    if (stages.release_graphics) stages.release_graphics(*this);
    ReleaseSound();
    IncludedFileContext files{temp.Path(), secure_mode, host.message};
    RemoveAll(game.included_files, files);
}

}  // namespace tb
