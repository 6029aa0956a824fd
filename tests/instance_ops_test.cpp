// The coupled fields of an instance: motion derivations, the collision box, sprite changes,
// alarms, path positions, copying state and the instance record.
#include "world/instance_ops.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <numbers>

#include "runner/game.h"
#include "world/instance.h"

namespace tb {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct SpriteSpec {
    int32_t width, height, xorig, yorig;
    int32_t left, top, right, bottom;
    int frames = 1;
    bool precise = false;
};

int AddSprite(Game& g, const SpriteSpec& s) {
    auto sp = std::make_unique<CSprite>();
    sp->Width = s.width;
    sp->Height = s.height;
    sp->XOrigin = s.xorig;
    sp->YOrigin = s.yorig;
    sp->BBoxLeft = s.left;
    sp->BBoxTop = s.top;
    sp->BBoxRight = s.right;
    sp->BBoxBottom = s.bottom;
    sp->Precise = s.precise;
    for (int i = 0; i < s.frames; ++i) sp->frames.emplace_back(s.width, s.height);
    return g.sprites.Add(std::move(sp), "spr");
}

struct Box {
    int32_t left, top, right, bottom;
    bool operator==(const Box&) const = default;
};
Box BoxOf(const CInstance& i) {
    return {i.bbox_left, i.bbox_top, i.bbox_right, i.bbox_bottom};
}
std::ostream& operator<<(std::ostream& os, const Box& b) {
    return os << b.left << ".." << b.right << " x " << b.top << ".." << b.bottom;
}

// --- motion

struct Motion {
    double hspeed, vspeed, direction, speed;
};

TEST(InstanceMotion, DerivationsFollowTheLastSetter) {
    struct Case {
        const char* what;
        void (*apply)(CInstance&);
        Motion expected;
    } cases[] = {
        {"vspeed 3", [](CInstance& i) { SetVspeed(i, 3); }, {0, 3, 270, 3}},
        {"vspeed -3", [](CInstance& i) { SetVspeed(i, -3); }, {0, -3, 90, 3}},
        {"both back to 0",
         [](CInstance& i) {
             SetVspeed(i, 3);
             SetVspeed(i, 0);
         },
         {0, 0, 0, 0}},
        {"3, 4",
         [](CInstance& i) {
             SetHspeed(i, 3);
             SetVspeed(i, 4);
         },
         {3, 4, 360 - std::atan2(4.0, 3.0) * 180 / std::numbers::pi, 5}},
        {"direction 90 speed 5",
         [](CInstance& i) {
             SetDirection(i, 90);
             SetSpeed(i, 5);
         },
         {0, -5, 90, 5}},
        {"direction 180 speed 2",
         [](CInstance& i) {
             SetDirection(i, 180);
             SetSpeed(i, 2);
         },
         {-2, 0, 180, 2}},
        {"negative speed stays negative", [](CInstance& i) { SetSpeed(i, -2); }, {-2, 0, 0, -2}},
        {"equal hspeed changes nothing",
         [](CInstance& i) {
             SetSpeed(i, -2);
             SetHspeed(i, -2);
         },
         {-2, 0, 0, -2}},
        {"vspeed re-derives a positive speed",
         [](CInstance& i) {
             SetSpeed(i, -2);
             SetVspeed(i, 1);
         },
         {-2, 1, 360 - std::atan2(1.0, -2.0) * 180 / std::numbers::pi, std::sqrt(5.0)}},
        {"near-integer speed snaps",
         [](CInstance& i) {
             SetHspeed(i, 3.00001);
             SetVspeed(i, 0.000001);
         },
         {3.00001, 0.000001, 0, 3}},
        {"add motion up from rest", [](CInstance& i) { AddMotion(i, 2, 90); }, {0, -2, 90, 2}},
        {"add motion against the motion",
         [](CInstance& i) {
             SetHspeed(i, 1);
             AddMotion(i, 3, 180);
         },
         {-2, 0, 180, 2}},
    };
    for (const Case& c : cases) {
        CInstance i;
        c.apply(i);
        EXPECT_NEAR(i.hspeed, c.expected.hspeed, 1e-12) << c.what;
        EXPECT_NEAR(i.vspeed, c.expected.vspeed, 1e-12) << c.what;
        EXPECT_DOUBLE_EQ(i.direction, c.expected.direction) << c.what;
        EXPECT_DOUBLE_EQ(i.speed, c.expected.speed) << c.what;
    }
}

TEST(InstanceMotion, SnappedComponentsAreExact) {
    CInstance i;
    SetHspeed(i, 3);
    SetVspeed(i, 4);
    EXPECT_EQ(i.speed, 5.0);  // exact, not merely near
    SetDirection(i, 90);      // speed 5 kept
    EXPECT_EQ(i.hspeed, 0.0);
    EXPECT_FALSE(std::signbit(i.hspeed));
    EXPECT_EQ(i.vspeed, -5.0);
    SetDirection(i, 0);  // -sin(0) * 5 is -0 before snapping
    EXPECT_EQ(i.vspeed, 0.0);
    EXPECT_FALSE(std::signbit(i.vspeed));
}

TEST(InstanceMotion, DirectionWrapsIntoOneTurn) {
    struct Case {
        double set, stored;
    } cases[] = {{-90, 270}, {720, 0}, {370, 10}, {-720, 0}, {359.5, 359.5}, {-1e-20, 0}};
    for (const Case& c : cases) {
        CInstance i;
        i.direction = 45;  // so that every case differs from the stored value
        SetDirection(i, c.set);
        EXPECT_EQ(i.direction, c.stored) << c.set;
        EXPECT_GE(i.direction, 0);
        EXPECT_LT(i.direction, 360);
    }
}

TEST(InstanceMotion, EqualValuesRecomputeNothing) {
    CInstance i;
    SetHspeed(i, 3);
    SetVspeed(i, 4);
    // Stale components reveal whether a setter re-derived them.
    i.hspeed = 100;
    SetDirection(i, i.direction);
    SetSpeed(i, 5);
    EXPECT_EQ(i.hspeed, 100);
    SetSpeed(i, 6);
    EXPECT_NEAR(i.hspeed, 3.6, 1e-12);
}

// --- the collision box

TEST(InstanceBox, BoxCases) {
    const SpriteSpec square{32, 32, 16, 16, 0, 0, 31, 31};
    const SpriteSpec wide{40, 20, 0, 0, 0, 0, 39, 19};
    struct Case {
        const char* what;
        SpriteSpec sprite;
        double x, y, xscale, yscale, angle;
        Box expected;
    } cases[] = {
        {"plain", square, 100, 100, 1, 1, 0, {84, 84, 115, 115}},
        {"mirrored swaps the edges", square, 100, 100, -1, 1, 0, {83, 84, 116, 115}},
        {"flipped swaps the edges", square, 100, 100, 1, -1, 0, {84, 83, 115, 116}},
        {"doubled", square, 100, 100, 2, 2, 0, {68, 68, 131, 131}},
        {"halves round to even", square, 100.5, 99.5, 1, 1, 0, {84, 84, 116, 114}},
        {"square turned a quarter", square, 100, 100, 1, 1, 90, {84, 85, 115, 116}},
        {"wide turned a quarter points up", wide, 100, 100, 1, 1, 90, {100, 61, 119, 100}},
        {"wide turned half", wide, 100, 100, 1, 1, 180, {61, 81, 100, 100}},
    };
    for (const Case& c : cases) {
        Game g;
        AddSprite(g, c.sprite);
        CInstance i;
        i.mask_index = -1;
        i.x = c.x;
        i.y = c.y;
        i.image_xscale = c.xscale;
        i.image_yscale = c.yscale;
        i.image_angle = c.angle;
        ComputeBoundingBox(i, g);
        EXPECT_EQ(BoxOf(i), c.expected) << c.what;
    }
}

TEST(InstanceBox, MaskSpriteChoosesTheBoxAndPrecision) {
    Game g;
    const int drawn = AddSprite(g, {32, 32, 16, 16, 0, 0, 31, 31, 1, false});
    const int mask = AddSprite(g, {8, 8, 0, 0, 0, 0, 7, 7, 1, true});
    CInstance i;
    i.x = i.y = 100;
    i.sprite_index = drawn;
    i.mask_index = -1;
    ComputeBoundingBox(i, g);
    EXPECT_EQ(BoxOf(i), (Box{84, 84, 115, 115}));
    EXPECT_FALSE(i.precise);
    SetMask(i, g, mask);
    EXPECT_EQ(BoxOf(i), (Box{100, 100, 107, 107}));
    EXPECT_TRUE(i.precise);
    // A mask that names no sprite gives the no-sprite box even with a sprite to draw.
    SetMask(i, g, 7);
    EXPECT_EQ(BoxOf(i), (Box{kNoBox, kNoBox, kNoBox, kNoBox}));
    EXPECT_FALSE(i.precise);
    SetMask(i, g, -1);
    SetSprite(i, g, -1);
    EXPECT_EQ(BoxOf(i), (Box{kNoBox, kNoBox, kNoBox, kNoBox}));
}

TEST(InstanceBox, SettersRecomputeOnlyOnChange) {
    Game g;
    AddSprite(g, {32, 32, 16, 16, 0, 0, 31, 31});
    CInstance i;
    i.mask_index = -1;
    SetPosition(i, g, 100, 100);
    ASSERT_EQ(BoxOf(i), (Box{84, 84, 115, 115}));
    // A stale box shows which calls recomputed it.
    const Box stale{1, 2, 3, 4};
    auto make_stale = [&] {
        i.bbox_left = stale.left, i.bbox_top = stale.top;
        i.bbox_right = stale.right, i.bbox_bottom = stale.bottom;
    };
    make_stale();
    SetPosition(i, g, 100, 100);
    SetXScale(i, g, 1);
    SetYScale(i, g, 1);
    SetAngle(i, g, 0);
    EXPECT_EQ(BoxOf(i), stale);
    SetPosition(i, g, 100, 110);
    EXPECT_EQ(BoxOf(i), (Box{84, 94, 115, 125}));
    make_stale();
    SetXScale(i, g, 2);
    EXPECT_EQ(BoxOf(i), (Box{68, 94, 131, 125}));
    make_stale();
    SetAngle(i, g, 90);
    EXPECT_NE(BoxOf(i), stale);
}

TEST(InstanceBox, PositionsWithoutAnIntegerBoxStayDefined) {
    Game g;
    AddSprite(g, {32, 32, 16, 16, 0, 0, 31, 31});
    CInstance i;
    i.mask_index = -1;
    SetPosition(i, g, 1e300, -1e300);
    EXPECT_EQ(BoxOf(i), (Box{INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN}));
    SetPosition(i, g, kNaN, 0);
    EXPECT_EQ(i.bbox_left, kNoBox);
    EXPECT_EQ(i.bbox_right, kNoBox);
    EXPECT_EQ(i.bbox_top, -16);
}

// --- sprite, object, creation

TEST(InstanceSprite, ChangingTheSpriteResetsAnImageOutOfRange) {
    Game g;
    const int four = AddSprite(g, {8, 8, 0, 0, 0, 0, 7, 7, 4});
    const int two = AddSprite(g, {8, 8, 0, 0, 0, 0, 7, 7, 2});
    struct Case {
        double image_index;
        int sprite;
        double after;
    } cases[] = {
        {3.7, two, 0}, {1.9, two, 1.9}, {2.0, two, 0}, {3.7, four, 3.7},
        {0.5, -1, 0},  {-1, two, -1},   {0.5, 9, 0},
    };
    for (const Case& c : cases) {
        CInstance i;
        i.sprite_index = four;
        i.image_index = c.image_index;
        SetSprite(i, g, c.sprite);
        EXPECT_EQ(i.image_index, c.after) << c.image_index << " -> sprite " << c.sprite;
        EXPECT_EQ(i.sprite_index, c.sprite);
    }
    CInstance i;
    i.sprite_index = four;
    EXPECT_EQ(ImageNumber(i, g), 4);
    i.sprite_index = 5;
    EXPECT_EQ(ImageNumber(i, g), 0);
}

struct InstanceWorld : ::testing::Test {
    Game g;
    CRoom room;
    int sprite = 0;
    int object = 0;

