// Views that follow their instance: borders, centring, the room bounds, the speed limits, the
// choice of the target, and the view slot table filled from the views.
#include <gtest/gtest.h>

#include <memory>

#include "graphics/room_draw.h"
#include "graphics/window_state.h"
#include "resources/object.h"
#include "resources/room.h"
#include "runner/game.h"
#include "script/engine.h"
#include "world/instance.h"
#include "world/world.h"

namespace tb {
namespace {

struct ViewWorld {
    Game game;
    ScriptEngine engine;
    World world{game, engine};
    WindowState window;

    ViewWorld() {
        engine.game = &game;
        game.last_instance_id = 100000;
        for (int i = 0; i < 2; ++i) game.objects.Add(std::make_unique<CObject>(), "o");
        game.objects.Get(1)->ParentIndex = 0;
        world.rooms.push_back(std::make_unique<CRoom>());
        world.room = 0;
        engine.room = world.Room();
        room().Width = room().Height = 1000;
        room().ViewsEnabled = true;
    }
    CRoom& room() { return *world.Room(); }
    CView& view(int i = 0) { return room().views[size_t(i)]; }
    CInstance& Add(int object, double x, double y) {
        return room().AddInstance(game.objects, game.last_instance_id, object, x, y);
    }
    // View 0 of 100 x 100 at (vx, vy) following object 0, border 32.
    CView& Follow(int vx, int vy) {
        CView& v = view();
        v.Visible = true;
        v.XView = vx;
        v.YView = vy;
        v.WView = v.HView = 100;
        v.Object = 0;
        return v;
    }
};

TEST(RoomViews, FollowingKeepsTheBordersAndTheRoomBounds) {
    struct Case {
        const char* what;
        int view_x;
        double target_x;
        int border, speed, room_width;
        int want;
    };
    const Case cases[] = {
        {"inside the borders: stays", 100, 150, 32, -1, 1000, 100},
        {"past the right border", 0, 90, 32, -1, 1000, 22},
        {"past the left border", 200, 220, 32, -1, 1000, 188},
        {"rounded half to even", 0, 90.5, 32, -1, 1000, 22},
        {"held at the room's left edge", 50, 10, 32, -1, 1000, 0},
        {"held at the room's right edge", 800, 990, 32, -1, 1000, 900},
        {"wide borders centre the target", 0, 501, 60, -1, 1000, 451},
        {"borders of half the width centre too", 0, 500, 50, -1, 1000, 450},
        {"a view wider than the room ends negative", 0, 10, 32, -1, 80, -20},
        {"speed 0 freezes", 0, 500, 32, 0, 1000, 0},
        {"speed 5 moves five to the right", 0, 500, 32, 5, 1000, 5},
        {"speed 5 moves five to the left", 500, 10, 32, 5, 1000, 495},
        {"speed above the distance is no limit", 0, 90, 32, 100, 1000, 22},
    };
    for (const Case& c : cases) {
        ViewWorld vw;
        vw.room().Width = c.room_width;
        CView& v = vw.Follow(c.view_x, 0);
        v.HBorder = c.border;
        v.HSpeed = c.speed;
        vw.Add(0, c.target_x, 50);
        FollowViews(vw.world, vw.window);
        EXPECT_EQ(vw.view().XView, c.want) << c.what;
        EXPECT_EQ(vw.view().YView, 0) << c.what;
    }
}

TEST(RoomViews, VerticalFollowingUsesItsOwnBorderAndSpeed) {
    ViewWorld vw;
    CView& v = vw.Follow(0, 0);
    v.VBorder = 10;
    v.VSpeed = 3;
    vw.Add(0, 50, 95);  // 95 + 10 > 100: wants 5, limited to 3
    FollowViews(vw.world, vw.window);
    EXPECT_EQ(vw.view().XView, 0);
    EXPECT_EQ(vw.view().YView, 3);
}

TEST(RoomViews, TheTargetIsAnInstanceIdOrTheFirstLiveInstanceOfAFamily) {
    ViewWorld vw;
    CView& v = vw.Follow(0, 0);
    CInstance& dead = vw.Add(1, 900, 900);
    dead.destroyed = true;
    CInstance& child = vw.Add(1, 300, 300);  // a child of object 0
    CInstance& other = vw.Add(0, 600, 600);
    FollowViews(vw.world, vw.window);
    EXPECT_EQ(vw.view().XView, 300 + 32 - 100);
    v.Object = other.id;
    FollowViews(vw.world, vw.window);
    EXPECT_EQ(vw.view().XView, 600 + 32 - 100);
    (void)child;
}

TEST(RoomViews, WithoutATargetTheViewDoesNotMove) {
    for (int target : {5, -1, 199999}) {
        ViewWorld vw;
        CView& v = vw.Follow(-50, 2000);  // out of the room, and it stays so
        v.Object = target;
        vw.Add(0, 500, 500);
        FollowViews(vw.world, vw.window);
        EXPECT_EQ(vw.view().XView, -50) << target;
        EXPECT_EQ(vw.view().YView, 2000) << target;
    }
}

TEST(RoomViews, TheSlotTableHoldsTheVisibleViews) {
    ViewWorld vw;
    vw.window.SetViewSlot(5, 0, 1, 1, 1, 1, 1, 1, 1, 1);
    vw.window.SetViewSlot(20, 0, 1, 1, 1, 1, 1, 1, 1, 1);
    CView& v = vw.view(2);
    v.Visible = true;
    v.XView = 10;
    v.YView = 20;
    v.WView = 30;
    v.HView = 40;
    v.XPort = 1;
    v.YPort = 2;
    v.WPort = 3;
    v.HPort = 4;
    v.Angle = 12.5;
    FollowViews(vw.world, vw.window);
    const ViewSlot& s = vw.window.slots[2];
    EXPECT_TRUE(s.used);
    EXPECT_EQ(s.view_x, 10);
    EXPECT_EQ(s.view_y, 20);
    EXPECT_EQ(s.view_w, 30);
    EXPECT_EQ(s.view_h, 40);
    EXPECT_EQ(s.port_x, 1);
    EXPECT_EQ(s.port_y, 2);
    EXPECT_EQ(s.port_w, 3);
    EXPECT_EQ(s.port_h, 4);
    EXPECT_EQ(s.angle, 12.5);
    EXPECT_FALSE(vw.window.slots[5].used);
    EXPECT_TRUE(vw.window.slots[20].used);  // only slots 0 .. 7 belong to the room
    vw.room().ViewsEnabled = false;
    FollowViews(vw.world, vw.window);
    EXPECT_FALSE(vw.window.slots[2].used);
}

}  // namespace
}  // namespace tb
