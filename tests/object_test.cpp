#include "resources/object.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "harness.h"
#include "pack/project_code.h"
#include "pack/project_error.h"
#include "resources/event_names.h"

namespace tb {
namespace {

// One action record, primitive by primitive in record order.
void WriteActionRecord(CStream& s, int32_t version, int32_t exec_type, std::string_view function,
                       std::vector<int32_t> kinds, std::vector<std::string> texts) {
    WriteInteger(s, version);
    WriteInteger(s, 1);      // LibraryId
    WriteInteger(s, 101);    // ActionId
    WriteInteger(s, 0);      // Kind
    WriteBoolean(s, true);   // UseRelative
    WriteBoolean(s, false);  // IsQuestion
    WriteBoolean(s, true);   // UseApplyTo
    WriteInteger(s, exec_type);
    WriteString(s, function);
    WriteString(s, "code here");
    WriteInteger(s, int32_t(texts.size()));  // ArgumentCount
    WriteInteger(s, int32_t(kinds.size()));
    for (int32_t k : kinds) WriteInteger(s, k);
    WriteInteger(s, -2);    // AppliesTo
    WriteBoolean(s, true);  // Relative
    WriteInteger(s, int32_t(texts.size()));
    for (const std::string& t : texts) WriteString(s, t);
    WriteBoolean(s, true);  // Not
}

void WriteEventRecord(CStream& s, int32_t version, int actions, int32_t action_version = 440) {
    WriteInteger(s, version);
    WriteInteger(s, actions);
    for (int i = 0; i < actions; ++i)
        WriteActionRecord(s, action_version, 1, "action_move", {0, 1}, {"4", "\"x\""});
}

void WriteObjectHeader(CStream& s, int32_t version) {
    WriteInteger(s, version);
    WriteInteger(s, 3);      // SpriteIndex
    WriteBoolean(s, true);   // Solid
    WriteBoolean(s, false);  // Visible
    WriteInteger(s, -20);    // Depth
    WriteBoolean(s, true);   // Persistent
    WriteInteger(s, 2);      // ParentIndex
    WriteInteger(s, 5);      // MaskIndex
}

TEST(ObjectAction, HandBuiltRecordReadsEveryField) {
    CStream s;
    WriteActionRecord(s, 440, 1, "action_set_hspeed", {0, 1, 2}, {"4", "x", "'y'"});
    s.pos = 0;
    CAction a;
    ASSERT_TRUE(a.LoadFromStream(s));
    EXPECT_EQ(s.Remaining(), 0u);
    EXPECT_EQ(a.LibraryId, 1);
    EXPECT_EQ(a.ActionId, 101);
    EXPECT_EQ(a.Kind, 0);
    EXPECT_TRUE(a.UseRelative);
    EXPECT_FALSE(a.IsQuestion);
    EXPECT_TRUE(a.UseApplyTo);
    EXPECT_EQ(a.ExecType, 1);
    EXPECT_EQ(a.FunctionName, "action_set_hspeed");
    EXPECT_EQ(a.Code, "code here");
    EXPECT_EQ(a.ArgumentCount, 3);
    EXPECT_EQ(a.ArgumentKinds, (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(a.AppliesTo, -2);
    EXPECT_TRUE(a.Relative);
    EXPECT_EQ(a.ArgumentTexts, (std::vector<std::string>{"4", "x", "'y'"}));
    EXPECT_TRUE(a.Not);
    EXPECT_EQ(a.FunctionIndex, -1);

    CStream out;
    a.WriteToStream(out);
    EXPECT_EQ(out.data, s.data);
}

TEST(ObjectRecord, HandBuilt430RecordWithAllElevenKinds) {
    CStream s;
    WriteObjectHeader(s, 430);
    WriteInteger(s, 10);  // L
    for (int kind = 0; kind <= 10; ++kind) {
        if (kind == 2) {
            WriteInteger(s, 0);
            WriteEventRecord(s, 400, 1);
            WriteInteger(s, 11);
            WriteEventRecord(s, 400, 2);
        }
        if (kind == 10) {
            WriteInteger(s, 2000000000);  // stored sparsely
            WriteEventRecord(s, 400, 1);
        }
        WriteInteger(s, -1);
    }
    s.pos = 0;
    CObject o;
    ASSERT_TRUE(o.LoadFromStream(s));
    EXPECT_EQ(s.Remaining(), 0u);
    EXPECT_EQ(o.SpriteIndex, 3);
    EXPECT_TRUE(o.Solid);
    EXPECT_FALSE(o.Visible);
    EXPECT_EQ(o.Depth, -20);
    EXPECT_TRUE(o.Persistent);
    EXPECT_EQ(o.ParentIndex, 2);
    EXPECT_EQ(o.MaskIndex, 5);
    ASSERT_NE(o.GetEvent(ev_alarm, 11), nullptr);
    EXPECT_EQ(o.GetEvent(ev_alarm, 11)->actions.size(), 2u);
    EXPECT_EQ(o.GetEvent(ev_alarm, 0)->actions[0].FunctionName, "action_move");
    EXPECT_EQ(o.GetEvent(ev_alarm, 5), nullptr);
    ASSERT_NE(o.GetEvent(ev_keyrelease, 2000000000), nullptr);
    EXPECT_EQ(o.events[ev_alarm].size(), 2u);

    CStream out;
    o.WriteToStream(out);
    EXPECT_EQ(out.data, s.data);
}

TEST(ObjectRecord, Version400ReadsExactlyNineKinds) {
    CStream s;
    WriteObjectHeader(s, 400);
    for (int kind = 0; kind <= 8; ++kind) {
        if (kind == 8) {
            WriteInteger(s, 0);
            WriteEventRecord(s, 400, 1);
        }
        WriteInteger(s, -1);
    }
    const size_t end = s.data.size();
    WriteInteger(s, 4);  // would be an event number of kind 9 if a tenth list were read
    WriteEventRecord(s, 400, 1);
    s.pos = 0;
    CObject o;
    ASSERT_TRUE(o.LoadFromStream(s));
    EXPECT_EQ(s.pos, end);
    EXPECT_NE(o.GetEvent(ev_draw, 0), nullptr);
    EXPECT_TRUE(o.events[ev_keypress].empty());

    // Written back as version 430; reading that gives the same object.
    CStream out;
    o.WriteToStream(out);
    out.pos = 0;
    CObject back;
    ASSERT_TRUE(back.LoadFromStream(out));
    EXPECT_EQ(back, o);
}

TEST(ObjectRecord, NegativeLEndsTheRecordAndBadValuesFail) {
    CStream s;
    WriteObjectHeader(s, 430);
    WriteInteger(s, -1);
    s.pos = 0;
    CObject o;
    ASSERT_TRUE(o.LoadFromStream(s));
    EXPECT_EQ(s.Remaining(), 0u);

    struct Case {
        const char* name;
        int32_t object_version, last_kind, event_number, event_version, action_version;
    } cases[] = {
        {"object version", 431, 0, 0, 400, 440},         {"L above 10", 430, 11, 0, 400, 440},
        {"event version", 430, 0, 0, 401, 440},          {"action version", 430, 0, 0, 400, 441},
        {"negative event number", 430, 0, -5, 400, 440},
    };
    for (const Case& c : cases) {
        CStream b;
        WriteObjectHeader(b, c.object_version);
        WriteInteger(b, c.last_kind);
        for (int kind = 0; kind <= c.last_kind; ++kind) {
            if (kind == 0) {
                WriteInteger(b, c.event_number);
                WriteEventRecord(b, c.event_version, 1, c.action_version);
            }
            WriteInteger(b, -1);
        }
        b.pos = 0;
        EXPECT_FALSE(o.LoadFromStream(b)) << c.name;
    }
}

TEST(ObjectRecord, TruncationAndHugeCountsRaise) {
    CStream full;
    WriteObjectHeader(full, 430);
    WriteInteger(full, 0);
    WriteInteger(full, 0);
    WriteEventRecord(full, 400, 1);
    WriteInteger(full, -1);
    CObject o;
    for (size_t cut = 0; cut < full.data.size(); cut += 7) {
        CStream s(std::vector<uint8_t>(full.data.begin(), full.data.begin() + long(cut)));
        EXPECT_THROW(o.LoadFromStream(s), StreamError) << cut;
    }
    CStream huge;
    WriteInteger(huge, 400);
    WriteInteger(huge, 50000000);  // actions
    WriteInteger(huge, 440);
    huge.pos = 0;
    CEvent e;
    EXPECT_THROW(e.LoadFromStream(huge), StreamError);
}

TEST(ObjectRecord, RepeatedEventNumberKeepsTheLastRecord) {
    CStream s;
    WriteObjectHeader(s, 430);
    WriteInteger(s, 0);
    WriteInteger(s, 3);
    WriteEventRecord(s, 400, 1);
    WriteInteger(s, 1);
    WriteEventRecord(s, 400, 1);
    WriteInteger(s, 3);
    WriteEventRecord(s, 400, 2);
    WriteInteger(s, -1);
    s.pos = 0;
    CObject o;
    ASSERT_TRUE(o.LoadFromStream(s));
    ASSERT_EQ(o.events[0].size(), 2u);
    EXPECT_EQ(o.events[0].begin()->first, 1);
    EXPECT_EQ(o.events[0].at(3).actions.size(), 2u);
}

TEST(ObjectEvents, GetOrCreateAndGetEvent) {
    CObject o;
    EXPECT_EQ(o.GetOrCreateEvent(11, 0), nullptr);
    EXPECT_EQ(o.GetOrCreateEvent(-1, 0), nullptr);
    EXPECT_EQ(o.GetOrCreateEvent(ev_step, -1), nullptr);
    CEvent* e = o.GetOrCreateEvent(ev_step, ev_step_end);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(o.GetEvent(ev_step, ev_step_end), nullptr);  // no actions yet
    e->AddCodeAction("x = 1;");
    EXPECT_EQ(o.GetEvent(ev_step, ev_step_end), e);
    EXPECT_EQ(o.GetOrCreateEvent(ev_step, ev_step_end), e);
    o.GetOrCreateEvent(ev_step, ev_step_normal);
    EXPECT_EQ(o.events[ev_step].begin()->first, 0);
    EXPECT_EQ(o.GetEvent(ev_step, ev_step_end)->actions.size(), 1u);

    const CAction& a = e->actions[0];
    EXPECT_EQ(a.Kind, 7);
    EXPECT_EQ(a.ExecType, 2);
    ASSERT_EQ(a.ArgumentTexts.size(), 1u);
    EXPECT_EQ(a.ArgumentTexts[0], "x = 1;");
    EXPECT_EQ(a.ArgumentCount, 1);
}

// Objects by index; parent -1 = none; `events` lists (kind, number) pairs with one action.
ResourceList<CObject> MakeObjects(
    std::vector<std::pair<int, std::vector<std::pair<int, int>>>> layout) {
    ResourceList<CObject> list;
    for (size_t i = 0; i < layout.size(); ++i) {
        auto o = std::make_unique<CObject>();
        o->ParentIndex = layout[i].first;
        for (auto [k, n] : layout[i].second) o->GetOrCreateEvent(k, n)->AddCodeAction("");
        list.Add(std::move(o), "obj" + std::to_string(i));
    }
    return list;
}

TEST(ObjectEvents, FindEventWalksParentsAndCollisionAncestors) {
    // 0 child of 1, 1 with a collision event with 3 (B); 3's parent 4 (P); 2 is B's child.
    // 5 has a collision with P and a step event; 6 is 5's child.
    auto objects = MakeObjects({
        {1, {}},
        {-1, {{ev_collision, 3}, {ev_create, 0}}},
        {3, {}},
        {4, {}},
        {-1, {}},
        {-1, {{ev_collision, 4}, {ev_step, 0}}},
        {5, {{ev_step, 0}}},
    });
    struct Case {
        int object, kind, number, defining, matched;  // matched: the number of the event found
    } cases[] = {
        {0, ev_create, 0, 1, 0},     // inherited
        {6, ev_step, 0, 6, 0},       // own event wins over the parent's
        {0, ev_collision, 3, 1, 3},  // direct match through the parent
        {0, ev_collision, 2, 1, 3},  // B's child: tries 2, then B
        {6, ev_collision, 2, 5, 4},  // B's child: tries 2, then B, then P
        {6, ev_collision, 3, 5, 4},
        {0, ev_collision, 4, -1, 0},  // P has no ancestor that 0 collides with
        {0, ev_draw, 0, -1, 0},
        {9, ev_create, 0, -1, 0},  // not an object
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.object) + " " + std::to_string(c.kind) + " " +
                     std::to_string(c.number));
        FoundEvent f = FindEvent(objects, c.object, c.kind, c.number);
        EXPECT_EQ(f.object, c.defining);
        if (c.defining < 0)
            EXPECT_EQ(f.event, nullptr);
        else
            EXPECT_EQ(f.event, objects.Get(c.defining)->GetEvent(c.kind, c.matched));
    }
}

TEST(ObjectEvents, AncestorsAndLoopingParentChains) {
    auto objects = MakeObjects({{1, {}}, {2, {}}, {-1, {{ev_draw, 0}}}, {4, {}}, {3, {}}});
    EXPECT_TRUE(IsAncestor(objects, 0, 1));
    EXPECT_TRUE(IsAncestor(objects, 0, 2));
    EXPECT_FALSE(IsAncestor(objects, 0, 0));
    EXPECT_FALSE(IsAncestor(objects, 2, 0));
    EXPECT_FALSE(IsAncestor(objects, 2, -1));
    EXPECT_FALSE(IsAncestor(objects, 7, 1));
    EXPECT_TRUE(objects.Get(0)->HasEventOfKind(ev_draw, objects));
    EXPECT_FALSE(objects.Get(0)->HasEventOfKind(ev_step, objects));
    EXPECT_FALSE(objects.Get(0)->HasEventOfKind(42, objects));

    // 3 and 4 are each other's parent: every walk ends.
    EXPECT_TRUE(IsAncestor(objects, 3, 4));
    EXPECT_FALSE(IsAncestor(objects, 3, 0));
    EXPECT_FALSE(objects.Get(3)->HasEventOfKind(ev_draw, objects));
    EXPECT_EQ(FindEvent(objects, 3, ev_collision, 4).event, nullptr);
}

TEST(ObjectEvents, ResolveActionFunctions) {
    CObject o;
    CEvent* e = o.GetOrCreateEvent(ev_create, 0);
    CAction call;
    call.ExecType = 1;
    call.FunctionName = "known";
    e->actions.push_back(call);
    call.FunctionName = "missing";
    e->actions.push_back(call);
    e->AddCodeAction("x = 1;");
    e->actions.back().FunctionName = "known";  // ExecType 2: left alone
    std::vector<std::string> messages;
    ResolveActionFunctions(
        o, [](std::string_view name) { return name == "known" ? 100003 : -1; },
        [&](std::string_view m) { messages.emplace_back(m); });
    EXPECT_EQ(e->actions[0].FunctionIndex, 100003);
    EXPECT_EQ(e->actions[1].FunctionIndex, -1);
    EXPECT_EQ(e->actions[2].FunctionIndex, -1);
    EXPECT_EQ(messages, std::vector<std::string>{"Failed to locate action function missing"});
}

TEST(EventNames, Table) {
    auto objects = MakeObjects({{-1, {}}, {-1, {}}});
    struct Case {
        int kind, number;
        const char* name;
    } cases[] = {
        {0, 0, "Create Event"},
        {1, 0, "Destroy Event"},
        {2, 11, "Alarm Event for alarm 11"},
        {3, 0, " Step Event"},
        {3, 1, "Begin Step Event"},
        {3, 2, "End Step Event"},
        {3, 3, "<unknown> Step Event"},
        {4, 1, "Collision Event with object obj1"},
        {4, 7, "Collision Event with object <undefined>"},
        {5, 37, "Keyboard Event for <Left> Key"},
        {5, 0, "Keyboard Event for <no key> Key"},
        {5, 1, "Keyboard Event for <any key> Key"},
        {5, 48, "Keyboard Event for 0-key Key"},
        {5, 90, "Keyboard Event for Z-key Key"},
        {5, 58, "Keyboard Event for <unknown> Key"},
        {5, 96, "Keyboard Event for Keypad 0 Key"},
        {5, 105, "Keyboard Event for Keypad 9 Key"},
        {5, 106, "Keyboard Event for Keypad * Key"},
        {5, 108, "Keyboard Event for <unknown> Key"},
        {5, 111, "Keyboard Event for Keypad / Key"},
        {5, 112, "Keyboard Event for F1 Key"},
        {5, 123, "Keyboard Event for F12 Key"},
        {5, 124, "Keyboard Event for <unknown> Key"},
        {9, 33, "Key Press Event for <Page Up> Key"},
        {10, 46, "Key Release Event for <Delete> Key"},
        {6, 0, "Mouse Event for Left Button"},
        {6, 11, "Mouse Event for Mouse Leave"},
        {6, 12, "Mouse Event for <unknown>"},
        {6, 16, "Mouse Event for Joystick 1 Left"},
        {6, 19, "Mouse Event for Joystick 1 Down"},
        {6, 20, "Mouse Event for <unknown>"},
        {6, 21, "Mouse Event for Joystick 1 Button 1"},
        {6, 28, "Mouse Event for Joystick 1 Button 8"},
        {6, 31, "Mouse Event for Joystick 2 Left"},
        {6, 35, "Mouse Event for <unknown>"},
        {6, 43, "Mouse Event for Joystick 2 Button 8"},
        {6, 44, "Mouse Event for <unknown>"},
        {6, 50, "Mouse Event for Glob Left Button"},
        {6, 58, "Mouse Event for Glob Middle Released"},
        {6, 60, "Mouse Event for Mouse Wheel Up"},
        {6, 61, "Mouse Event for Mouse Wheel Down"},
        {7, 0, "Other Event: Outside Room"},
        {7, 9, "Other Event: No More Health"},
        {7, 10, "Other Event: User Defined 0"},
        {7, 25, "Other Event: User Defined 15"},
        {7, 26, "Other Event: <unknown>"},
        {7, 30, "Other Event: Close Button"},
        {7, 47, "Other Event: Outside View 7"},
        {7, 50, "Other Event: Boundary View 0"},
        {7, 58, "Other Event: <unknown>"},
        {8, 0, "Draw Event"},
        {11, 0, "<Unknown Event>"},
        {-1, 0, "<Unknown Event>"},
    };
    for (const Case& c : cases) EXPECT_EQ(EventName(c.kind, c.number, objects), c.name);
}

TEST(ProjectCode, ObjectRoundTripWithEditableCode) {
    test::ScratchDir t;
    CObject o;
    o.SpriteIndex = 4;
    o.Solid = true;
    o.Visible = false;
    o.Depth = -100;
    o.Persistent = true;
    o.ParentIndex = 2;
    o.MaskIndex = 1;
    o.GetOrCreateEvent(ev_step, ev_step_begin)->AddCodeAction("hspeed = 3;\r\n");
    CStream s;
    WriteActionRecord(s, 440, 2, "", {0, 1}, {"a", "b"});
    s.pos = 0;
    CAction with_code;
    ASSERT_TRUE(with_code.LoadFromStream(s));
    o.GetOrCreateEvent(ev_keypress, 2000000000)->actions.push_back(with_code);
    o.GetOrCreateEvent(ev_alarm, 1);  // present without actions
    pack::SaveObject(o, t.path / "obj");
    EXPECT_EQ(test::ReadText(t.path / "obj_e3_1_a0.txt"), "hspeed = 3;\r\n");
    EXPECT_EQ(test::ReadText(t.path / "obj_e9_2000000000_a0_code.txt"), "code here");
    CObject back;
    pack::LoadObject(t.path / "obj", back);
    EXPECT_EQ(back, o);

    test::WriteText(t.path / "obj_e3_1_a0.txt", "hspeed = 4;");
    pack::LoadObject(t.path / "obj", back);
    EXPECT_EQ(back.GetEvent(ev_step, ev_step_begin)->actions[0].ArgumentTexts[0], "hspeed = 4;");

    std::string json = test::ReadText(t.path / "obj.json");
    auto broken = [&](const std::string& from, const std::string& to) {
        std::string text = json;
        size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos) text.replace(at, from.size(), to);
        test::WriteText(t.path / "bad.json", text);
        EXPECT_THROW(pack::LoadObject(t.path / "bad", back), pack::ProjectError) << to;
    };
    broken("\"kind\": 9", "\"kind\": 11");
    broken("\"number\": 1", "\"number\": -1");
    broken("\"kind\": 2", "\"kind\": 3");  // repeats the step event's number
    broken("obj_e3_1_a0.txt", "../obj_e3_1_a0.txt");
    broken("\"ArgumentCount\": 2", "\"ArgumentCount\": 9");
    broken("\"SpriteIndex\": 4", "\"SpriteIndex\": 4.5");
}

}  // namespace
}  // namespace tb
