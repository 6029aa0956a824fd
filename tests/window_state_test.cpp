// The region inside the client area and the mapping between screen, region and room.
#include "graphics/window_state.h"

#include <gtest/gtest.h>

namespace tb {
namespace {

WindowState Window(int32_t rw, int32_t rh, int32_t cw, int32_t ch, double scale) {
    WindowState w;
    w.region_width = rw;
    w.region_height = rh;
    w.client_width = cw;
    w.client_height = ch;
    w.region_scale = scale;
    return w;
}

TEST(WindowStateTest, RegionRectangleForEachKindOfScale) {
    struct Case {
        int32_t rw, rh, cw, ch;
        double scale;
        RegionRect want;
    } const cases[] = {
        {640, 480, 800, 600, 0, {0, 0, 800, 600}},      // stretched over the client
        {640, 480, 1000, 600, -1, {100, 0, 800, 600}},  // keep aspect: factor 1.25
        {640, 480, 640, 1000, -0.01, {0, 260, 640, 480}},
        {100, 50, 300, 300, 2, {50, 100, 200, 100}},   // fixed factor, centred
        {100, 50, 150, 80, 2, {-25, -10, 200, 100}},   // larger than the client
        {101, 51, 300, 300, 1.5, {74, 112, 152, 76}},  // 151.5 and 76.5 round to even
        {0, 0, 300, 300, -1, {150, 150, 0, 0}},        // empty region
    };
    for (const Case& c : cases) {
        const RegionRect r = Window(c.rw, c.rh, c.cw, c.ch, c.scale).RegionInClient();
        EXPECT_EQ(r.x, c.want.x) << c.scale << " " << c.cw;
        EXPECT_EQ(r.y, c.want.y) << c.scale << " " << c.cw;
        EXPECT_EQ(r.width, c.want.width) << c.scale << " " << c.cw;
        EXPECT_EQ(r.height, c.want.height) << c.scale << " " << c.cw;
    }
}

TEST(WindowStateTest, ScreenToRegionAndBack) {
    struct Case {
        WindowState w;
        double px, py;  // screen
        double rx, ry;  // region
    };
    WindowState stretched = Window(640, 480, 800, 600, 0);
    stretched.client_x = 10;
    stretched.client_y = 20;
    WindowState aspect = Window(640, 480, 1000, 600, -1);
    WindowState fixed = Window(100, 50, 300, 300, 2);
    const Case cases[] = {
        {stretched, 410, 320, 320, 240}, {stretched, 10, 20, 0, 0},    {aspect, 100, 0, 0, 0},
        {aspect, 900, 600, 640, 480},    {aspect, 500, 300, 320, 240}, {fixed, 50, 100, 0, 0},
        {fixed, 150, 150, 50, 25},
    };
    for (const Case& c : cases) {
        double rx = 0, ry = 0;
        c.w.ToRegion(c.px, c.py, rx, ry);
        EXPECT_EQ(rx, c.rx) << c.px << "," << c.py;
        EXPECT_EQ(ry, c.ry) << c.px << "," << c.py;
        double px = 0, py = 0;
        c.w.RegionToScreen(c.rx, c.ry, px, py);
        EXPECT_EQ(px, c.px) << c.rx << "," << c.ry;
        EXPECT_EQ(py, c.py) << c.rx << "," << c.ry;
    }
    // A keep-aspect window with an empty region maps everything to 0.
    double rx = 5, ry = 5;
    Window(0, 0, 300, 300, -1).ToRegion(120, 40, rx, ry);
    EXPECT_EQ(rx, 0);
    EXPECT_EQ(ry, 0);
}

TEST(WindowStateTest, ViewMappingWithPortsScalesAndAngles) {
    WindowState w;
    // View (100, 50, 200, 100) shown in port (10, 20, 400, 200): factor 2.
    w.SetViewSlot(0, 0, 100, 50, 200, 100, 10, 20, 400, 200);
    w.SetViewSlot(1, 0.005, 0, 0, 100, 100, 0, 0, 100, 100);
    w.SetViewSlot(2, 0.02, 0, 0, 100, 100, 0, 0, 100, 100);
    w.SetViewSlot(3, 90, 0, 0, 100, 100, 0, 0, 100, 100);
    w.SetViewSlot(4, 0, 0, 0, 100, 100, 0, 0, 0, 100);  // zero port width
    struct Case {
        int slot;
        double rx, ry, x, y;
    } const cases[] = {
        {0, 10, 20, 100, 50}, {0, 411, 221, 300, 150},  // 300.5 and 150.5 round to even
        {1, 0, 0, 0, 0},                                // below 0.01 degrees: not turned
        {2, 0, 0, 0, 0},                                // turned a little: still 0 after rounding
        {2, 0, 100, -0, 100}, {3, 100, 50, 50, 100},    // right of the centre is down in the room
        {3, 50, 0, 100, 50},                            // above the centre is right
        {4, 33, 44, 33, 44},                            // unusable slot: unchanged
        {-1, 7, 8, 7, 8},     {32, 7, 8, 7, 8},        {9, 7, 8, 7, 8},  // unused
    };
    for (const Case& c : cases) {
        double x = 0, y = 0;
        w.ViewToRoom(c.slot, c.rx, c.ry, x, y);
        EXPECT_EQ(x, c.x) << c.slot << ": " << c.rx << "," << c.ry;
        EXPECT_EQ(y, c.y) << c.slot << ": " << c.rx << "," << c.ry;
    }
    // 0.02 degrees does turn: far from the centre the rounding shows it.
    WindowState big;
    big.SetViewSlot(0, 0.02, 0, 0, 20000, 20000, 0, 0, 20000, 20000);
    double x = 0, y = 0;
    big.ViewToRoom(0, 20000, 10000, x, y);
    EXPECT_EQ(y, 10000 + 3);
    big.SetViewSlot(0, 0.005, 0, 0, 20000, 20000, 0, 0, 20000, 20000);
    big.ViewToRoom(0, 20000, 10000, x, y);
    EXPECT_EQ(y, 10000);
}

TEST(WindowStateTest, RoomToViewInvertsViewToRoom) {
    WindowState w;
    w.SetViewSlot(0, 0, 100, 50, 200, 100, 10, 20, 400, 200);
    w.SetViewSlot(1, 30, 40, 40, 120, 80, 5, 5, 240, 160);
    w.SetViewSlot(2, -135, 0, 0, 64, 64, 0, 0, 64, 64);
    for (int slot = 0; slot < 3; ++slot)
        for (double rx : {10.0, 50.0, 137.0})
            for (double ry : {20.0, 61.0, 99.0}) {
                double x = 0, y = 0, bx = 0, by = 0;
                w.ViewToRoom(slot, rx, ry, x, y);
                w.RoomToView(slot, x, y, bx, by);
                // The room position was rounded: the way back may be off by the port's factor.
                EXPECT_NEAR(bx, rx, 2.5) << slot;
                EXPECT_NEAR(by, ry, 2.5) << slot;
            }
    double rx = 0, ry = 0;
    w.RoomToView(9, 3.5, 4.5, rx, ry);  // no slot: the room position rounded
    EXPECT_EQ(rx, 4);
    EXPECT_EQ(ry, 4);
}

TEST(WindowStateTest, ViewsToRoomPrefersTheLastDrawnViewThatHoldsThePoint) {
    WindowState w;
    double x = 0, y = 0;
    w.ViewsToRoom(12, 34, x, y);  // no views: region coordinates
    EXPECT_EQ(x, 12);
    EXPECT_EQ(y, 34);
    // Two ports side by side; slot 1 also overlaps slot 0's port on its left part.
    w.SetViewSlot(0, 0, 0, 0, 100, 100, 0, 0, 100, 100);
    w.SetViewSlot(1, 0, 500, 500, 100, 100, 50, 0, 100, 100);
    struct Case {
        double rx, ry, x, y;
    } const cases[] = {
        {10, 10, 10, 10},    // only view 0 holds the result
        {60, 10, 510, 510},  // both would; the higher slot wins
        {140, 10, 590, 510},
        {300, 300, 300, 300},  // in no view: through the lowest used slot
    };
    for (const Case& c : cases) {
        w.ViewsToRoom(c.rx, c.ry, x, y);
        EXPECT_EQ(x, c.x) << c.rx;
        EXPECT_EQ(y, c.y) << c.rx;
    }
    EXPECT_EQ(w.LowestUsedSlot(), 0);
    w.ClearViewSlot(0);
    EXPECT_EQ(w.LowestUsedSlot(), 1);
    w.ViewsToRoom(300, 300, x, y);
    EXPECT_EQ(x, 750);
    w.ClearViewSlot(40);  // ignored
    w.SetViewSlot(-1, 0, 0, 0, 1, 1, 0, 0, 1, 1);
    EXPECT_EQ(w.LowestUsedSlot(), 1);
}

}  // namespace
}  // namespace tb
