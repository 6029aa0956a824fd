// tamberlo [options] GAMEFILE
#include <cstdio>
#include <string>
#include <vector>

#include "dialogs/dialogs.h"
#include "platform/debug_window.h"
#include "platform/host.h"
#include "platform/sdl_input.h"
#include "runner/command_line.h"
#include "runner/game_summary.h"
#include "runner/runner.h"
#include "system/big_stack.h"
#include "system/stop_signals.h"
#include "system/writable_folder.h"
#include "system/registry.h"
#include "system/registry_command.h"

static int RunMain(const std::vector<std::string>& args) {
    tb::ParsedCommandLine cl = tb::ParseCommandLine(args);
    if (!cl.error.empty()) {
        std::fprintf(stderr, "tamberlo: %s\n%s\n(tamberlo --help lists the options)\n",
                     cl.error.c_str(), tb::kUsageLine);
        return 2;
    }
    if (cl.help) {
        std::fputs(tb::kUsage, stdout);
        return 0;
    }
    if (cl.version) {
        std::printf("%s\n", tb::VersionText("tamberlo").c_str());
        return 0;
    }
    if (cl.registry.kind != tb::RegistryCommand::Kind::kNone) {
        tb::Registry registry;
        return tb::RunRegistryCommand(cl.registry, registry, stdout, stderr);
    }
    if (cl.options.game_path.empty()) {
        // No game named: nothing to run and no window to show.
        std::fputs(tb::kUsage, stderr);
        return 1;
    }
    if (!cl.options.info && !cl.options.frames_dir.empty()) {
        // A run whose frames cannot be written is refused before it starts, not run blind.
        std::string why;
        if (!tb::PrepareWritableFolder(cl.options.frames_dir, why)) {
            std::fprintf(stderr, "tamberlo: cannot write frames to %s: %s\n",
                         cl.options.frames_dir.c_str(), why.c_str());
            return 2;
        }
    }
    bool headless = cl.options.headless || cl.options.info;
    tb::PlatformHost platform(headless);
    tb::SdlInput input(headless);
    tb::InputOptions input_options;
    if (!cl.options.info) {
        std::string error;
        if (!tb::PrepareInputOptions(cl.options, input_options, error)) {
            std::fprintf(stderr, "tamberlo: %s\n", error.c_str());
            return 2;
        }
    }
    tb::Runner runner(cl.options, platform.MakeRunnerHost());
    // From here on a stop request ends the run cleanly; the temporary directory exists.
    tb::InstallStopSignals(runner.temp.Path());
    runner.stop_requested = [] { return tb::StopSignal() != 0; };
    if (cl.options.info) {
        if (!runner.LoadGame()) return 1;
        std::fputs(tb::DescribeGame(runner.game).c_str(), stdout);
        return 0;
    }
    platform.InstallStages(runner);
    tb::DialogState& dialogs = tb::DialogsOf(runner.engine);
    dialogs.answers = std::move(input_options.dialogs);
    dialogs.recorder = input_options.recorder;
    tb::InputHooks extra;
    extra.show_game_info = [&runner] { tb::ShowGameInformation(runner.engine); };
    tb::AddInputStages(runner.stages, input, std::move(input_options), std::move(extra));
    input.foreign_event = [&platform](const void* e) { platform.DialogEvent(e); };
    tb::DebugWindow debug_window(runner.engine);
    tb::AddDebugWindowStages(runner.stages, input, debug_window);
    if (!runner.StartRunner()) return 1;
    runner.Shutdown();
    return 0;
}

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    // Everything runs on one thread with room for deeply nested script calls.
    const int status = tb::RunWithStack(size_t(512) << 20, [&] { return RunMain(args); });
    // Stopped by a signal: everything is shut down; end the way the signal asks.
    tb::FinishStopSignal();
    return status;
}
