// tamberlo [options] GAMEFILE
#include <cstdio>
#include <string>
#include <vector>

#include "platform/host.h"
#include "platform/sdl_input.h"
#include "runner/command_line.h"
#include "runner/game_summary.h"
#include "runner/runner.h"
#include "system/big_stack.h"
#include "system/registry.h"
#include "system/registry_command.h"

static int RunMain(const std::vector<std::string>& args) {
    tb::ParsedCommandLine cl = tb::ParseCommandLine(args);
    if (!cl.error.empty()) {
        std::fprintf(stderr, "tamberlo: %s\n%s\n", cl.error.c_str(), tb::kUsage);
        return 2;
    }
    if (cl.registry.kind != tb::RegistryCommand::Kind::kNone) {
        tb::Registry registry;
        return tb::RunRegistryCommand(cl.registry, registry, stdout, stderr);
    }
    if (cl.options.game_path.empty()) {
        // No game named: nothing to run and no window to show.
        std::fprintf(stderr, "%s\n", tb::kUsage);
        return 1;
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
    if (cl.options.info) {
        if (!runner.LoadGame()) return 1;
        std::fputs(tb::DescribeGame(runner.game).c_str(), stdout);
        return 0;
    }
    platform.InstallStages(runner);
    tb::AddInputStages(runner.stages, input, std::move(input_options));
    if (!runner.StartRunner()) return 1;
    runner.Shutdown();
    return 0;
}

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    // Everything runs on one thread with room for deeply nested script calls.
    return tb::RunWithStack(size_t(512) << 20, [&] { return RunMain(args); });
}
