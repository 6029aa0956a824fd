#include "resources/timeline.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "harness.h"
#include "pack/project_code.h"
#include "pack/project_error.h"

namespace tb {
namespace {

CTimeLine WithMoments(std::initializer_list<int32_t> times) {
    CTimeLine t;
    for (int32_t time : times) t.AddMoment(time).AddCodeAction(std::to_string(time));
    return t;
}

std::vector<int32_t> Times(const CTimeLine& t) {
    return t.moment_times;
}

TEST(TimeLineRecord, HandBuiltRecord) {
    CStream s;
    WriteInteger(s, 500);
    WriteInteger(s, 2);
    WriteInteger(s, 0);
    WriteInteger(s, 400);  // event with no actions
    WriteInteger(s, 0);
    WriteInteger(s, 30);
    WriteInteger(s, 400);
    WriteInteger(s, 1);
    WriteInteger(s, 440);
    for (int i = 0; i < 7; ++i) WriteInteger(s, i == 6 ? 2 : 0);  // ids, kind, flags, ExecType 2
    WriteString(s, "");
    WriteString(s, "x += 1;");
    WriteInteger(s, 0);  // ArgumentCount
    WriteInteger(s, 0);
    WriteInteger(s, -1);  // AppliesTo
    WriteBoolean(s, false);
    WriteInteger(s, 0);
    WriteBoolean(s, false);
    s.pos = 0;

    CTimeLine t;
    ASSERT_TRUE(t.LoadFromStream(s));
    EXPECT_EQ(s.Remaining(), 0u);
    EXPECT_EQ(Times(t), (std::vector<int32_t>{0, 30}));
    EXPECT_TRUE(t.GetMomentEvent(0)->actions.empty());
    ASSERT_EQ(t.GetMomentEvent(1)->actions.size(), 1u);
    EXPECT_EQ(t.GetMomentEvent(1)->actions[0].Code, "x += 1;");
    EXPECT_EQ(t.GetMomentEvent(1)->actions[0].ExecType, 2);

    CStream out;
    t.WriteToStream(out);
    EXPECT_EQ(out.data, s.data);
}

TEST(TimeLineRecord, WrongVersionsTruncationAndHugeCount) {
    struct Case {
        int32_t version, event_version;
    } cases[] = {{501, 400}, {500, 399}};
    CTimeLine t;
    for (auto c : cases) {
        CStream s;
        WriteInteger(s, c.version);
        WriteInteger(s, 1);
        WriteInteger(s, 5);
        WriteInteger(s, c.event_version);
        WriteInteger(s, 0);
        s.pos = 0;
        EXPECT_FALSE(t.LoadFromStream(s)) << c.version << " " << c.event_version;
    }
    CStream trunc;
    WriteInteger(trunc, 500);
    WriteInteger(trunc, 1);
    WriteInteger(trunc, 5);
    WriteInteger(trunc, 400);
    trunc.pos = 0;
    EXPECT_THROW(t.LoadFromStream(trunc), StreamError);
    CStream huge;
    WriteInteger(huge, 500);
    WriteInteger(huge, 0x7FFFFFFF);
    huge.pos = 0;
    EXPECT_THROW(t.LoadFromStream(huge), StreamError);
}

TEST(TimeLineMoments, AddKeepsTimesAscendingAndReturnsExisting) {
    CTimeLine t = WithMoments({0, 10});
    CEvent& existing = t.AddMoment(10);
    EXPECT_EQ(existing.actions.size(), 1u);
    EXPECT_EQ(t.Count(), 2);
    t.AddMoment(5);
    EXPECT_EQ(Times(t), (std::vector<int32_t>{0, 5, 10}));
    EXPECT_TRUE(t.GetMomentEvent(1)->actions.empty());
    EXPECT_EQ(t.GetMomentEvent(2)->actions[0].ArgumentTexts[0], "10");
    t.AddMoment(-3);
    t.AddMoment(99);
    EXPECT_EQ(Times(t), (std::vector<int32_t>{-3, 0, 5, 10, 99}));
}

TEST(TimeLineMoments, DeleteFindAndLookups) {
    CTimeLine t = WithMoments({0, 3, 6});
    t.DeleteMoment(4);
    t.DeleteMoment(7);
    EXPECT_EQ(Times(t), (std::vector<int32_t>{0, 3, 6}));
    t.DeleteMoment(0);
    EXPECT_EQ(Times(t), (std::vector<int32_t>{3, 6}));
    EXPECT_EQ(t.GetMomentEvent(0)->actions[0].ArgumentTexts[0], "3");
    EXPECT_EQ(t.GetMomentEvent(1)->actions[0].ArgumentTexts[0], "6");

    CTimeLine m = WithMoments({0, 3, 6});
    struct Case {
        double position;
        int index;
    } at[] = {{2.5, 1}, {-1, 0}, {0, 0}, {3, 1}, {3.01, 2}, {6, 2}, {6.5, 3}};
    for (auto c : at) EXPECT_EQ(m.MomentIndexAtOrAfter(c.position), c.index) << c.position;
    EXPECT_EQ(CTimeLine().MomentIndexAtOrAfter(2.5), 0);
    EXPECT_EQ(m.FindMoment(3), 1);
    EXPECT_EQ(m.FindMoment(4), -1);
    EXPECT_EQ(m.GetMomentTime(2), 6);
    EXPECT_EQ(m.GetMomentTime(3), 0);
    EXPECT_EQ(m.GetMomentTime(-1), 0);
    EXPECT_EQ(m.GetMomentEvent(3), nullptr);
    EXPECT_EQ(m.GetMomentEvent(-1), nullptr);
}

TEST(TimeLineMoments, ResolveActionFunctionsCoversEveryMoment) {
    CTimeLine t = WithMoments({1, 2});
    for (CEvent& e : t.moment_events) {
        CAction a;
        a.ExecType = 1;
        a.FunctionName = "f" + std::to_string(e.actions.size());
        e.actions.push_back(a);
    }
    int calls = 0;
    ResolveActionFunctions(
        t, [&](std::string_view) { return ++calls; }, nullptr);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(t.moment_events[1].actions[1].FunctionIndex, 2);
}

TEST(ProjectCode, TimeLineRoundTripWithCodeFiles) {
    test::ScratchDir t;
    CTimeLine tl = WithMoments({-2, 0, 40});
    CAction call;
    call.ExecType = 1;
    call.FunctionName = "action_sound";
    call.ArgumentCount = 2;
    call.ArgumentKinds = {6, 3};
    call.ArgumentTexts = {"snd", "0"};
    tl.AddMoment(40).actions.push_back(call);
    pack::SaveTimeLine(tl, t.path / "tl");
    EXPECT_EQ(test::ReadText(t.path / "tl_m40_a0.txt"), "40");
    EXPECT_EQ(test::ReadText(t.path / "tl_m-2_a0.txt"), "-2");
    CTimeLine back;
    pack::LoadTimeLine(t.path / "tl", back);
    EXPECT_EQ(back, tl);

    test::WriteText(t.path / "bad.json", R"({"moments": [{"time": 5, "actions": []},
                                                      {"time": 5, "actions": []}]})");
    EXPECT_THROW(pack::LoadTimeLine(t.path / "bad", back), pack::ProjectError);
    std::filesystem::remove(t.path / "tl_m0_a0.txt");
    EXPECT_THROW(pack::LoadTimeLine(t.path / "tl", back), pack::ProjectError);
}

}  // namespace
}  // namespace tb
