// The files the package installs for the desktop: the MIME type must recognise the game files
// the pack tool writes, and the desktop entry must open that type with the runner.
#include <gtest/gtest.h>

#include <regex>

#include "harness.h"

namespace tb {
namespace {

std::string Packaging(const std::string& name) {
    return test::ReadText(std::string(TAMBERLO_SOURCE_DIR) + "/packaging/" + name);
}

TEST(Package, TheMimeMagicMatchesTheStoredGameFile) {
    const std::string xml = Packaging("tamberlo.xml");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(
        xml, m, std::regex(R"re(<match type="big32" offset="0" value="0x([0-9a-f]{8})"/>)re")))
        << xml;
    const uint32_t magic = uint32_t(std::stoul(m[1].str(), nullptr, 16));
    for (const Game& g : {test::MinimalGame(), test::RichGame()}) {
        const std::vector<uint8_t> file = pack::WriteGameFile(g);
        ASSERT_GE(file.size(), 4u);
        EXPECT_EQ(
            uint32_t(file[0]) << 24 | uint32_t(file[1]) << 16 | uint32_t(file[2]) << 8 | file[3],
            magic);
    }
}

TEST(Package, TheDesktopEntryOpensTheGameTypeWithTheRunner) {
    const std::string xml = Packaging("tamberlo.xml");
    const std::string desktop = Packaging("tamberlo.desktop");
    std::smatch type;
    ASSERT_TRUE(std::regex_search(xml, type, std::regex(R"re(mime-type type="([^"]+)")re")));
    EXPECT_NE(desktop.find("\nMimeType=" + type[1].str() + ";\n"), std::string::npos) << desktop;
    EXPECT_NE(desktop.find("\nExec=tamberlo %f\n"), std::string::npos) << desktop;
    EXPECT_EQ(desktop.rfind("[Desktop Entry]\n", 0), 0u);
}

}  // namespace
}  // namespace tb
