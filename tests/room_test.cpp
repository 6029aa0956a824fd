#include "resources/room.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "pack/project_error.h"
#include "pack/project_rooms.h"
#include "runner/game.h"

namespace tb {
namespace {

// A background slot of the given size.
void AddBackground(Game& g, int32_t w, int32_t h) {
    auto b = std::make_unique<CBackground>();
    b->Width = w;
    b->Height = h;
    g.backgrounds.Add(std::move(b), "bg");
}

void AddObject(ObjectList& objects, int32_t parent) {
    auto o = std::make_unique<CObject>();
    o->ParentIndex = parent;
    objects.Add(std::move(o), "obj");
}

struct Layer541 {
    bool visible, foreground;
    int32_t index, x, y;
    bool htiled, vtiled;
    int32_t hspeed, vspeed;
    bool stretch;
};

// Record 541 written primitive by primitive in file order: room 400 x 300 with three
// distinct layers, views with distinct values, two instances and one tile.
CStream HandBuiltRoom(const std::vector<Layer541>& layers) {
    CStream s;
    WriteInteger(s, 541);
    WriteString(s, "Level 1");
    WriteInteger(s, 400);  // Width
    WriteInteger(s, 300);  // Height
    WriteInteger(s, 60);   // Speed
    WriteBoolean(s, true);
    WriteInteger(s, 0x123456);
    WriteBoolean(s, false);
    WriteString(s, "room_code()");
    WriteInteger(s, int32_t(layers.size()));
    for (const Layer541& l : layers) {
        WriteBoolean(s, l.visible);
        WriteBoolean(s, l.foreground);
        WriteInteger(s, l.index);
        WriteInteger(s, l.x);
        WriteInteger(s, l.y);
        WriteBoolean(s, l.htiled);
        WriteBoolean(s, l.vtiled);
        WriteInteger(s, l.hspeed);
        WriteInteger(s, l.vspeed);
        WriteBoolean(s, l.stretch);
    }
    WriteBoolean(s, true);
    WriteInteger(s, 8);
    for (int v = 0; v < 8; ++v) {
        WriteBoolean(s, v == 1);
        for (int k = 0; k < 13; ++k) WriteInteger(s, v * 100 + k);
    }
    WriteInteger(s, 2);
    WriteInteger(s, 32);
    WriteInteger(s, 48);
    WriteInteger(s, 1);  // object
    WriteInteger(s, 100001);
    WriteString(s, "hp = 3;");
    WriteInteger(s, -16);
    WriteInteger(s, 8);
    WriteInteger(s, 0);
    WriteInteger(s, 100002);
    WriteString(s, "");
    WriteInteger(s, 1);
    for (int32_t v : {10, 20, 0, 16, 32, 16, 8, -5, 10000001}) WriteInteger(s, v);
    s.pos = 0;
    return s;
}

std::vector<Layer541> EightLayers() {
    std::vector<Layer541> l(8, Layer541{false, false, -1, 0, 0, true, true, 0, 0, false});
    l[0] = {true, false, 0, 5, -7, false, true, 2, -3, true};  // stretched, background 200 x 0
    l[1] = {true, true, -1, 0, 0, true, false, 0, 0, true};    // stretched, no background
    l[2] = {false, false, 1, 1, 2, true, true, 0, 0, false};   // background 100 x 60, unstretched
    l[3] = {true, false, 1, 0, 0, true, true, 0, 0, true};     // stretched, background 100 x 60
    return l;
}

Game GameWithResources() {
    Game g;
    AddBackground(g, 200, 0);
    AddBackground(g, 100, 60);
    AddObject(g.objects, -1);
    AddObject(g.objects, 0);
    return g;
}

TEST(RoomRecord, HandBuiltRecordReadsEveryField) {
    Game g = GameWithResources();
    CStream s = HandBuiltRoom(EightLayers());
    CRoom r;
    ASSERT_TRUE(r.LoadFromStream(s, g));
    EXPECT_EQ(s.Remaining(), 0u);
    EXPECT_EQ(r.Caption, "Level 1");
    EXPECT_EQ(r.Width, 400);
    EXPECT_EQ(r.Height, 300);
    EXPECT_EQ(r.Speed, 60);
    EXPECT_TRUE(r.Persistent);
    EXPECT_EQ(r.Color, 0x123456);
    EXPECT_FALSE(r.ShowColor);
    EXPECT_EQ(r.CreationCode, "room_code()");

    const CBack& b0 = r.backgrounds[0];
    EXPECT_TRUE(b0.Visible);
    EXPECT_FALSE(b0.Foreground);
    EXPECT_EQ(b0.BackgroundIndex, 0);
    EXPECT_EQ(b0.X, 5);
    EXPECT_EQ(b0.Y, -7);
    EXPECT_FALSE(b0.HTiled);
    EXPECT_TRUE(b0.VTiled);
    EXPECT_EQ(b0.HSpeed, 2);
    EXPECT_EQ(b0.VSpeed, -3);
    EXPECT_TRUE(b0.Stretch);
    EXPECT_EQ(b0.Blend, 16777215);
    EXPECT_EQ(b0.Alpha, 1.0);
    // Stretch: each scale only where the background has that dimension.
    EXPECT_EQ(b0.XScale, 2.0);
    EXPECT_EQ(b0.YScale, 1.0);
    EXPECT_TRUE(r.backgrounds[1].Foreground);
    EXPECT_EQ(r.backgrounds[1].XScale, 1.0);
    EXPECT_EQ(r.backgrounds[1].YScale, 1.0);
    EXPECT_EQ(r.backgrounds[2].XScale, 1.0);
    EXPECT_EQ(r.backgrounds[3].XScale, 4.0);
    EXPECT_EQ(r.backgrounds[3].YScale, 5.0);

    EXPECT_TRUE(r.ViewsEnabled);
    const CView& v1 = r.views[1];
    EXPECT_TRUE(v1.Visible);
    EXPECT_FALSE(r.views[0].Visible);
    EXPECT_EQ(v1.XView, 100);
    EXPECT_EQ(v1.HPort, 107);
    EXPECT_EQ(v1.Angle, 0);
    EXPECT_EQ(v1.HBorder, 108);
    EXPECT_EQ(v1.VBorder, 109);
    EXPECT_EQ(v1.HSpeed, 110);
    EXPECT_EQ(v1.VSpeed, 111);
    EXPECT_EQ(v1.Object, 112);

    ASSERT_EQ(r.InstanceCount(), 2);
    const CInstance& a = *r.GetInstance(0);
    EXPECT_EQ(a.id, 100001);
    EXPECT_EQ(a.object_index, 1);
    EXPECT_EQ(a.object, g.objects.Get(1));
    EXPECT_EQ(a.x, 32);
    EXPECT_EQ(a.y, 48);
    EXPECT_EQ(a.xstart, 32);
    EXPECT_EQ(a.ystart, 48);
    EXPECT_EQ(a.xprevious, 32);
    EXPECT_EQ(a.yprevious, 48);
    EXPECT_EQ(a.creation_code, "hp = 3;");
    EXPECT_EQ(r.GetInstance(1)->x, -16);
    EXPECT_EQ(r.GetInstance(2), nullptr);

    ASSERT_EQ(r.TileCount(), 1);
    const CTile& t = r.tiles[0];
    EXPECT_EQ(t.X, 10);
    EXPECT_EQ(t.Y, 20);
    EXPECT_EQ(t.Background, 0);
    EXPECT_EQ(t.Left, 16);
    EXPECT_EQ(t.Top, 32);
    EXPECT_EQ(t.Width, 16);
    EXPECT_EQ(t.Height, 8);
    EXPECT_EQ(t.Depth, -5);
    EXPECT_EQ(t.Id, 10000001);
    EXPECT_EQ(t.XScale, 1.0);
    EXPECT_EQ(t.Blend, 16777215);
    EXPECT_TRUE(t.Visible);

    // Object 1 is a child of object 0: both families hold the first instance.
    EXPECT_EQ(r.InstancesOfObject(1).size(), 1u);
    EXPECT_EQ(r.InstancesOfFamily(0).size(), 2u);

    CStream out;
    r.WriteToStream(out);
    EXPECT_EQ(out.data, HandBuiltRoom(EightLayers()).data);
}

TEST(RoomRecord, DefaultsMatchTheDataModel) {
    CRoom r;
    EXPECT_EQ(r.Speed, 30);
    EXPECT_EQ(r.Width, 640);
    EXPECT_EQ(r.Height, 480);
    EXPECT_EQ(r.Color, 0xC0C0C0);
    EXPECT_TRUE(r.ShowColor);
    EXPECT_EQ(r.backgrounds[7].BackgroundIndex, -1);
    EXPECT_TRUE(r.backgrounds[7].HTiled);
    EXPECT_EQ(r.views[7].WPort, 640);
    EXPECT_EQ(r.views[7].HBorder, 32);
    EXPECT_EQ(r.views[7].HSpeed, -1);
    EXPECT_EQ(r.views[7].Object, -1);
    EXPECT_EQ(r.last_tile_found, -1);
    CInstance i;
    EXPECT_EQ(i.image_speed, 1);
    EXPECT_EQ(i.image_blend, 0xFFFFFF);
    EXPECT_EQ(i.gravity_direction, 270);
    EXPECT_EQ(i.alarm[11], -1);
    EXPECT_EQ(i.path_index, -1);
    EXPECT_EQ(i.path_scale, 1);
    EXPECT_EQ(i.timeline_index, -1);
    EXPECT_EQ(i.timeline_speed, 1);
}

TEST(RoomRecord, FailuresAndMalformedInput) {
    Game g = GameWithResources();
    CStream wrong;
    WriteInteger(wrong, 540);
    wrong.pos = 0;
    CRoom r;
    r.Caption = "old";
    EXPECT_FALSE(r.LoadFromStream(wrong, g));
    EXPECT_EQ(r.Caption, "");  // reset before reading

    // Every cut of the record is a read past the end, never a silent success.
    CStream full = HandBuiltRoom(EightLayers());
    for (size_t cut = 0; cut < full.Size(); cut += 4) {
        CStream s(std::vector<uint8_t>(full.data.begin(), full.data.begin() + long(cut)));
        EXPECT_THROW(r.LoadFromStream(s, g), StreamError) << cut;
    }

    // A huge instance count fails before anything is allocated for it.
    CStream huge;
    WriteInteger(huge, 541);
    WriteString(huge, "");
    for (int k = 0; k < 6; ++k) WriteInteger(huge, 0);
    WriteString(huge, "");
    WriteInteger(huge, 0);  // no layers
    WriteBoolean(huge, false);
    WriteInteger(huge, 0);  // no views
    WriteInteger(huge, INT32_MAX);
    huge.pos = 0;
    EXPECT_THROW(r.LoadFromStream(huge, g), StreamError);
}

TEST(RoomRecord, ExtraLayersAreSkippedAndMissingOnesKeepDefaults) {
    Game g = GameWithResources();
    std::vector<Layer541> layers = EightLayers();
    layers.push_back({true, true, 1, 9, 9, false, false, 9, 9, true});
    CStream s = HandBuiltRoom(layers);
    CRoom r;
    ASSERT_TRUE(r.LoadFromStream(s, g));
    EXPECT_EQ(r.InstanceCount(), 2);  // still in step after the ninth layer
    EXPECT_EQ(r.backgrounds[0].X, 5);

    layers.resize(2);
    CStream few = HandBuiltRoom(layers);
    ASSERT_TRUE(r.LoadFromStream(few, g));
    EXPECT_EQ(r.backgrounds[2], CBack());
    EXPECT_EQ(r.TileCount(), 1);
}

TEST(RoomRecord, WriteRoundsRealPositionsHalfToEven) {
    Game g;
    CRoom r;
    int32_t last = 100000;
    r.AddInstance(g.objects, last, 0, 2.5, 3.5);
    r.backgrounds[0].X = -0.5;
    r.backgrounds[0].HSpeed = 1e300;
    CStream s;
    r.WriteToStream(s);
    s.pos = 0;
    CRoom back;
    ASSERT_TRUE(back.LoadFromStream(s, g));
    EXPECT_EQ(back.GetInstance(0)->x, 2);
    EXPECT_EQ(back.GetInstance(0)->y, 4);
    EXPECT_EQ(back.backgrounds[0].X, 0);
    EXPECT_EQ(back.backgrounds[0].HSpeed, INT32_MAX);
}

// Instance records of the state form belong to the saved-game code; here a stand-in.
bool ReadStub(CStream& s, CInstance& i) {
    i.id = ReadInteger(s);
    i.depth = ReadReal(s);
    return i.id != 0;
}
void WriteStub(CStream& s, const CInstance& i) {
    WriteInteger(s, i.id);
    WriteReal(s, i.depth);
}
void WriteStubFields(CStream& s, int32_t id, double depth) {
    WriteInteger(s, id);
    WriteReal(s, depth);
}

TEST(RoomState, HandBuiltRecordAndRoundTrip) {
    CStream s;
    WriteInteger(s, 540);
    WriteString(s, "Saved");
    WriteInteger(s, 320);
    WriteInteger(s, 240);
    WriteInteger(s, 15);
    WriteBoolean(s, false);
    WriteInteger(s, 7);
    WriteBoolean(s, true);
    WriteString(s, "c");
    WriteInteger(s, 8);
    for (int b = 0; b < 8; ++b) {
        WriteBoolean(s, b == 2);
        WriteBoolean(s, false);
        WriteInteger(s, b);
        WriteReal(s, 1.5);
        WriteReal(s, 2.5);
        WriteBoolean(s, true);
        WriteBoolean(s, false);
        WriteReal(s, 0.5);
        WriteReal(s, 3);
        WriteReal(s, -0.25);
        WriteReal(s, 0.75);
        WriteInteger(s, 0xFF);
        WriteReal(s, 0.3);
    }
    WriteBoolean(s, true);
    WriteInteger(s, 8);
    for (int v = 0; v < 8; ++v) {
        WriteBoolean(s, v == 0);
        for (int k = 0; k < 8; ++k) WriteInteger(s, k + 1);
        WriteReal(s, 45.5);
        for (int k = 0; k < 5; ++k) WriteInteger(s, 10 + k);
    }
    WriteInteger(s, 1);  // active
    WriteStubFields(s, 100005, 3);
    WriteInteger(s, 1);  // deactivated
    WriteStubFields(s, 100006, -1);
    WriteInteger(s, 1);
    WriteReal(s, 1.25);
    WriteReal(s, 2.25);
    for (int32_t v : {3, 4, 5, 6, 7}) WriteInteger(s, v);
    WriteReal(s, 1000.5);
    WriteInteger(s, 10000009);
    WriteReal(s, 2);
    WriteReal(s, 0.5);
    WriteInteger(s, 0x00FF00);
    WriteReal(s, 0.25);
    WriteBoolean(s, false);
    s.pos = 0;

    ObjectList objects;
    CRoom r;
    ASSERT_TRUE(r.ReadState(s, objects, ReadStub));
    EXPECT_EQ(s.Remaining(), 0u);
    EXPECT_EQ(r.Caption, "Saved");
    EXPECT_EQ(r.Speed, 15);
    const CBack& b = r.backgrounds[2];
    EXPECT_TRUE(b.Visible);
    EXPECT_EQ(b.BackgroundIndex, 2);
    EXPECT_EQ(b.X, 1.5);
    EXPECT_EQ(b.Y, 2.5);
    EXPECT_FALSE(b.VTiled);
    EXPECT_EQ(b.XScale, 0.5);
    EXPECT_EQ(b.YScale, 3);
    EXPECT_EQ(b.HSpeed, -0.25);
    EXPECT_EQ(b.VSpeed, 0.75);
    EXPECT_EQ(b.Blend, 0xFF);
    EXPECT_EQ(b.Alpha, 0.3);
    EXPECT_EQ(r.views[0].HPort, 8);
    EXPECT_EQ(r.views[0].Angle, 45.5);
    EXPECT_EQ(r.views[0].HBorder, 10);
    EXPECT_EQ(r.views[0].Object, 14);
    ASSERT_EQ(r.InstanceCount(), 1);
    EXPECT_EQ(r.GetInstance(0)->id, 100005);
    ASSERT_EQ(r.inactive_instances.size(), 1u);
    EXPECT_EQ(r.inactive_instances[0]->depth, -1);
    ASSERT_EQ(r.TileCount(), 1);
    EXPECT_EQ(r.tiles[0],
              (CTile{1.25, 2.25, 3, 4, 5, 6, 7, 1000.5, 10000009, 2, 0.5, 0x00FF00, 0.25, false}));

    CStream out;
    r.WriteState(out, WriteStub);
    EXPECT_EQ(out.data, s.data);
}

TEST(RoomState, FailuresAndTruncation) {
    ObjectList objects;
    CRoom r;
    CStream wrong;
    WriteInteger(wrong, 541);
    wrong.pos = 0;
    EXPECT_FALSE(r.ReadState(wrong, objects, ReadStub));

    CRoom src;
    int32_t last = 0;  // the stub refuses id 0, the first instance gets 1
    src.AddInstance(objects, last, 0, 0, 0).id = 0;
    CStream bad;
    src.WriteState(bad, WriteStub);
    bad.pos = 0;
    EXPECT_FALSE(r.ReadState(bad, objects, ReadStub));

    CStream full;
    src.ClearInstances();
    src.AddTile(CTile{}, last);
    src.WriteState(full, WriteStub);
    for (size_t cut = 0; cut < full.Size(); cut += 4) {
        CStream s(std::vector<uint8_t>(full.data.begin(), full.data.begin() + long(cut)));
        EXPECT_THROW(r.ReadState(s, objects, ReadStub), StreamError) << cut;
    }
}

// Objects: 0 root; 1 child of 0; 2 child of 1; 3 empty slot; 4 child of the empty slot;
// 5 and 6 parents of each other (only a malformed file has that); 7 parent out of range.
ObjectList FamilyObjects() {
    ObjectList o;
    AddObject(o, -1);
    AddObject(o, 0);
    AddObject(o, 1);
    o.Add(nullptr, "");
    AddObject(o, 3);
    AddObject(o, 6);
    AddObject(o, 5);
    AddObject(o, 99);
    return o;
}

std::vector<int32_t> Ids(std::span<CInstance* const> list) {
    std::vector<int32_t> ids;
    for (const CInstance* i : list) ids.push_back(i->id);
    return ids;
}

std::vector<int32_t> Ids(const std::vector<std::unique_ptr<CInstance>>& list) {
    std::vector<int32_t> ids;
    for (const auto& i : list) ids.push_back(i->id);
    return ids;
}

TEST(RoomInstances, ByObjectAndFamilyListsFollowTheParentChain) {
    ObjectList objects = FamilyObjects();
    CRoom r;
    int32_t last = 100000;
    for (int32_t obj : {2, 0, 4, 5, 7, 1, 12, -1}) r.AddInstance(objects, last, obj, 0, 0);
    // Ids 100001.. in the order above.
    using V = std::vector<int32_t>;
    EXPECT_EQ(Ids(r.InstancesOfObject(2)), V({100001}));
    EXPECT_EQ(Ids(r.InstancesOfObject(0)), V({100002}));
    EXPECT_EQ(Ids(r.InstancesOfFamily(0)), V({100001, 100002, 100006}));
    EXPECT_EQ(Ids(r.InstancesOfFamily(1)), V({100001, 100006}));
    EXPECT_EQ(Ids(r.InstancesOfFamily(2)), V({100001}));
    EXPECT_EQ(Ids(r.InstancesOfFamily(3)), V());  // an empty slot is no ancestor
    EXPECT_EQ(Ids(r.InstancesOfFamily(4)), V({100003}));
    EXPECT_EQ(Ids(r.InstancesOfFamily(5)), V({100004}));  // the cycle ends the walk
    EXPECT_EQ(Ids(r.InstancesOfFamily(6)), V({100004}));
    EXPECT_EQ(Ids(r.InstancesOfFamily(7)), V({100005}));
    EXPECT_TRUE(r.InstancesOfFamily(8).empty());
    EXPECT_TRUE(r.InstancesOfFamily(-1).empty());
    EXPECT_TRUE(r.InstancesOfObject(12).empty());
    EXPECT_EQ(r.InstanceCount(), 8);

    // Rebuilding from scratch gives the same lists as the incremental entries.
    auto before = r.family_instances;
    r.RebuildObjectLists(objects);
    EXPECT_EQ(r.family_instances, before);
}

TEST(RoomInstances, AddInstanceGivesConsecutiveIdsAfterTheStoredHighest) {
    ObjectList objects = FamilyObjects();
    CRoom r;
    int32_t last = 100007;  // as stored after the room list
    CInstance& a = r.AddInstance(objects, last, 1, 10, 20);
    CInstance& b = r.AddInstance(objects, last, 1, 30, 40);
    EXPECT_EQ(a.id, 100008);
    EXPECT_EQ(b.id, 100009);
    EXPECT_EQ(last, 100009);
    EXPECT_EQ(b.xstart, 30);
    EXPECT_EQ(b.yprevious, 40);
    EXPECT_EQ(b.object, objects.Get(1));

    // A malformed file can store the largest id; the counter wraps rather than overflows.
    last = INT32_MAX;
    EXPECT_EQ(r.AddInstance(objects, last, 1, 0, 0).id, INT32_MIN);
    last = INT32_MAX;
    r.AddTile(CTile{}, last);
    EXPECT_EQ(r.tiles.back().Id, INT32_MIN);
}

TEST(RoomInstances, RemoveDeletedKeepsOrderAndRebuildsLists) {
    ObjectList objects = FamilyObjects();
    CRoom r;
    int32_t last = 0;
    for (int32_t obj : {1, 2, 1, 0}) r.AddInstance(objects, last, obj, 0, 0);
    r.GetInstance(0)->destroyed = true;
    r.GetInstance(3)->destroyed = true;
    r.RemoveDeletedInstances(objects);
    using V = std::vector<int32_t>;
    EXPECT_EQ(Ids(r.instances), V({2, 3}));
    EXPECT_EQ(Ids(r.InstancesOfObject(1)), V({3}));
    EXPECT_EQ(Ids(r.InstancesOfFamily(0)), V({2, 3}));
}

TEST(RoomInstances, ApplyActivationMovesBothWaysInListOrder) {
    ObjectList objects = FamilyObjects();
    CRoom r;
    int32_t last = 0;
    for (int i = 0; i < 5; ++i) r.AddInstance(objects, last, 0, 0, 0);
    using V = std::vector<int32_t>;
    r.GetInstance(3)->deactivated = true;
    r.GetInstance(1)->deactivated = true;
    r.ApplyActivation(objects);
    EXPECT_EQ(Ids(r.instances), V({1, 3, 5}));
    EXPECT_EQ(Ids(r.inactive_instances), V({2, 4}));
    EXPECT_EQ(Ids(r.InstancesOfObject(0)), V({1, 3, 5}));

    // Reactivated ones go to the end of the active list; newly deactivated ones after the
    // instances still lying in the inactive list.
    r.inactive_instances[1]->deactivated = false;
    r.GetInstance(0)->deactivated = true;
    r.ApplyActivation(objects);
    EXPECT_EQ(Ids(r.instances), V({3, 5, 4}));
    EXPECT_EQ(Ids(r.inactive_instances), V({2, 1}));
    EXPECT_EQ(Ids(r.InstancesOfFamily(0)), V({3, 5, 4}));

    // Nothing changes side: the lists, including stale ones, are left alone.
    r.object_instances[0].clear();
    r.ApplyActivation(objects);
    EXPECT_TRUE(r.object_instances[0].empty());
}

TEST(RoomInstances, SortByDepthIsStableAndNonIncreasing) {
    struct Case {
        std::vector<double> depths;
        std::vector<int32_t> ids;  // expected order of the ids 1, 2, 3 ...
    } cases[] = {
        {{5, 5, 10}, {3, 1, 2}},
        {{10, 5, 5}, {1, 2, 3}},
        {{-1, 0, 1, 0, -1}, {3, 2, 4, 1, 5}},
        {{}, {}},
    };
    ObjectList objects;
    for (const Case& c : cases) {
        CRoom r;
        int32_t last = 0;
        for (double d : c.depths) r.AddInstance(objects, last, 0, 0, 0).depth = d;
        r.SortByDepth();
        EXPECT_EQ(Ids(r.instances), c.ids);
    }
}

TEST(RoomInstances, AssignMakesAnIndependentDeepCopy) {
    ObjectList objects = FamilyObjects();
    CRoom src;
    int32_t last = 0;
    src.Caption = "A";
    src.backgrounds[4].Alpha = 0.5;
    src.views[6].Angle = 90;
    src.AddInstance(objects, last, 2, 1, 2).creation_code = "x";
    src.AddInstance(objects, last, 0, 3, 4).deactivated = true;
    src.ApplyActivation(objects);
    src.AddTile(CTile{.X = 5}, last);

    CRoom dst;
    dst.AddTile(CTile{}, last);
    dst.Assign(src, objects);
    EXPECT_EQ(dst, src);
    ASSERT_EQ(dst.InstancesOfFamily(0).size(), 1u);
    EXPECT_EQ(dst.InstancesOfFamily(0)[0], dst.GetInstance(0));
    EXPECT_NE(dst.GetInstance(0), src.GetInstance(0));
    dst.GetInstance(0)->x = 99;
    dst.inactive_instances[0]->x = 99;
    EXPECT_EQ(src.GetInstance(0)->x, 1);
    EXPECT_EQ(src.inactive_instances[0]->x, 3);
}

TEST(Room, LayersViewsAndBackgroundMotion) {
    CRoom r;
    EXPECT_EQ(r.GetBack(-1), nullptr);
    EXPECT_EQ(r.GetBack(8), nullptr);
    EXPECT_EQ(r.GetView(8), nullptr);
    ASSERT_NE(r.GetView(7), nullptr);
    r.GetBack(7)->HSpeed = 1.5;
    r.GetBack(7)->VSpeed = -2;
    r.MoveBackgrounds();
    r.MoveBackgrounds();
    EXPECT_EQ(r.backgrounds[7].X, 3);
    EXPECT_EQ(r.backgrounds[7].Y, -4);
    EXPECT_EQ(r.backgrounds[0].X, 0);

    r.Caption = "x";
    int32_t last = 0;
    r.AddTile(CTile{}, last);
    r.Reset();
    EXPECT_EQ(r, CRoom());
    EXPECT_EQ(r.last_tile_found, -1);
}

CTile TileAt(double x, double y, int32_t w, int32_t h, double depth) {
    return CTile{.X = x, .Y = y, .Width = w, .Height = h, .Depth = depth};
}

std::vector<int32_t> TileIds(const CRoom& r) {
    std::vector<int32_t> ids;
    for (const CTile& t : r.tiles) ids.push_back(t.Id);
    return ids;
}

TEST(Tile, AddAndFindById) {
    CRoom r;
    int32_t last = 10000000;
    EXPECT_EQ(r.AddTile(TileAt(0, 0, 1, 1, 0), last), 0);
    EXPECT_EQ(r.AddTile(TileAt(0, 0, 1, 1, 0), last), 1);
    EXPECT_EQ(r.tiles[1].Id, 10000002);
    EXPECT_EQ(r.last_tile_found, 1);
    EXPECT_EQ(r.FindTileById(10000001), 0);
    EXPECT_EQ(r.last_tile_found, 0);
    EXPECT_EQ(r.FindTileById(10000002), 1);
    EXPECT_EQ(r.FindTileById(5), -1);
    // A stale cache after a deletion is not trusted.
    r.DeleteTileIndex(0);
    EXPECT_EQ(r.FindTileById(10000002), 0);
    r.last_tile_found = 7;
    EXPECT_EQ(r.FindTileById(10000002), 0);
    r.DeleteTileIndex(-1);
    r.DeleteTileIndex(1);
    EXPECT_EQ(r.TileCount(), 1);
    EXPECT_EQ(r.GetTile(1), nullptr);
    EXPECT_FALSE(r.SetTile(1, CTile{}));
    EXPECT_TRUE(r.SetTile(0, TileAt(3, 0, 1, 1, 0)));
    EXPECT_EQ(r.tiles[0].X, 3);
}

TEST(Tile, FindAtIsHalfOpenAndDeleteAtIncludesTheEdges) {
    int32_t last = 0;
    CRoom r;
    r.AddTile(TileAt(10, 0, 16, 16, 5), last);
    EXPECT_EQ(r.FindTileAt(25, 0, false), 0);
    EXPECT_EQ(r.FindTileAt(26, 0, false), -1);
    EXPECT_EQ(r.FindTileAt(10, 15.5, false), 0);
    EXPECT_EQ(r.FindTileAt(9.9, 0, false), -1);
    EXPECT_EQ(r.FindTileAt(25, 0, true), -1);  // depth 5 is a background tile
    r.DeleteTilesAt(26, 0, true);
    EXPECT_EQ(r.TileCount(), 1);
    r.DeleteTilesAt(27, 0, false);
    EXPECT_EQ(r.TileCount(), 1);
    r.DeleteTilesAt(26, 16, false);
    EXPECT_EQ(r.TileCount(), 0);
}

TEST(Tile, DepthZeroBelongsToBothSidesForDeletionOnly) {
    struct Case {
        double depth;
        bool found_background, found_foreground, deleted_background, deleted_foreground;
    } cases[] = {
        {0, true, false, true, true},
        {-1, false, true, false, true},
        {1, true, false, true, false},
    };
    for (const Case& c : cases) {
        int32_t last = 0;
        CRoom r;
        r.AddTile(TileAt(0, 0, 8, 8, c.depth), last);
        EXPECT_EQ(r.FindTileAt(4, 4, false) == 0, c.found_background) << c.depth;
        EXPECT_EQ(r.FindTileAt(4, 4, true) == 0, c.found_foreground) << c.depth;
        for (bool fg : {false, true}) {
            CRoom d;
            d.AddTile(r.tiles[0], last);
            d.DeleteTilesAt(4, 4, fg);
            EXPECT_EQ(d.TileCount() == 0, fg ? c.deleted_foreground : c.deleted_background)
                << c.depth << " " << fg;
        }
    }
}

TEST(Tile, LayerOperationsSelectExactDepth) {
    int32_t last = 0;
    CRoom r;
    r.AddTile(TileAt(0, 0, 10, 10, 100), last);    // 1
    r.AddTile(TileAt(0, 0, 10, 10, 100.5), last);  // 2
    r.AddTile(TileAt(20, 0, 10, 10, 100), last);   // 3
    r.AddTile(TileAt(5, 5, 10, 10, 100), last);    // 4
    r.HideLayer(100);
    EXPECT_FALSE(r.tiles[0].Visible);
    EXPECT_TRUE(r.tiles[1].Visible);
    r.ShowLayer(100);
    EXPECT_TRUE(r.tiles[0].Visible);
    EXPECT_EQ(r.FindInLayer(100, 7, 7), 0);
    EXPECT_EQ(r.FindInLayer(100, 12, 12), 3);
    EXPECT_EQ(r.last_tile_found, 3);
    EXPECT_EQ(r.FindInLayer(100, 10, 0), -1);
    EXPECT_EQ(r.FindInLayer(100.5, 30, 5), -1);
    r.ShiftLayer(100, 1, -1);
    EXPECT_EQ(r.tiles[2].X, 21);
    EXPECT_EQ(r.tiles[2].Y, -1);
    EXPECT_EQ(r.tiles[1].X, 0);
    r.DeleteInLayerAt(100, 7, 7);  // tiles 1 and 4 contain (7, 7) after the shift
    EXPECT_EQ(TileIds(r), (std::vector<int32_t>{2, 3}));
    r.SetLayerDepth(100.5, 100);
    EXPECT_EQ(r.tiles[0].Depth, 100);
    r.DeleteLayer(100);
    EXPECT_EQ(r.TileCount(), 0);
}

TEST(Tile, SortByDepthIsStable) {
    int32_t last = 0;
    CRoom r;
    for (double d : {5.0, 5.0, 10.0, -3.0, 10.0}) r.AddTile(TileAt(0, 0, 1, 1, d), last);
    r.SortTilesByDepth();
    EXPECT_EQ(TileIds(r), (std::vector<int32_t>{3, 5, 1, 2, 4}));
    r.ClearTiles();
    EXPECT_EQ(r.TileCount(), 0);
    EXPECT_EQ(r.last_tile_found, -1);
}

TEST(RoomOrder, Neighbours) {
    const std::vector<int32_t> order{4, 2, 7};
    struct Case {
        int32_t room, previous, next;
    } cases[] = {{4, -1, 2}, {2, 4, 7}, {7, 2, -1}, {5, -1, -1}, {-1, -1, -1}};
    for (const Case& c : cases) {
        EXPECT_EQ(PreviousRoom(order, c.room), c.previous) << c.room;
        EXPECT_EQ(NextRoom(order, c.room), c.next) << c.room;
    }
    EXPECT_EQ(FirstRoom(order), 4);
    EXPECT_EQ(LastRoom(order), 7);
    EXPECT_EQ(FirstRoom({}), -1);
    EXPECT_EQ(LastRoom({}), -1);
    EXPECT_EQ(NextRoom({3}, 3), -1);
    EXPECT_EQ(PreviousRoom({3}, 3), -1);
}

TEST(RoomOrder, Record) {
    CStream s;
    WriteInteger(s, 700);
    WriteInteger(s, 2);
    WriteInteger(s, 3);
    WriteInteger(s, 0);
    s.pos = 0;
    std::vector<int32_t> order;
    ASSERT_TRUE(ReadRoomOrder(s, order));
    EXPECT_EQ(order, (std::vector<int32_t>{3, 0}));
    CStream out;
    WriteRoomOrder(out, order);
    EXPECT_EQ(out.data, s.data);

    for (std::vector<int32_t> bad :
         std::vector<std::vector<int32_t>>{{701, 1, 0}, {700, 0}, {700, -2}}) {
        CStream b;
        for (int32_t v : bad) WriteInteger(b, v);
        b.pos = 0;
        EXPECT_FALSE(ReadRoomOrder(b, order)) << bad[0] << " " << bad[1];
    }
    CStream cut;
    WriteInteger(cut, 700);
    WriteInteger(cut, 3);
    WriteInteger(cut, 1);
    cut.pos = 0;
    EXPECT_THROW(ReadRoomOrder(cut, order), StreamError);
}

class ProjectRooms : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("tb_rooms_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(dir / name) << text;
    }
    std::filesystem::path dir;
};

TEST_F(ProjectRooms, RoomRoundTrip) {
    ObjectList objects;
    CRoom r;
    int32_t last = 100000;
    r.Caption = "Cave";
    r.Width = 1024;
    r.Persistent = true;
    r.CreationCode = "global.level = 2;\r\n";
    r.backgrounds[3] = CBack{.Visible = true,
                             .BackgroundIndex = 2,
                             .X = 4,
                             .XScale = 2.5,
                             .HSpeed = -1,
                             .Blend = 255,
                             .Alpha = 0.5,
                             .Stretch = true};
    r.ViewsEnabled = true;
    r.views[2].Visible = true;
    r.views[2].Object = 4;
    r.views[2].Angle = 12.5;
    r.AddInstance(objects, last, 3, 16, 32).creation_code = "speed = 4;";
    r.AddInstance(objects, last, 1, -8, 0);
    r.AddTile(TileAt(10, 20, 16, 16, 1000000), last);
    r.tiles[0].Visible = false;
    r.tiles[0].Alpha = 0.25;

    pack::SaveRoom(r, dir / "cave");
    EXPECT_TRUE(std::filesystem::exists(dir / "cave_creation.txt"));
    EXPECT_TRUE(std::filesystem::exists(dir / "cave_instance_0.txt"));
    EXPECT_FALSE(std::filesystem::exists(dir / "cave_instance_1.txt"));
    CRoom back;
    pack::LoadRoom(dir / "cave", back);
    EXPECT_EQ(back, r);
}

TEST_F(ProjectRooms, MalformedRoomFiles) {
    CRoom r;
    EXPECT_THROW(pack::LoadRoom(dir / "missing", r), pack::ProjectError);
    struct Case {
        const char* json;
        const char* message_part;
    } cases[] = {
        {"{\"Width\": ", "bad JSON"},
        {"[1, 2]", "JSON object"},
        {"{\"Width\": \"wide\"}", "Width"},
        {"{\"Width\": 4294967296}", "out of range"},
        {"{\"Persistent\": 1}", "Persistent"},
        {"{\"backgrounds\": [{}, {}, {}, {}, {}, {}, {}, {}, {}]}", "backgrounds"},
        {"{\"views\": [{\"Angle\": \"x\"}]}", "views[0].Angle"},
        {"{\"instances\": [{\"creation_code\": \"../secret.txt\"}]}", "plain file name"},
        {"{\"instances\": [{\"creation_code\": \"gone.txt\"}]}", "gone.txt"},
        {"{\"tiles\": [5]}", "tiles"},
    };
    for (const Case& c : cases) {
        Write("bad.json", c.json);
        try {
            pack::LoadRoom(dir / "bad", r);
            ADD_FAILURE() << c.json;
        } catch (const pack::ProjectError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message_part), std::string::npos)
                << c.json << " -> " << e.what();
            std::string msg = e.what();
            EXPECT_TRUE(msg.find("bad.json") != std::string::npos ||
                        msg.find("gone.txt") != std::string::npos)
                << msg;
        }
    }
}

TEST_F(ProjectRooms, MissingKeysTakeTheDefaults) {
    Write("min.json", "{\"instances\": [{\"id\": 100004, \"x\": 3}]}");
    CRoom r;
    pack::LoadRoom(dir / "min", r);
    EXPECT_EQ(r.Speed, 30);
    EXPECT_EQ(r.backgrounds[0], CBack());
    ASSERT_EQ(r.InstanceCount(), 1);
    EXPECT_EQ(r.GetInstance(0)->id, 100004);
    EXPECT_EQ(r.GetInstance(0)->xstart, 3);
}

}  // namespace
}  // namespace tb
