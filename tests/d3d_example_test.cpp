// The 3D example game, packed from its project folder and run headless to its end.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <vector>

#include "graphics/pictures.h"
#include "harness.h"
#include "system/file_bytes.h"

namespace tb {
namespace {

TEST(D3DExample, TheRoomIsWalkedThroughToTheEnd) {
    test::ScratchDir dir;
    const std::string game = dir / "room3d.game";
    test::ProcessResult r =
        test::RunPack({"build", std::string(TAMBERLO_SOURCE_DIR) + "/examples/room3d", game});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    std::filesystem::create_directories(dir.path / "frames");
    r = test::RunTamberlo({"--headless", "--frames", dir / "frames", game});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.out.find("Walked to ("), std::string::npos) << r.out << r.err;
    EXPECT_EQ(r.err.find("ERROR"), std::string::npos) << r.err;
    // The last frame shows a lit, textured room: many colours, not one.
    std::vector<std::filesystem::path> frames;
    for (const auto& e : std::filesystem::directory_iterator(dir.path / "frames"))
        frames.push_back(e.path());
    ASSERT_FALSE(frames.empty());
    std::sort(frames.begin(), frames.end());
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadFileBytes(frames.back().string(), bytes));
    const Picture p = DecodePicture(bytes.data(), bytes.size());
    ASSERT_TRUE(p.image.exists);
    const std::set<uint32_t> colours(p.image.pixels.begin(), p.image.pixels.end());
    EXPECT_GT(colours.size(), 50u);
}

}  // namespace
}  // namespace tb
