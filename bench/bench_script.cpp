// The script language against Lua 5.4 on the same programs, in one run.
// Usage: bench_script [folder with the programs, default bench/script of the source tree]
//        bench_script FOLDER NAME   runs only the script side of one program (for profiling)
//
// NAME.txt holds a program in the script language; lines starting with "#script NAME" begin
// the scripts it calls. NAME.lua is the same program in Lua; it prints its result and the
// processor time of its work (os.clock). Both sides are timed without start-up and compile.
// A first line "#instances N" puts N instances of one object in the running room.
#include <array>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "resources/object.h"
#include "resources/room.h"
#include "runner/game.h"
#include "script/code.h"
#include "script/engine.h"
#include "script/interpreter.h"
#include "script/program.h"
#include "world/instance.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

double CpuSeconds() {
    return double(std::clock()) / CLOCKS_PER_SEC;
}

struct Side {
    double seconds = NAN;
    std::string result;
    size_t nodes = 0;              // of the main unit's code tree
    size_t tree_bytes = 0;         // its resolved nodes, lists and pure-expression code
    size_t instruction_bytes = 0;  // its register instructions and their node table
};

std::string Format(const tb::RValue& v) {
    if (v.IsString()) return "'" + v.text.str() + "'";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", v.real);
    return buf;
}

Side RunScript(const std::string& source) {
    // Split off the "#script NAME" sections.
    std::string main;
    std::vector<std::pair<std::string, std::string>> scripts;
    int instances = 0;
    std::istringstream lines(source);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("#instances ", 0) == 0) {
            instances = std::stoi(line.substr(11));
            continue;
        }
        if (line.rfind("#script ", 0) == 0) {
            scripts.emplace_back(line.substr(8), "");
            continue;
        }
        (scripts.empty() ? main : scripts.back().second) += line + "\r\n";
    }
    tb::Game game;
    tb::CRoom room;
    tb::ScriptEngine engine;
    engine.game = &game;
    engine.room = &room;
    game.last_instance_id = 100000;
    if (instances > 0) {
        game.objects.Add(std::make_unique<tb::CObject>(), "thing");
        for (int i = 0; i < instances; ++i)
            room.AddInstance(game.objects, game.last_instance_id, 0, 0, 0);
    }
    for (auto& [name, text] : scripts) {
        auto script = std::make_unique<tb::CScript>();
        script->SetScriptText(text);
        game.scripts.Add(std::move(script), name);
    }
    Side side;
    for (int i = 0; i < game.scripts.Count(); ++i) {
        const tb::CCode* code = tb::ScriptCode(engine, i);
        if (!code || !code->compiled) {
            side.result = "compile error: " + engine.errors.pending_message;
            return side;
        }
    }
    tb::CCode code{main, false};
    if (!code.Compile(engine)) {
        side.result = "compile error: " + engine.errors.pending_message;
        return side;
    }
    const tb::Program& p = *code.program;
    side.nodes = p.nodes.size();
    side.tree_bytes = p.nodes.size() * sizeof(tb::XNode) + p.kids.size() * sizeof(int32_t) +
                      p.pure.size() * sizeof(tb::PureOp);
    side.instruction_bytes = p.code.size() * (sizeof(tb::MIns) + sizeof(int32_t));
    tb::CInstance self;
    tb::RValue result;
    const double start = CpuSeconds();
    const bool ok = tb::Execute(engine, &self, &self, code, result);
    side.seconds = CpuSeconds() - start;
    side.result = ok ? Format(result) : "error: " + engine.errors.pending_message;
    return side;
}

Side RunLua(const std::string& path) {
    Side side;
    const std::string command = "lua5.4 '" + path + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return side;
    char buf[256] = {};
    std::string out;
    while (std::fgets(buf, sizeof buf, pipe)) out += buf;
    pclose(pipe);
    std::istringstream fields(out);
    fields >> side.result >> side.seconds;
    return side;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : std::string(TAMBERLO_SOURCE_DIR) + "/bench/script";
    if (argc > 2) {
        Side s = RunScript(ReadFile(dir + "/" + argv[2] + ".txt"));
        std::printf("%s %.4f %s\n", argv[2], s.seconds, s.result.c_str());
        return 0;
    }
    const std::array<const char*, 14> programs = {
        "numeric", "while",   "sieve",    "fib",  "variables", "instance", "with",
        "switch",  "strings", "strfuncs", "maps", "textkeys",  "sort",     "search"};
    std::printf("%-10s %12s %12s %8s  %s\n", "program", "script (s)", "lua (s)", "ratio",
                "results");
    // textkeys, sort and search spend their time in library code (maps of texts, sorting,
    // searching texts), where the two sides differ for reasons of their own; the second mean
    // leaves them out.
    const auto interpreted = [](std::string_view name) {
        return name != "textkeys" && name != "sort" && name != "search";
    };
    size_t nodes = 0, tree_bytes = 0, instruction_bytes = 0;
    double log_sum = 0, log_sum_interpreted = 0;
    int counted = 0, counted_interpreted = 0;
    for (const char* name : programs) {
        // The best of five runs on each side, against the noise of a shared machine.
        Side script, lua;
        for (int run = 0; run < 5; ++run) {
            Side s = RunScript(ReadFile(dir + "/" + name + ".txt"));
            Side l = RunLua(dir + "/" + name + ".lua");
            if (run == 0 || s.seconds < script.seconds) script = s;
            if (run == 0 || l.seconds < lua.seconds) lua = l;
        }
        nodes += script.nodes;
        tree_bytes += script.tree_bytes;
        instruction_bytes += script.instruction_bytes;
        const double ratio = script.seconds / lua.seconds;
        if (std::isfinite(ratio) && ratio > 0) {
            log_sum += std::log(ratio);
            ++counted;
            if (interpreted(name)) {
                log_sum_interpreted += std::log(ratio);
                ++counted_interpreted;
            }
        }
        std::printf("%-10s %12.4f %12.4f %8.2f  %s / %s%s\n", name, script.seconds, lua.seconds,
                    ratio, script.result.c_str(), lua.result.c_str(),
                    script.result == lua.result ? "" : "  (DIFFERENT)");
    }
    if (counted > 0) std::printf("geometric mean ratio: %.2f\n", std::exp(log_sum / counted));
    if (nodes > 0)
        std::printf(
            "compiled form per node of code tree: %.1f bytes of nodes, %.1f bytes of "
            "instructions\n",
            double(tree_bytes) / double(nodes), double(instruction_bytes) / double(nodes));
    if (counted_interpreted > 0)
        std::printf("geometric mean ratio of the interpreted workloads: %.2f\n",
                    std::exp(log_sum_interpreted / counted_interpreted));
    return 0;
}
