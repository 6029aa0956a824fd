// The command line: options first, then the game file path, which may arrive split at blanks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tb {

struct RunnerOptions {
    bool headless = false;
    bool info = false;             // print a summary of the game file and exit
    bool debug = false;            // open the debug window whatever the game file says
    int64_t steps = -1;            // end the game after this step; -1 = no limit
    std::string frames_dir;        // write every shown frame here
    std::optional<uint32_t> seed;  // replaces every seeding from the clock
    std::string replay_file;
    std::string record_file;
    std::string audio_file;  // the whole mix of the run is written here as a WAV file
    std::string game_path;   // empty: nothing to run
    bool secure = false;     // secure mode whatever the registry says
    // The arguments as the process received them, without the program (parameter_string).
    std::vector<std::string> arguments;
};

// --registry, --registry-set KEY NAME VALUE, --registry-delete KEY [NAME]: change or list the
// per-user registry store instead of running a game.
struct RegistryCommand {
    enum class Kind { kNone, kList, kSet, kDelete } kind = Kind::kNone;
    std::vector<std::string> args;  // KEY NAME VALUE, or KEY [NAME]
};

struct ParsedCommandLine {
    RunnerOptions options;
    RegistryCommand registry;
    bool help = false;     // --help: print kUsage and exit
    bool version = false;  // --version: print kVersionText and exit
    std::string error;     // non-empty: the command line is unusable, say why
};

// `args` excludes the program name. Everything after the options is joined with single blanks.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

// The usage text with every option (--help); kUsageLine is its first line.
extern const char* const kUsage;
extern const char* const kUsageLine;
// "tamberlo VERSION" (--version).
std::string VersionText(const char* program);

}  // namespace tb
