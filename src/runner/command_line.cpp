#include "runner/command_line.h"

#include <charconv>

#include "runner/version.h"

namespace tb {

const char* const kUsageLine = "usage: tamberlo [options] GAMEFILE";

// One option per line: the option list of the README follows this text.
const char* const kUsage =
    "usage: tamberlo [options] GAMEFILE\n"
    "\n"
    "Runs a game file. Options come first; the remaining arguments, joined with single\n"
    "blanks, name the game file.\n"
    "\n"
    "options:\n"
    "  --headless            no visible window, no audio output, no real-time waiting: a\n"
    "                        virtual clock advances exactly 1/room_speed per step\n"
    "  --steps N             end the game after step N\n"
    "  --frames DIR          write every shown frame as DIR/frame_NNNNNN.png\n"
    "  --seed S              seed the random generator with S wherever the game would seed\n"
    "                        it from the clock\n"
    "  --replay FILE         play back the input of a run recorded with --record\n"
    "  --record FILE         record the input of a run, step by step\n"
    "  --audio FILE          write the whole sound mix of the run as a WAV file\n"
    "  --debug               open the debug window even when the game file is not marked\n"
    "                        for debugging\n"
    "  --secure              secure mode for this run, whatever the registry says\n"
    "  --info                print a summary of the game file and exit\n"
    "  --registry            list the per-user registry store and exit\n"
    "  --registry-set KEY NAME VALUE\n"
    "                        set a value in the per-user registry store and exit\n"
    "  --registry-delete KEY [NAME]\n"
    "                        delete a value (or a whole key) of the per-user registry store\n"
    "                        and exit\n"
    "  --help                print this usage and exit\n"
    "  --version             print the version and exit\n"
    "\n"
    "A failure while loading or preparing the game writes its message to standard error and\n"
    "exits with status 1; a bad command line exits with status 2.\n";

std::string VersionText(const char* program) {
    return std::string(program) + " " + kVersion;
}

namespace {

template <class T>
bool ParseNumber(const std::string& text, T& out) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    ParsedCommandLine r;
    RunnerOptions& o = r.options;
    o.arguments = args;
    size_t i = 0;
    auto value = [&](const std::string& flag) -> const std::string* {
        if (i + 1 >= args.size()) {
            r.error = flag + " needs a value";
            return nullptr;
        }
        return &args[++i];
    };
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--") {
            ++i;
            break;
        }
        if (a.size() < 2 || a.compare(0, 2, "--") != 0) break;
        const std::string* v = nullptr;
        if (a == "--help") {
            r.help = true;
            return r;
        } else if (a == "--version") {
            r.version = true;
            return r;
        } else if (a == "--headless") {
            o.headless = true;
        } else if (a == "--info") {
            o.info = true;
        } else if (a == "--debug") {
            o.debug = true;
        } else if (a == "--secure") {
            o.secure = true;
        } else if (a == "--registry" || a == "--registry-set" || a == "--registry-delete") {
            // The rest of the line belongs to the command.
            std::vector<std::string> rest(args.begin() + long(i) + 1, args.end());
            using Kind = RegistryCommand::Kind;
            if (a == "--registry" && rest.empty()) {
                r.registry.kind = Kind::kList;
            } else if (a == "--registry-set" && rest.size() == 3) {
                r.registry.kind = Kind::kSet;
            } else if (a == "--registry-delete" && (rest.size() == 1 || rest.size() == 2)) {
                r.registry.kind = Kind::kDelete;
            } else {
                r.error = a == "--registry"       ? "--registry takes nothing after it"
                          : a == "--registry-set" ? "--registry-set takes KEY NAME VALUE"
                                                  : "--registry-delete takes KEY [NAME]";
                return r;
            }
            r.registry.args = std::move(rest);
            return r;
        } else if (a == "--steps") {
            if (!(v = value(a))) return r;
            if (!ParseNumber(*v, o.steps) || o.steps < 0) r.error = "--steps takes a step number";
        } else if (a == "--seed") {
            if (!(v = value(a))) return r;
            uint32_t seed;
            if (ParseNumber(*v, seed))
                o.seed = seed;
            else
                r.error = "--seed takes a whole number from 0 to 4294967295";
        } else if (a == "--frames") {
            if (!(v = value(a))) return r;
            o.frames_dir = *v;
        } else if (a == "--replay") {
            if (!(v = value(a))) return r;
            o.replay_file = *v;
        } else if (a == "--audio") {
            if (!(v = value(a))) return r;
            o.audio_file = *v;
        } else if (a == "--record") {
            if (!(v = value(a))) return r;
            o.record_file = *v;
        } else {
            r.error = "unknown option " + a;
        }
        if (!r.error.empty()) return r;
    }
    for (size_t first = i; i < args.size(); ++i) {
        if (i > first) o.game_path += ' ';
        o.game_path += args[i];
    }
    return r;
}

}  // namespace tb
