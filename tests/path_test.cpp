#include "resources/path.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "harness.h"
#include "pack/project_code.h"
#include "pack/project_error.h"

namespace tb {
namespace {

struct Pt {
    double x, y, speed;
};

// The record as the editor writes it, primitive by primitive.
CStream PathRecord(int32_t version, int32_t kind, bool closed, int32_t precision,
                   std::initializer_list<Pt> pts) {
    CStream s;
    WriteInteger(s, version);
    WriteInteger(s, kind);
    WriteBoolean(s, closed);
    WriteInteger(s, precision);
    WriteInteger(s, int32_t(pts.size()));
    for (const Pt& p : pts) {
        WriteReal(s, p.x);
        WriteReal(s, p.y);
        WriteReal(s, p.speed);
    }
    s.pos = 0;
    return s;
}

CPath MakePath(int32_t kind, bool closed, int32_t precision, std::initializer_list<Pt> pts) {
    CPath p;
    p.Kind = kind;
    p.Closed = closed;
    p.Precision = precision;
    for (const Pt& q : pts) p.points.push_back({q.x, q.y, q.speed});
    p.Recompute();
    return p;
}

void ExpectPoint(const PathPoint& p, double x, double y, double speed) {
    EXPECT_NEAR(p.x, x, 1e-9);
    EXPECT_NEAR(p.y, y, 1e-9);
    EXPECT_NEAR(p.speed, speed, 1e-9);
}

TEST(PathRecord, HandBuiltClosedStraightPathComputesClosingLeg) {
    CStream s = PathRecord(530, 0, true, 4, {{0, 0, 100}, {100, 0, 100}, {100, 100, 50}});
    CPath p;
    ASSERT_TRUE(p.LoadFromStream(s));
    EXPECT_EQ(s.Remaining(), 0u);
    EXPECT_EQ(p.Kind, 0);
    EXPECT_TRUE(p.Closed);
    EXPECT_EQ(p.Precision, 4);
    ASSERT_EQ(p.Count(), 3);
    ExpectPoint(p.GetPoint(2), 100, 100, 50);
    ASSERT_EQ(p.computed.size(), 4u);
    EXPECT_EQ(p.computed[3].x, 0);
    EXPECT_EQ(p.computed[3].y, 0);
    EXPECT_NEAR(p.computed[2].length, 200, 1e-9);
    EXPECT_NEAR(p.Length, 200 + 100 * std::sqrt(2.0), 1e-9);
}

TEST(PathRecord, WrongVersionFailsAndTruncationThrows) {
    CStream bad = PathRecord(531, 0, true, 4, {{1, 2, 3}});
    CPath p;
    EXPECT_FALSE(p.LoadFromStream(bad));

    CStream full = PathRecord(530, 0, true, 4, {{1, 2, 3}, {4, 5, 6}});
    for (size_t cut : {size_t(2), size_t(12), full.data.size() - 1}) {
        CStream s(std::vector<uint8_t>(full.data.begin(), full.data.begin() + long(cut)));
        EXPECT_THROW(p.LoadFromStream(s), StreamError) << cut;
    }
    // A point count far beyond the data fails before anything is allocated.
    CStream huge = PathRecord(530, 0, true, 4, {});
    huge.data[16] = 0xFF;
    huge.data[17] = 0xFF;
    huge.data[18] = 0xFF;
    huge.data[19] = 0x7F;
    EXPECT_THROW(p.LoadFromStream(huge), StreamError);
}

TEST(PathRecord, WriteThenReadGivesEqualPath) {
    CPath a = MakePath(1, false, 3, {{0, 0, 100}, {50, 80, 20}, {-30, 7.25, 0}, {9, 9, 9}});
    CStream s;
    a.WriteToStream(s);
    EXPECT_EQ(
        s.data,
        PathRecord(530, 1, false, 3, {{0, 0, 100}, {50, 80, 20}, {-30, 7.25, 0}, {9, 9, 9}}).data);
    s.pos = 0;
    CPath b;
    b.points.push_back({1, 1, 1});  // loading starts from the defaults
    ASSERT_TRUE(b.LoadFromStream(s));
    EXPECT_EQ(a, b);
}

TEST(PathGeometry, SmoothOpenTwoPointsIsJustThosePoints) {
    CPath p = MakePath(1, false, 4, {{0, 0, 100}, {100, 50, 0}});
    ASSERT_EQ(p.computed.size(), 2u);
    EXPECT_EQ(p.computed[0], (ComputedPoint{0, 0, 100, 0}));
    EXPECT_EQ(p.computed[1].x, 100);
    EXPECT_NEAR(p.Length, std::hypot(100, 50), 1e-9);
}

TEST(PathGeometry, SmoothPrecisionZero) {
    CPath open = MakePath(1, false, 0, {{0, 0, 1}, {100, 0, 1}, {100, 100, 1}, {0, 100, 1}});
    ASSERT_EQ(open.computed.size(), 2u);
    EXPECT_EQ(open.computed[1].y, 100);
    EXPECT_EQ(open.computed[1].x, 0);

    CPath closed = MakePath(1, true, 0, {{0, 0, 1}, {100, 0, 1}, {100, 100, 1}});
    EXPECT_EQ(closed.computed.size(), 1u);
    EXPECT_EQ(closed.Length, 0);
}

TEST(PathGeometry, SmoothCurveSubdivision) {
    // Depth 1: one middle point per curve piece, (mid(a,b) + 2b + mid(b,c)) / 4.
    CPath square = MakePath(1, true, 1, {{0, 0, 0}, {100, 0, 40}, {100, 100, 0}, {0, 100, 0}});
    ASSERT_EQ(square.computed.size(), 5u);
    EXPECT_DOUBLE_EQ(square.computed[0].x, 87.5);
    EXPECT_DOUBLE_EQ(square.computed[0].y, 12.5);
    EXPECT_DOUBLE_EQ(square.computed[0].speed, (20 + 80 + 20) / 4.0);
    EXPECT_DOUBLE_EQ(square.computed[1].x, 87.5);
    EXPECT_DOUBLE_EQ(square.computed[1].y, 87.5);
    EXPECT_EQ(square.computed[4].x, square.computed[0].x);
    EXPECT_EQ(square.computed[4].y, square.computed[0].y);

    // Depth 2 splits both halves of a long control polygon.
    CPath deep = MakePath(1, false, 2, {{0, 0, 0}, {100, 0, 0}, {100, 100, 0}});
    ASSERT_EQ(deep.computed.size(), 5u);
    EXPECT_DOUBLE_EQ(deep.computed[1].x, 71.875);
    EXPECT_DOUBLE_EQ(deep.computed[1].y, 3.125);
    EXPECT_DOUBLE_EQ(deep.computed[2].x, 87.5);
    EXPECT_DOUBLE_EQ(deep.computed[3].x, 96.875);
    EXPECT_DOUBLE_EQ(deep.computed[3].y, 28.125);

    // A control polygon within 4 pixels stops the subdivision whatever the precision.
    CPath gentle = MakePath(1, false, 8, {{0, 0, 0}, {2, 0, 0}, {4, 0, 0}});
    EXPECT_EQ(gentle.computed.size(), 3u);
}

TEST(PathGeometry, MalformedPrecisionDoesNotExplode) {
    CStream s = PathRecord(530, 1, true, 0x7FFFFFFF, {{0, 0, 0}, {1e300, 0, 0}, {1e300, 1e300, 0}});
    CPath p;
    ASSERT_TRUE(p.LoadFromStream(s));
    EXPECT_EQ(p.Precision, 0x7FFFFFFF);  // kept for writing back
    EXPECT_LE(p.computed.size(), 3u * 255 + 1);
    CStream neg = PathRecord(530, 1, true, -3, {{0, 0, 0}, {1e300, 0, 0}, {1e300, 1e300, 0}});
    ASSERT_TRUE(p.LoadFromStream(neg));
    EXPECT_EQ(p.computed.size(), 1u);
}

TEST(PathRecord, SmoothingCountsAgainstTheLoadBudget) {
    // Far-apart points: every curve piece subdivides fully into 255 points.
    CStream s = PathRecord(530, 1, true, 8, {{0, 0, 0}, {1e6, 0, 0}, {1e6, 1e6, 0}, {0, 1e6, 0}});
    CPath p;
    ASSERT_TRUE(p.LoadFromStream(s));
    const size_t need = p.computed.size() * sizeof(ComputedPoint);
    ASSERT_EQ(p.computed.size(), 4u * 255 + 1);

    s.pos = 0;
    s.budget = std::make_shared<InflateBudget>(InflateBudget{need});
    ASSERT_TRUE(p.LoadFromStream(s));
    EXPECT_EQ(s.budget->remaining, 0u);
    s.pos = 0;
    s.budget->remaining = need - 1;
    EXPECT_THROW(p.LoadFromStream(s), StreamError);
}

TEST(PathPosition, InterpolatesAndClamps) {
    CPath p = MakePath(0, false, 4, {{0, 0, 0}, {100, 0, 100}, {100, 100, 200}});
    ExpectPoint(p.PositionAt(0.25), 50, 0, 50);
    ExpectPoint(p.PositionAt(0.5), 100, 0, 100);
    ExpectPoint(p.PositionAt(0.75), 100, 50, 150);
    EXPECT_EQ(p.PositionAt(-0.5), p.PositionAt(0));
    EXPECT_EQ(p.PositionAt(2), p.PositionAt(1));
    ExpectPoint(p.PositionAt(1), 100, 100, 200);
    EXPECT_DOUBLE_EQ(p.XAt(0.75), 100);
    EXPECT_DOUBLE_EQ(p.YAt(0.75), 50);
    EXPECT_DOUBLE_EQ(p.SpeedAt(0.75), 150);

    CPath empty;
    ExpectPoint(empty.PositionAt(0.5), 0, 0, 100);
    CPath zero = MakePath(0, false, 4, {{7, 8, 9}, {7, 8, 50}});
    ExpectPoint(zero.PositionAt(0.7), 7, 8, 9);  // Length 0: the first point
}

TEST(PathEdit, SettersClampAndPointsOutsideTheRangeAreIgnored) {
    CPath p = MakePath(0, false, 4, {{0, 0, 1}, {10, 0, 2}, {20, 0, 3}});
    p.SetPrecision(12);
    EXPECT_EQ(p.Precision, 8);
    p.SetPrecision(-1);
    EXPECT_EQ(p.Precision, 0);
    p.SetKind(5);
    EXPECT_EQ(p.Kind, 0);
    p.SetKind(1);
    EXPECT_EQ(p.Kind, 1);
    p.SetKind(0);
    ExpectPoint(p.GetPoint(99), 0, 0, 1);
    ExpectPoint(p.GetPoint(-1), 0, 0, 1);

    CPath before = p;
    p.InsertPoint(4, 1, 1, 1);
    p.InsertPoint(-1, 1, 1, 1);
    p.ChangePoint(3, 1, 1, 1);
    p.DeletePoint(3);
    p.DeletePoint(-1);
    EXPECT_EQ(p, before);

    p.InsertPoint(0, -10, 0, 0);
    p.InsertPoint(4, 30, 0, 4);  // count appends
    EXPECT_EQ(p.AddPoint(40, 0, 5), 5);
    p.ChangePoint(1, 0, 5, 1);
    p.DeletePoint(2);
    ASSERT_EQ(p.Count(), 5);
    double xs[] = {-10, 0, 20, 30, 40};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(p.GetPoint(i).x, xs[i]) << i;
    EXPECT_EQ(p.GetPoint(1).y, 5);
    EXPECT_EQ(p.computed.size(), 5u);  // recomputed after each change

    p.SetClosed(true);
    EXPECT_EQ(p.computed.size(), 6u);
    p.ClearPoints();
    EXPECT_EQ(p.Count(), 0);
    EXPECT_TRUE(p.computed.empty());
    EXPECT_EQ(p.Length, 0);
}

TEST(PathEdit, TransformsAroundTheBoundingBoxCentre) {
    // Bounding box 0 ... 4 by 0 ... 2: centre (2, 1).
    auto base = [] { return MakePath(0, false, 4, {{0, 0, 10}, {4, 0, 20}, {1, 2, 30}}); };
    struct Case {
        const char* name;
        void (*op)(CPath&);
        Pt expected[3];
    } cases[] = {
        {"reverse", [](CPath& p) { p.Reverse(); }, {{1, 2, 30}, {4, 0, 20}, {0, 0, 10}}},
        {"mirror", [](CPath& p) { p.Mirror(); }, {{4, 0, 10}, {0, 0, 20}, {3, 2, 30}}},
        {"flip", [](CPath& p) { p.Flip(); }, {{0, 2, 10}, {4, 2, 20}, {1, 0, 30}}},
        // x' = x cos a + y sin a, y' = y cos a - x sin a relative to the centre.
        {"rotate", [](CPath& p) { p.Rotate(90); }, {{1, 3, 10}, {1, -1, 20}, {3, 2, 30}}},
        {"scale", [](CPath& p) { p.Scale(2, -1); }, {{-2, 2, 10}, {6, 2, 20}, {0, 0, 30}}},
        {"shift", [](CPath& p) { p.Shift(5, -1); }, {{5, -1, 10}, {9, -1, 20}, {6, 1, 30}}},
    };
    for (const Case& c : cases) {
        CPath p = base();
        c.op(p);
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE(std::string(c.name) + " point " + std::to_string(i));
            ExpectPoint(p.GetPoint(i), c.expected[i].x, c.expected[i].y, c.expected[i].speed);
        }
        EXPECT_EQ(p.computed.front().x, p.GetPoint(0).x) << c.name;
    }
}

TEST(PathEdit, AppendAndAssign) {
    CPath a = MakePath(0, false, 4, {{0, 0, 1}, {10, 0, 1}});
    a.Append(a);
    ASSERT_EQ(a.Count(), 4);
    EXPECT_EQ(a.GetPoint(2).x, 0);
    EXPECT_NEAR(a.Length, 30, 1e-9);

    CPath b = MakePath(1, true, 2, {{5, 5, 5}});
    b.Assign(a);
    EXPECT_EQ(b, a);
    b.Clear();
    EXPECT_EQ(b.Count(), 0);
    EXPECT_TRUE(b.computed.empty());
}

TEST(ProjectCode, PathRoundTripAndMalformedFiles) {
    test::ScratchDir t;
    CPath p = MakePath(1, false, 7, {{0.1, -1e-300, 100}, {123.456789, 5, 33.3}, {-7, 8, 0}});
    pack::SavePath(p, t.path / "path0");
    CPath back;
    pack::LoadPath(t.path / "path0", back);
    EXPECT_EQ(back, p);

    struct Case {
        const char* name;
        const char* json;
    } cases[] = {
        {"not JSON", "{\"Kind\": 0,"},
        {"kind out of range", R"({"Kind": 3, "Closed": true, "Precision": 4, "points": []})"},
        {"precision", R"({"Kind": 0, "Closed": true, "Precision": 9, "points": []})"},
        {"huge integer", R"({"Kind": 0, "Closed": true, "Precision": 1e20, "points": []})"},
        {"wrong type", R"({"Kind": 0, "Closed": 1, "Precision": 4, "points": []})"},
        {"point type", R"({"Kind": 0, "Closed": true, "Precision": 4, "points": [{"x": "1"}]})"},
        {"missing key", R"({"Kind": 0, "Closed": true, "points": []})"},
        {"not an object", "[1, 2]"},
    };
    for (const Case& c : cases) {
        test::WriteText(t.path / "bad.json", c.json);
        try {
            pack::LoadPath(t.path / "bad", back);
            ADD_FAILURE() << c.name;
        } catch (const pack::ProjectError& e) {
            EXPECT_NE(std::string(e.what()).find("bad.json"), std::string::npos) << c.name;
        }
    }
    EXPECT_EQ(back, p);  // a failed load leaves the path alone
    EXPECT_THROW(pack::LoadPath(t.path / "missing", back), pack::ProjectError);
}

}  // namespace
}  // namespace tb
