// tamberlo-pack build DIR GAMEFILE | unpack GAMEFILE DIR
#include <cstdio>
#include <string>

#include "pack/game_writer.h"
#include "pack/project.h"
#include "pack/project_error.h"
#include "runner/game_file.h"
#include "runner/temp_dir.h"
#include "runner/version.h"
#include "system/file_bytes.h"

namespace {

const char* kUsage =
    "usage: tamberlo-pack build PROJECT_DIR GAMEFILE   build a game file from a project folder\n"
    "       tamberlo-pack unpack GAMEFILE PROJECT_DIR  write a project folder from a game file\n"
    "       tamberlo-pack --help                       print this usage and exit\n"
    "       tamberlo-pack --version                    print the version and exit\n";

int Build(const std::string& dir, const std::string& out) {
    tb::Game game = tb::pack::LoadProject(dir);
    std::vector<uint8_t> bytes = tb::pack::WriteGameFile(game);
    if (!tb::WriteFileAtomically(out, bytes.data(), bytes.size())) {
        std::fprintf(stderr, "tamberlo-pack: cannot write %s\n", out.c_str());
        return 1;
    }
    std::printf("wrote %s (%zu bytes)\n", out.c_str(), bytes.size());
    return 0;
}

int Unpack(const std::string& file, const std::string& dir) {
    std::vector<uint8_t> bytes;
    if (!tb::ReadFileBytes(file, bytes)) {
        std::fprintf(stderr, "tamberlo-pack: cannot read %s\n", file.c_str());
        return 1;
    }
    // Extension files are written out while loading, as the runner does; they go into a
    // temporary directory that is removed at exit.
    tb::TempDirectory temp([](int n) { return std::rand() % n; },
                           [](std::string_view text) {
                               std::fprintf(stderr, "%.*s\n", int(text.size()), text.data());
                           });
    tb::LoadContext ctx;
    ctx.temp_dir = temp.Path();
    ctx.message = [](std::string_view text) {
        std::fprintf(stderr, "%.*s\n", int(text.size()), text.data());
    };
    ctx.failure = ctx.message;
    tb::Game game;
    std::string failure = tb::LoadGameFile(std::move(bytes), game, ctx);
    if (!failure.empty()) {
        std::fprintf(stderr, "%s\n", failure.c_str());
        return 1;
    }
    tb::pack::SaveProject(game, dir);
    std::printf("unpacked %s into %s\n", file.c_str(), dir.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && std::string(argv[1]) == "--version") {
        std::printf("tamberlo-pack %s\n", tb::kVersion);
        return 0;
    }
    if (argc != 4) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::string verb = argv[1];
    try {
        if (verb == "build") return Build(argv[2], argv[3]);
        if (verb == "unpack") return Unpack(argv[2], argv[3]);
    } catch (const tb::pack::ProjectError& e) {
        std::fprintf(stderr, "tamberlo-pack: %s\n", e.what());
        return 1;
    }
    std::fputs(kUsage, stderr);
    return 2;
}
