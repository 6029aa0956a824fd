#include "runner/command_line.h"

#include <charconv>

namespace tb {

const char* const kUsage =
    "usage: tamberlo [--headless] [--steps N] [--frames DIR] [--seed S] [--replay FILE]\n"
    "                [--record FILE] [--debug] [--info] GAMEFILE";

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
        if (a == "--headless") {
            o.headless = true;
        } else if (a == "--info") {
            o.info = true;
        } else if (a == "--debug") {
            o.debug = true;
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
