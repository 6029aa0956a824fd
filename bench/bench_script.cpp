// The script language against Lua 5.4 on the same programs, in one run.
// Usage: bench_script [folder with the programs, default bench/script of the source tree]
//        bench_script FOLDER NAME   runs only the script side of one program (for profiling)
//
// NAME.txt holds a program in the script language; lines starting with "#script NAME" begin
// the scripts it calls. NAME.lua is the same program in Lua; it prints its result and the
// processor time of its work (os.clock). Both sides are timed without start-up and compile.
#include <array>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "runner/game.h"
#include "script/code.h"
#include "script/engine.h"
#include "script/interpreter.h"
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
    std::istringstream lines(source);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("#script ", 0) == 0) {
            scripts.emplace_back(line.substr(8), "");
            continue;
        }
        (scripts.empty() ? main : scripts.back().second) += line + "\r\n";
    }
    tb::Game game;
    tb::ScriptEngine engine;
    engine.game = &game;
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
    const std::array<const char*, 9> programs = {"numeric", "sieve",   "strings", "fib", "variables",
                                                 "maps",    "textkeys", "sort",   "search"};
    std::printf("%-10s %12s %12s %8s  %s\n", "program", "script (s)", "lua (s)", "ratio",
                "results");
    double log_sum = 0;
    int counted = 0;
    for (const char* name : programs) {
        // The best of five runs on each side, against the noise of a shared machine.
        Side script, lua;
        for (int run = 0; run < 5; ++run) {
            Side s = RunScript(ReadFile(dir + "/" + name + ".txt"));
            Side l = RunLua(dir + "/" + name + ".lua");
            if (run == 0 || s.seconds < script.seconds) script = s;
            if (run == 0 || l.seconds < lua.seconds) lua = l;
        }
        const double ratio = script.seconds / lua.seconds;
        if (std::isfinite(ratio) && ratio > 0) {
            log_sum += std::log(ratio);
            ++counted;
        }
        std::printf("%-10s %12.4f %12.4f %8.2f  %s / %s%s\n", name, script.seconds, lua.seconds,
                    ratio, script.result.c_str(), lua.result.c_str(),
                    script.result == lua.result ? "" : "  (DIFFERENT)");
    }
    if (counted > 0) std::printf("geometric mean ratio: %.2f\n", std::exp(log_sum / counted));
    return 0;
}