    void SetUp() override {
        g.last_instance_id = 100000;
        AddSprite(g, {1, 1, 0, 0, 0, 0, 0, 0, 1});  // sprite 0: what an object-less instance gets
        sprite = AddSprite(g, {32, 32, 16, 16, 0, 0, 31, 31, 3, true});
        auto o = std::make_unique<CObject>();
        o->SpriteIndex = sprite;
        o->MaskIndex = -1;
        o->Depth = -7;
        o->Solid = true;
        o->Visible = false;
        o->Persistent = true;
        object = g.objects.Add(std::move(o), "obj");
    }
};

TEST_F(InstanceWorld, CreatedInstanceTakesTheObjectsFields) {
    CInstance& a = CreateInstance(room, g, object, 100, 100);
    EXPECT_EQ(a.id, 100001);
    EXPECT_EQ(g.last_instance_id, 100001);
    EXPECT_EQ(a.object, g.objects.Get(object));
    EXPECT_EQ(a.sprite_index, sprite);
    EXPECT_EQ(a.mask_index, -1);
    EXPECT_EQ(a.depth, -7);
    EXPECT_TRUE(a.solid);
    EXPECT_FALSE(a.visible);
    EXPECT_TRUE(a.persistent);
    EXPECT_TRUE(a.precise);
    EXPECT_EQ(BoxOf(a), (Box{84, 84, 115, 115}));
    for (double v : {a.x, a.y, a.xstart, a.ystart, a.xprevious, a.yprevious}) EXPECT_EQ(v, 100);
    CInstance& b = CreateInstance(room, g, object, 0, 0);
    EXPECT_EQ(b.id, 100002);
    ASSERT_EQ(room.InstancesOfObject(object).size(), 2u);
    EXPECT_EQ(room.InstancesOfObject(object)[1], &b);
    EXPECT_EQ(room.InstanceCount(), 2);
}

TEST_F(InstanceWorld, InitWithoutAnObjectLeavesObjectFieldsAtZero) {
    CInstance i;
    i.variables.Set(100000, 0, RValue::Real(1));
    i.alarm[3] = 9;
    InitInstance(i, g, 100500, 42, 10, 20);
    EXPECT_EQ(i.id, 100500);
    EXPECT_EQ(i.object_index, 42);
    EXPECT_EQ(i.object, nullptr);
    EXPECT_EQ(i.sprite_index, 0);
    EXPECT_EQ(i.mask_index, 0);
    EXPECT_EQ(i.depth, 0);
    EXPECT_FALSE(i.solid || i.visible || i.persistent);
    EXPECT_EQ(i.variables.Count(), 0);
    EXPECT_EQ(i.alarm[3], -1);
    // Mask 0 names sprite 0, a single pixel at its origin.
    EXPECT_EQ(BoxOf(i), (Box{10, 20, 10, 20}));
    InitInstance(i, g, 100501, object, 50, 60);
    EXPECT_EQ(i.sprite_index, sprite);
    EXPECT_EQ(BoxOf(i), (Box{34, 44, 65, 75}));
}

TEST_F(InstanceWorld, SetObjectReplacesSpriteMaskDepthAndFlags) {
    CInstance i;
    InitInstance(i, g, 100001, 99, 100, 100);
    i.image_index = 2.5;
    i.hspeed = 4;
    SetObject(i, g, object);
    EXPECT_EQ(i.object_index, object);
    EXPECT_EQ(i.sprite_index, sprite);
    EXPECT_EQ(i.image_index, 2.5);  // the sprite has three images
    EXPECT_EQ(i.depth, -7);
    EXPECT_EQ(BoxOf(i), (Box{84, 84, 115, 115}));
    EXPECT_EQ(i.hspeed, 4);
}

// --- alarms and path positions

TEST(InstanceFields, AlarmsOutsideTheRange) {
    CInstance i;
    for (int a = 0; a < 12; ++a) SetAlarm(i, a, a * 10);
    EXPECT_EQ(GetAlarm(i, 11), 110);
    for (int bad : {12, -1, 1000, INT32_MIN}) {
        EXPECT_EQ(GetAlarm(i, bad), -1) << bad;
        SetAlarm(i, bad, 7);
    }
    for (int a = 0; a < 12; ++a) EXPECT_EQ(i.alarm[size_t(a)], a * 10);
}

TEST(InstanceFields, PathPositionsAreClamped) {
    struct Case {
        double set, stored;
    } cases[] = {{0.25, 0.25}, {1.5, 1}, {-0.2, 0}, {kNaN, 0}, {1, 1}, {-INFINITY, 0}};
    for (const Case& c : cases) {
        CInstance i;
        SetPathPosition(i, c.set);
        SetPathPositionPrevious(i, c.set);
        EXPECT_EQ(i.path_position, c.stored) << c.set;
        EXPECT_EQ(i.path_positionprevious, c.stored) << c.set;
    }
}

// --- copying and the record

// Every field distinct from its default.
CInstance Sample(const Game& g, int object) {
    CInstance i;
    InitInstance(i, g, 100123, object, 12.5, -3.25);
    i.image_index = 1.5;
    i.image_speed = 0.25;
    i.image_xscale = 2;
    i.image_yscale = -1;
    i.image_angle = 33;
    i.image_alpha = 0.5;
    i.image_blend = 0x123456;
    i.xstart = 4;
    i.ystart = 5;
    i.xprevious = 6;
    i.yprevious = 7;
    i.direction = 45;
    i.speed = 3;
    i.friction = 0.1;
    i.gravity_direction = 180;
    i.gravity = 0.2;
    i.hspeed = 2;
    i.vspeed = -2;
    i.bbox_left = 1;  // a stored box that matches no computation
    i.bbox_right = 2;
    i.bbox_top = 3;
    i.bbox_bottom = 4;
    i.alarm = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    i.destroyed = true;
    i.deactivated = true;
    i.path_index = 3;
    i.path_position = 0.75;
    i.path_positionprevious = 0.5;
    i.path_speed = -4;
    i.path_scale = 2;
    i.path_orientation = 90;
    i.path_endaction = 2;
    i.path_xorigin = 300;
    i.path_yorigin = 400;
    i.timeline_index = 1;
    i.timeline_position = 17;
    i.timeline_speed = 0.5;
    i.creation_code = "speed = 2";
    i.variables.Set(100000, 0, RValue::Real(5));
    i.variables.Set(100001, 3, RValue::String(RString("text")));
    return i;
}

TEST_F(InstanceWorld, CopyStateKeepsOnlyThePathOrigin) {
    const CInstance from = Sample(g, object);
    CInstance to;
    to.path_xorigin = -1;
    to.path_yorigin = -2;
    CopyState(to, from);
    EXPECT_EQ(to.path_xorigin, -1);
    EXPECT_EQ(to.path_yorigin, -2);
    to.path_xorigin = from.path_xorigin;
    to.path_yorigin = from.path_yorigin;
    EXPECT_EQ(to, from);
    // The variables are the receiver's own.
    CInstance source = from;
    CopyState(to, source);
    source.variables.Set(100000, 0, RValue::Real(9));
    RValue v;
    ASSERT_TRUE(to.variables.Get(100000, 0, v, false));
    EXPECT_EQ(v.real, 5);
}

TEST_F(InstanceWorld, RecordRoundTripsByteForByte) {
    const CInstance original = Sample(g, object);
    CStream first;
    WriteInstanceRecord(first, original);

    CStream in(first.data);
    CInstance read;
    ReadInstanceRecord(in, g.objects, read);
    EXPECT_EQ(in.Remaining(), 0u);
    EXPECT_EQ(read, original);  // the object looked up, the stored box kept
    EXPECT_EQ(read.object, g.objects.Get(object));

    CStream second;
    WriteInstanceRecord(second, read);
    EXPECT_EQ(second.data, first.data);
}

TEST_F(InstanceWorld, RecordLaysTheBoxOutLeftRightTopBottom) {
    CStream s;
    WriteInstanceRecord(s, Sample(g, object));
    // id, sprite; 6 reals; blend, mask; depth; precise; 13 reals.
    const size_t at = 2 * 4 + 6 * 8 + 2 * 4 + 8 + 4 + 13 * 8;
    int32_t box[4];
    ASSERT_GE(s.data.size(), at + sizeof box);
    std::memcpy(box, s.data.data() + at, sizeof box);
    EXPECT_EQ(box[0], 1);  // left
    EXPECT_EQ(box[1], 2);  // right
    EXPECT_EQ(box[2], 3);  // top
    EXPECT_EQ(box[3], 4);  // bottom
}

TEST_F(InstanceWorld, RecordOfAMissingObjectAndATruncatedRecord) {
    CInstance orphan = Sample(g, 77);
    CStream s;
    WriteInstanceRecord(s, orphan);
    CStream in(s.data);
    CInstance read;
    ReadInstanceRecord(in, g.objects, read);
    EXPECT_EQ(read.object_index, 77);
    EXPECT_EQ(read.object, nullptr);

    for (size_t cut : {size_t(0), size_t(7), s.data.size() / 2, s.data.size() - 1}) {
        CStream part(std::vector<uint8_t>(s.data.begin(), s.data.begin() + long(cut)));
        CInstance r;
        EXPECT_THROW(ReadInstanceRecord(part, g.objects, r), StreamError) << cut;
    }
}

TEST_F(InstanceWorld, RoomStateCarriesActiveAndInactiveInstances) {
    CreateInstance(room, g, object, 10, 10);
    CInstance& b = CreateInstance(room, g, object, 20, 20);
    b.variables.Set(100002, 0, RValue::Real(3));
    CreateInstance(room, g, object, 30, 30).deactivated = true;
    room.ApplyActivation(g.objects);
    ASSERT_EQ(room.inactive_instances.size(), 1u);

    CStream s;
    room.WriteState(s, StandardInstanceWriter());
    CStream in(s.data);
    CRoom loaded;
    ASSERT_TRUE(loaded.ReadState(in, g.objects, StandardInstanceReader(g.objects)));
    EXPECT_TRUE(loaded == room);
    EXPECT_EQ(loaded.InstancesOfObject(object).size(), 2u);
    EXPECT_EQ(loaded.instances[1]->object, g.objects.Get(object));

    CStream again;
    loaded.WriteState(again, StandardInstanceWriter());
    EXPECT_EQ(again.data, s.data);
}

}  // namespace
}  // namespace tb
