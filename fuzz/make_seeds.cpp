// Writes seed inputs for both fuzz targets: the example project and the test games, as whole
// game files (DIR/files) and as plain main data blocks (DIR/blocks).
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "pack/game_writer.h"
#include "pack/project.h"
#include "runner/stream.h"

namespace fs = std::filesystem;

static void Write(const fs::path& file, const std::vector<uint8_t>& bytes) {
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_seeds OUT_DIR PROJECT_DIR...\n");
        return 2;
    }
    fs::path out = argv[1];
    fs::create_directories(out / "files");
    fs::create_directories(out / "blocks");
    for (int i = 2; i < argc; ++i) {
        tb::Game g = tb::pack::LoadProject(argv[i]);
        tb::pack::WriteOptions o;
        o.level = 0;  // stored deflate blocks keep the records visible to mutations
        std::string name = fs::path(argv[i]).filename().string();
        Write(out / "files" / (name + ".game"), tb::pack::WriteGameFile(g, o));
        tb::CStream block(tb::pack::WriteMainBlock(g, o));
        Write(out / "blocks" / (name + ".block"), block.data);
    }
    return 0;
}
