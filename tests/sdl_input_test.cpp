// The platform's key codes and typed characters.
#include "platform/sdl_input.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tb {
namespace {

TEST(SdlInput, KeysAsTheVirtualKeyCodesOfTheGames) {
    struct Case {
        const char* scancode;
        bool numlock;
        int32_t key;
    } cases[] = {
        {"A", false, 65},           {"Z", false, 90},
        {"1", false, 49},           {"0", false, 48},
        {"F1", false, 112},         {"F12", false, 123},
        {"Left", false, 37},        {"Up", false, 38},
        {"Right", false, 39},       {"Down", false, 40},
        {"Return", false, 13},      {"Escape", false, 27},
        {"Backspace", false, 8},    {"Tab", false, 9},
        {"Space", false, 32},       {"Keypad 0", true, 96},
        {"Keypad 7", true, 103},    {"Keypad 9", true, 105},
        {"Keypad 7", false, 36},    {"Keypad 5", false, 12},
        {"Keypad 0", false, 45},    {"Keypad .", true, 110},
        {"Keypad .", false, 46},    {"Keypad *", false, 106},
        {"Keypad +", false, 107},   {"Keypad -", false, 109},
        {"Keypad /", false, 111},   {"Keypad Enter", false, 13},
        {"Left Shift", false, 160}, {"Right Shift", false, 161},
        {"Left Ctrl", false, 162},  {"Right Ctrl", false, 163},
        {"Left Alt", false, 164},   {"Right Alt", false, 165},
        {"Numlock", false, 144},    {";", false, 186},
        {"=", false, 187},          {",", false, 188},
        {"-", false, 189},          {".", false, 190},
        {"/", false, 191},          {"`", false, 192},
        {"[", false, 219},          {"\\", false, 220},
        {"]", false, 221},          {"'", false, 222},
        {"Delete", false, 46},      {"Insert", false, 45},
        {"Home", false, 36},        {"End", false, 35},
        {"PageUp", false, 33},      {"PageDown", false, 34},
        {"Pause", false, 19},       {"CapsLock", false, 20},
        {"no such key", false, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(VirtualKeyOfScancodeName(c.scancode, c.numlock), c.key) << c.scancode;
}

TEST(SdlInput, TypedTextInTheGamesCodePage) {
    struct Case {
        std::string utf8;
        std::vector<int32_t> chars;
    } cases[] = {
        {"ab", {'a', 'b'}},
        {"\xC3\xA9", {0xE9}},          // é
        {"\xE2\x82\xAC", {0x80}},      // the euro sign
        {"\xE2\x80\x9C", {0x93}},      // a left double quote
        {"\xE4\xB8\xAD", {}},          // not in the code page
        {"\xF0\x9F\x98\x80x", {'x'}},  // nor outside the basic plane
        {"\x80z", {'z'}},              // a stray continuation byte
        {"\xC3", {}},                  // cut short
    };
    for (const Case& c : cases) {
        std::vector<int32_t> out;
        GameCharacters(c.utf8, out);
        EXPECT_EQ(out, c.chars) << c.utf8;
    }
}

}  // namespace
}  // namespace tb
