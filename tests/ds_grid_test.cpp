#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "ds/grid.h"
#include "ds/store.h"
#include "runner/stream.h"
#include "script/random.h"
#include "script/variables.h"
#include "script_harness.h"

namespace tb {
namespace {

using test::IsReal;
using test::IsText;
using test::ScriptWorld;

RValue R(double v) {
    return RValue::Real(v);
}
RValue S(const char* s) {
    return RValue::String(RString(s));
}

// Rows top to bottom, separated by '|'; strings quoted.
std::string Dump(const CDS_Grid& g) {
    std::string out;
    for (int32_t y = 0; y < g.Height(); ++y) {
        if (y) out += '|';
        for (int32_t x = 0; x < g.Width(); ++x) {
            if (x) out += ' ';
            const RValue& c = g.Get(x, y);
            if (c.IsString()) {
                out += '"' + c.text.str() + '"';
            } else {
                char buf[32];
                std::snprintf(buf, sizeof buf, "%g", c.real);
                out += buf;
            }
        }
    }
    return out;
}

// Cell (x, y) holds 10 * y + x.
CDS_Grid Numbered(int32_t w, int32_t h) {
    CDS_Grid g(w, h);
    for (int32_t x = 0; x < w; ++x)
        for (int32_t y = 0; y < h; ++y) g.Apply(GridOp::kSet, x, y, R(10 * y + x));
    return g;
}

// ---- single cells

TEST(DsGridOps, KindRulesOfSetAddAndMultiply) {
    struct Case {
        GridOp op;
        RValue cell, v, expected;
    } cases[] = {
        {GridOp::kSet, R(2), S("a"), S("a")},      {GridOp::kSet, S("a"), R(3), R(3)},
        {GridOp::kAdd, R(2), R(3), R(5)},          {GridOp::kAdd, S("ab"), S("cd"), S("abcd")},
        {GridOp::kAdd, R(2), S("x"), S("x")},  // mixed kinds act as set
        {GridOp::kAdd, S("x"), R(2), R(2)},        {GridOp::kMultiply, R(2), R(3), R(6)},
        {GridOp::kMultiply, S("a"), R(3), S("a")},  // unchanged in every other pairing
        {GridOp::kMultiply, R(2), S("a"), R(2)},   {GridOp::kMultiply, S("a"), S("b"), S("a")},
    };
    for (const Case& c : cases) {
        CDS_Grid g(1, 1);
        g.Apply(GridOp::kSet, 0, 0, c.cell);
        g.Apply(c.op, 0, 0, c.v);
        EXPECT_EQ(g.Get(0, 0), c.expected) << int(c.op) << " " << Dump(g);
    }
}

TEST(DsGridOps, CellsOutsideAreIgnoredAndReadAsZero) {
    CDS_Grid g = Numbered(2, 2);
    for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {2, 0}, {0, 2}}) {
        g.Apply(GridOp::kSet, x, y, S("no"));
        EXPECT_TRUE(IsReal(g.Get(x, y), 0));
    }
    EXPECT_EQ(Dump(g), "0 1|10 11");
    g.SetAll(S("s"));
    EXPECT_EQ(Dump(g), "\"s\" \"s\"|\"s\" \"s\"");
}

// ---- regions and disks

TEST(DsGridRegions, RegionsTakeCornersInAnyOrderAndAreCut) {
    struct Case {
        int32_t x1, y1, x2, y2;
        const char* after;
    } cases[] = {
        {1, 0, 2, 1, "0 1 1 0|0 1 1 0|0 0 0 0"},
        {2, 1, 1, 0, "0 1 1 0|0 1 1 0|0 0 0 0"},  // corners swapped
        {-5, 2, 1, 9, "0 0 0 0|0 0 0 0|1 1 0 0"},
        {3, 0, 3, 0, "0 0 0 1|0 0 0 0|0 0 0 0"},
        {4, 0, 9, 2, "0 0 0 0|0 0 0 0|0 0 0 0"},  // entirely outside
        {-2147483647 - 1, -2147483647 - 1, 2147483647, 2147483647, "1 1 1 1|1 1 1 1|1 1 1 1"},
    };
    for (const Case& c : cases) {
        CDS_Grid g(4, 3);
        g.ApplyRegion(GridOp::kSet, c.x1, c.y1, c.x2, c.y2, R(1));
        EXPECT_EQ(Dump(g), c.after) << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2;
    }
}

TEST(DsGridRegions, DisksCoverCellsWithinTheRadius) {
    const double nan = std::nan(""), inf = std::numeric_limits<double>::infinity();
    struct Case {
        double xm, ym, r;
        const char* after;
    } cases[] = {
        {2, 2, 1, "0 0 0 0 0|0 0 1 0 0|0 1 1 1 0|0 0 1 0 0|0 0 0 0 0"},
        {2, 2, 1.5, "0 0 0 0 0|0 1 1 1 0|0 1 1 1 0|0 1 1 1 0|0 0 0 0 0"},
        {2, 2, 0, "0 0 0 0 0|0 0 0 0 0|0 0 1 0 0|0 0 0 0 0|0 0 0 0 0"},
        {0.5, 0.5, 0.75, "1 1 0 0 0|1 1 0 0 0|0 0 0 0 0|0 0 0 0 0|0 0 0 0 0"},
        {-1, 4, 1.2, "0 0 0 0 0|0 0 0 0 0|0 0 0 0 0|0 0 0 0 0|1 0 0 0 0"},
        {2, 2, 1e300, "1 1 1 1 1|1 1 1 1 1|1 1 1 1 1|1 1 1 1 1|1 1 1 1 1"},
        {2, 2, inf, "1 1 1 1 1|1 1 1 1 1|1 1 1 1 1|1 1 1 1 1|1 1 1 1 1"},
        {2, 2, nan, "0 0 0 0 0|0 0 0 0 0|0 0 0 0 0|0 0 0 0 0|0 0 0 0 0"},
        {nan, 2, 3, "0 0 0 0 0|0 0 0 0 0|0 0 0 0 0|0 0 0 0 0|0 0 0 0 0"},
        {1e18, 1e18, 1, "0 0 0 0 0|0 0 0 0 0|0 0 0 0 0|0 0 0 0 0|0 0 0 0 0"},
        {-1e300, 0, 1e299, "0 0 0 0 0|0 0 0 0 0|0 0 0 0 0|0 0 0 0 0|0 0 0 0 0"},
    };
    for (const Case& c : cases) {
        CDS_Grid g(5, 5);
        g.ApplyDisk(GridOp::kAdd, c.xm, c.ym, c.r, R(1));
        EXPECT_EQ(Dump(g), c.after) << c.xm << "," << c.ym << " r " << c.r;
    }
}

TEST(DsGridRegions, AggregatesSkipStrings) {
    // 1 2 "a"
    // 4 "b" -6
    CDS_Grid g(3, 2);
    const RValue cells[3][2] = {{R(1), R(4)}, {R(2), S("b")}, {S("a"), R(-6)}};
    for (int x = 0; x < 3; ++x)
        for (int y = 0; y < 2; ++y) g.Apply(GridOp::kSet, x, y, cells[x][y]);
    struct Case {
        int32_t x1, y1, x2, y2;
        double sum, max, min, mean;
    } cases[] = {
        {0, 0, 2, 1, 1, 4, -6, 0.25},
        {2, 1, 0, 0, 1, 4, -6, 0.25},
        {1, 0, 2, 1, -4, 2, -6, -2},
        {2, 0, 2, 0, 0, -100000000, 100000000, 0},  // only a string
        {1, 1, 1, 1, 0, -100000000, 100000000, 0},
        {5, 5, 9, 9, 0, -100000000, 100000000, 0},  // outside
        {0, 1, 0, 1, 4, 4, 4, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2);
        EXPECT_EQ(g.RegionSum(c.x1, c.y1, c.x2, c.y2), c.sum);
        EXPECT_EQ(g.RegionMax(c.x1, c.y1, c.x2, c.y2), c.max);
        EXPECT_EQ(g.RegionMin(c.x1, c.y1, c.x2, c.y2), c.min);
        EXPECT_EQ(g.RegionMean(c.x1, c.y1, c.x2, c.y2), c.mean);
    }
    // The "none" markers are not bounds: real cells beyond them still count.
    CDS_Grid far(2, 1);
    far.Apply(GridOp::kSet, 0, 0, R(-3e8));
    far.Apply(GridOp::kSet, 1, 0, R(-5e8));
    EXPECT_EQ(far.RegionMax(0, 0, 1, 0), -3e8);
    far.SetAll(R(7e8));
    EXPECT_EQ(far.RegionMin(0, 0, 1, 0), 7e8);
}

TEST(DsGridRegions, DiskAggregates) {
    CDS_Grid g = Numbered(4, 4);  // 10 * y + x
    g.Apply(GridOp::kSet, 1, 2, S("s"));
    struct Case {
        double xm, ym, r;
        double sum, max, min, mean;
    } cases[] = {
        {1, 1, 1, 1 + 10 + 11 + 12, 12, 1, 34.0 / 4},  // (1,2) is the string
        {1, 1, 0, 11, 11, 11, 11},
        {0, 0, 1.5, 0 + 1 + 10 + 11, 11, 0, 5.5},
        {1, 2, 0, 0, -100000000, 100000000, 0},
        {10, 10, 2, 0, -100000000, 100000000, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.xm << "," << c.ym << " r " << c.r);
        EXPECT_EQ(g.DiskSum(c.xm, c.ym, c.r), c.sum);
        EXPECT_EQ(g.DiskMax(c.xm, c.ym, c.r), c.max);
        EXPECT_EQ(g.DiskMin(c.xm, c.ym, c.r), c.min);
        EXPECT_EQ(g.DiskMean(c.xm, c.ym, c.r), c.mean);
    }
}

TEST(DsGridRegions, FindsTheFirstMatchColumnByColumn) {
    // "k" at (2,0) and (1,2): column 1 comes first although (2,0) is in an earlier row.
    CDS_Grid g = Numbered(4, 3);
    g.Apply(GridOp::kSet, 2, 0, S("k"));
    g.Apply(GridOp::kSet, 1, 2, S("k"));
    auto check = [](GridFind f, bool found, int32_t x, int32_t y) {
        EXPECT_EQ(f.found, found);
        EXPECT_EQ(f.x, x);
        EXPECT_EQ(f.y, y);
    };
    check(g.RegionFind(0, 0, 3, 2, S("k")), true, 1, 2);
    check(g.RegionFind(3, 1, 2, 0, S("k")), true, 2, 0);
    check(g.RegionFind(0, 0, 3, 1, R(12)), true, 2, 1);
    check(g.RegionFind(0, 0, 3, 2, R(12.000000001)), true, 2, 1);  // within the precision
    check(g.RegionFind(0, 0, 0, 2, S("k")), false, 0, 0);
    check(g.RegionFind(0, 0, 3, 2, S("K")), false, 0, 0);
    check(g.DiskFind(1.5, 1, 1.2, S("k")), true, 1, 2);
    check(g.DiskFind(2, 0, 0.5, S("k")), true, 2, 0);
    check(g.DiskFind(3, 2, 1, S("k")), false, 0, 0);
    check(g.DiskFind(std::nan(""), 1, 5, R(0)), false, 0, 0);
}

// ---- grid to grid

TEST(DsGridRegions, GridRegionMovesWithinOneGridUseTheOldValues) {
    struct Case {
        int32_t x1, y1, x2, y2, xpos, ypos;
        const char* after;
    } cases[] = {
        {5, 0, 9, 0, 3, 0, "0 1 2 5 6 7 8 9 8 9"},   // left over itself
        {0, 0, 4, 0, 3, 0, "0 1 2 0 1 2 3 4 8 9"},   // right over itself
        {7, 0, 9, 0, 8, 0, "0 1 2 3 4 5 6 7 7 8"},   // cut at the right edge
        {0, 0, 4, 0, -2, 0, "2 3 4 3 4 5 6 7 8 9"},  // negative xpos skips source columns
        {9, 0, 0, 0, 0, 0, "0 1 2 3 4 5 6 7 8 9"},
    };
    for (const Case& c : cases) {
        CDS_Grid g = Numbered(10, 1);
        g.ApplyGridRegion(GridOp::kSet, g, c.x1, c.y1, c.x2, c.y2, c.xpos, c.ypos);
        EXPECT_EQ(Dump(g), c.after) << c.x1 << ".." << c.x2 << " to " << c.xpos;
    }
    // Diagonal moves in both directions, in two dimensions.
    CDS_Grid down = Numbered(3, 3);
    down.ApplyGridRegion(GridOp::kSet, down, 0, 0, 1, 1, 1, 1);
    EXPECT_EQ(Dump(down), "0 1 2|10 0 1|20 10 11");
    CDS_Grid up = Numbered(3, 3);
    up.ApplyGridRegion(GridOp::kSet, up, 2, 2, 1, 1, 0, 0);
    EXPECT_EQ(Dump(up), "11 12 2|21 22 12|20 21 22");
}

TEST(DsGridRegions, GridRegionFromAnotherGridAppliesTheOperation) {
    CDS_Grid src = Numbered(3, 2);  // 0 1 2 | 10 11 12
    src.Apply(GridOp::kSet, 0, 0, S("s"));
    CDS_Grid dst(3, 3);
    dst.SetAll(R(2));
    dst.Apply(GridOp::kSet, 1, 1, S("t"));
    dst.ApplyGridRegion(GridOp::kMultiply, src, 0, 0, 2, 1, 1, 1);
    EXPECT_EQ(Dump(dst), "2 2 2|2 \"t\" 2|2 20 22");
    dst.ApplyGridRegion(GridOp::kAdd, src, 0, 0, 2, 1, -1, -1);  // only (1,1)..(2,1) of src
    EXPECT_EQ(Dump(dst), "13 14 2|2 \"t\" 2|2 20 22");
    dst.ApplyGridRegion(GridOp::kAdd, src, -3, -3, 0, 0, 1, 1);  // the string onto a string
    EXPECT_EQ(Dump(dst), "13 14 2|2 \"ts\" 2|2 20 22");
    // Onto itself in place: add doubles reals and repeats texts.
    dst.ApplyGridRegion(GridOp::kAdd, dst, 0, 0, 2, 1, 0, 0);
    EXPECT_EQ(Dump(dst), "26 28 4|4 \"tsts\" 4|2 20 22");
    dst.ApplyGridRegion(GridOp::kSet, src, 0, 0, 2, 1, 3, 0);  // entirely outside
    EXPECT_EQ(Dump(dst), "26 28 4|4 \"tsts\" 4|2 20 22");
}

// ---- size, copy and shuffle

TEST(DsGridSize, ResizeKeepsTheCommonCells) {
    struct Case {
        int32_t w, h;
        const char* after;
    } cases[] = {
        {3, 2, "0 1 2|10 11 12"},
        {2, 3, "0 1|10 11|0 0"},
        {4, 2, "0 1 2 0|10 11 12 0"},
        {1, 1, "0"},
        {4, 3, "0 1 2 0|10 11 12 0|0 0 0 0"},
        {0, 5, "||||"},  // five empty rows
    };
    for (const Case& c : cases) {
        CDS_Grid g = Numbered(3, 2);
        EXPECT_TRUE(g.Resize(c.w, c.h));
        EXPECT_EQ(g.Width(), c.w);
        EXPECT_EQ(g.Height(), c.h);
        EXPECT_EQ(Dump(g), c.after) << c.w << "x" << c.h;
    }
}

TEST(DsGridSize, NegativeSizesAreZeroAndHugeOnesAreRefused) {
    CDS_Grid neg(-1, 5);
    EXPECT_EQ(neg.Width(), 0);
    EXPECT_EQ(neg.Height(), 5);
    EXPECT_TRUE(neg.Resize(2, -3));
    EXPECT_EQ(neg.Width(), 2);
    EXPECT_EQ(neg.Height(), 0);

    CDS_Grid g = Numbered(3, 2);
    EXPECT_FALSE(g.Resize(100000, 100000));
    EXPECT_FALSE(g.Create(2147483647, 2147483647));
    EXPECT_EQ(Dump(g), "0 1 2|10 11 12");
    CDS_Grid huge(70000, 70000);
    EXPECT_EQ(huge.Width(), 0);
    EXPECT_EQ(huge.Height(), 0);
    EXPECT_TRUE(g.Create(2, 1));  // a fresh grid: all real 0
    EXPECT_EQ(Dump(g), "0 0");
}

TEST(DsGridSize, CopyFromMakesAnExactCopy) {
    CDS_Grid src = Numbered(2, 3);
    src.Apply(GridOp::kSet, 1, 2, S("z"));
    CDS_Grid dst(5, 5);
    dst.CopyFrom(&src);
    EXPECT_EQ(dst.Width(), 2);
    EXPECT_EQ(dst.Height(), 3);
    EXPECT_EQ(Dump(dst), Dump(src));
    src.Apply(GridOp::kAdd, 1, 2, S("!"));  // the copy owns its cells
    EXPECT_EQ(dst.Get(1, 2), S("z"));
    dst.CopyFrom(&dst);
    EXPECT_EQ(Dump(dst), "0 1|10 11|20 \"z\"");
    dst.CopyFrom(nullptr);
    EXPECT_EQ(dst.Width(), 0);
    EXPECT_EQ(dst.Height(), 0);
}

TEST(DsGridSize, ShuffleDrawsX1X2Y1Y2AndIsAPermutation) {
    CDS_Grid g = Numbered(4, 3);
    RandomGenerator random;
    random.SetSeed(1234);
    g.Shuffle(random);

    // The same exchanges, drawn in the documented order, on a plain array.
    RandomGenerator ref;
    ref.SetSeed(1234);
    std::vector<double> cells(12);
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 3; ++y) cells[size_t(x * 3 + y)] = 10 * y + x;
    for (int i = 0; i < 4 * 3 * 8; ++i) {
        const uint32_t x1 = ref.Below(4), x2 = ref.Below(4), y1 = ref.Below(3), y2 = ref.Below(3);
        std::swap(cells[x1 * 3 + y1], cells[x2 * 3 + y2]);
    }
    EXPECT_EQ(random.Seed(), ref.Seed());
    std::vector<double> got, sorted_got, sorted_want = cells;
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 3; ++y) got.push_back(g.Get(x, y).real);
    EXPECT_EQ(got, cells);
    sorted_got = got;
    std::sort(sorted_got.begin(), sorted_got.end());
    std::sort(sorted_want.begin(), sorted_want.end());
    EXPECT_EQ(sorted_got, sorted_want);
    EXPECT_NE(Dump(g), Dump(Numbered(4, 3)));

    CDS_Grid again = Numbered(4, 3);
    random.SetSeed(1234);
    again.Shuffle(random);
    EXPECT_EQ(Dump(again), Dump(g));

    CDS_Grid empty(0, 7);
    const uint32_t before = random.Seed();
    empty.Shuffle(random);
    EXPECT_EQ(random.Seed(), before);
}

// ---- text form

TEST(DsGridText, RoundTripAndPinnedForm) {
    CDS_Grid g = Numbered(3, 2);
    g.Apply(GridOp::kSet, 2, 0, S("text"));
    g.Apply(GridOp::kSet, 0, 1, R(-0.125));
    CDS_Grid back(1, 1);
    ASSERT_TRUE(back.ReadText(g.WriteText()));
    EXPECT_EQ(back.Width(), 3);
    EXPECT_EQ(back.Height(), 2);
    EXPECT_EQ(Dump(back), Dump(g));

    CDS_Grid one(1, 1);
    one.Apply(GridOp::kSet, 0, 0, R(1.5));
    EXPECT_EQ(one.WriteText(),
              "59020000"  // 601
              "01000000"
              "01000000"
              "00000000"  // kind
              "000000000000F83F"
              "00000000");  // empty text
    CDS_Grid empty(0, 0);
    EXPECT_TRUE(back.ReadText(empty.WriteText()));
    EXPECT_EQ(back.Width(), 0);
}

TEST(DsGridText, CellsGoColumnByColumn) {
    CDS_Grid g = Numbered(2, 2);
    g.Apply(GridOp::kSet, 1, 0, S("q"));
    CStream s;
    FromHex(s, g.WriteText());
    EXPECT_EQ(ReadInteger(s), 601);
    EXPECT_EQ(ReadInteger(s), 2);
    EXPECT_EQ(ReadInteger(s), 2);
    const RValue order[] = {R(0), R(10), S("q"), R(11)};
    for (const RValue& want : order) EXPECT_EQ(LoadValue(s), want);
    EXPECT_EQ(s.Remaining(), 0u);
}

TEST(DsGridText, MalformedTextsFailAndChangeNothing) {
    CDS_Grid src = Numbered(2, 3);
    src.Apply(GridOp::kSet, 1, 1, S("abc"));
    const std::string text = src.WriteText();
    CDS_Grid g = Numbered(1, 2);
    for (size_t n = 0; n < text.size(); ++n) {
        ASSERT_FALSE(g.ReadText(std::string_view(text).substr(0, n))) << n;
        ASSERT_EQ(Dump(g), "0|10") << n;
    }
    auto with_header = [](int32_t kind, int32_t w, int32_t h) {
        CStream s;
        WriteInteger(s, kind);
        WriteInteger(s, w);
        WriteInteger(s, h);
        for (int i = 0; i < 4; ++i) SaveValue(s, RValue::Real(i));
        return ToHex(s);
    };
    for (const std::string& bad :
         {with_header(101, 1, 1), with_header(601, -1, 2), with_header(601, 2, -1),
          with_header(601, 65536, 65536), with_header(601, 2147483647, 2147483647),
          with_header(601, 5, 1), std::string("zz"), std::string()}) {
        EXPECT_FALSE(g.ReadText(bad)) << bad;
        EXPECT_EQ(Dump(g), "0|10");
    }
    EXPECT_TRUE(g.ReadText(with_header(601, 2, 2)));
    EXPECT_EQ(Dump(g), "0 2|1 3");
}

// ---- the script functions

class DsGridFunctions : public testing::Test {
  protected:
    ScriptWorld w;
    double Real(std::string_view code) {
        test::RunResult r = w.Run(code);
        EXPECT_TRUE(r.ok) << code << ": " << r.message;
        return r.result.real;
    }
    RValue Value(std::string_view code) {
        test::RunResult r = w.Run(code);
        EXPECT_TRUE(r.ok) << code << ": " << r.message;
        return r.result;
    }
    // Runs code and tells whether it showed the missing-structure message.
    bool Complains(std::string_view code) {
        w.engine.errors.error_occurred = false;
        w.engine.errors.last_error.clear();
        test::RunResult r = w.Run(code);
        EXPECT_TRUE(r.ok) << code << ": " << r.message;
        return w.engine.errors.error_occurred &&
               std::string_view(w.engine.errors.last_error).ends_with(kNoDataStructure);
    }
};

TEST_F(DsGridFunctions, AllAreRegisteredWithTheirArgumentCounts) {
    const std::pair<const char*, int> table[] = {
        {"ds_grid_create", 2},
        {"ds_grid_destroy", 1},
        {"ds_grid_copy", 2},
        {"ds_grid_resize", 3},
        {"ds_grid_width", 1},
        {"ds_grid_height", 1},
        {"ds_grid_clear", 2},
        {"ds_grid_set", 4},
        {"ds_grid_add", 4},
        {"ds_grid_multiply", 4},
        {"ds_grid_set_region", 6},
        {"ds_grid_add_region", 6},
        {"ds_grid_multiply_region", 6},
        {"ds_grid_set_disk", 5},
        {"ds_grid_add_disk", 5},
        {"ds_grid_multiply_disk", 5},
        {"ds_grid_set_grid_region", 8},
        {"ds_grid_add_grid_region", 8},
        {"ds_grid_multiply_grid_region", 8},
        {"ds_grid_get", 3},
        {"ds_grid_get_sum", 5},
        {"ds_grid_get_max", 5},
        {"ds_grid_get_min", 5},
        {"ds_grid_get_mean", 5},
        {"ds_grid_get_disk_sum", 4},
        {"ds_grid_get_disk_max", 4},
        {"ds_grid_get_disk_min", 4},
        {"ds_grid_get_disk_mean", 4},
        {"ds_grid_value_exists", 6},
        {"ds_grid_value_x", 6},
        {"ds_grid_value_y", 6},
        {"ds_grid_value_disk_exists", 5},
        {"ds_grid_value_disk_x", 5},
        {"ds_grid_value_disk_y", 5},
        {"ds_grid_shuffle", 1},
        {"ds_grid_write", 1},
        {"ds_grid_read", 2},
    };
    int registered = 0;
    for (int i = 0; i < w.engine.functions.Count(); ++i)
        if (w.engine.functions.At(i).name.starts_with("ds_grid_")) ++registered;
    EXPECT_EQ(registered, int(std::size(table)));
    for (auto [name, argc] : table) {
        const int id = w.engine.functions.Find(name);
        ASSERT_GE(id, 0) << name;
        EXPECT_EQ(w.engine.functions.At(id).argc, argc) << name;
    }

    // Every one of them refuses a number that names no grid, with result 0.
    for (auto [name, argc] : table) {
        if (std::string_view(name) == "ds_grid_create") continue;
        std::string call = std::string("x = ") + name + "(7";
        for (int i = 1; i < argc; ++i) call += ", 1";
        call += "); return x";
        EXPECT_TRUE(Complains(call)) << call;
        EXPECT_TRUE(IsReal(w.Run(call).result, 0)) << call;
    }
}

TEST_F(DsGridFunctions, CellsRegionsAndSearchesFromScripts) {
    EXPECT_EQ(Real("g = ds_grid_create(4, 3); return g"), 0);
    EXPECT_EQ(Real("return ds_grid_width(g) * 10 + ds_grid_height(g)"), 43);
    EXPECT_TRUE(IsText(Value("ds_grid_set(g, 1.5, 0.5, \"a\"); ds_grid_add(g, 2, 0, \"b\"); "
                             "return ds_grid_get(g, 2, 0)"),
                       "ab"));
    EXPECT_FALSE(Complains("x = ds_grid_get(g, -1, 0)"));
    EXPECT_EQ(Real("return ds_grid_get(g, -1, 0)"), 0);
    EXPECT_EQ(Real("ds_grid_set_region(g, 0, 1, 3, 2, 2); ds_grid_multiply_region(g, 1, 1, 1, "
                   "2, 5); return ds_grid_get_sum(g, 0, 0, 3, 2)"),
              2 * 6 + 10 * 2);
    EXPECT_EQ(Real("return ds_grid_get_max(g, 2, 0, 2, 0)"), -100000000);
    EXPECT_EQ(Real("ds_grid_add_disk(g, 0.2, 1.2, 0.5, 1); return ds_grid_get(g, 0, 1)"), 3);
    EXPECT_EQ(Real("return ds_grid_get_disk_mean(g, 1, 2, 1)"), (10 + 10 + 2 + 2) / 4.0);
    EXPECT_EQ(Real("return ds_grid_value_x(g, 0, 0, 3, 2, 10) * 10 + "
                   "ds_grid_value_y(g, 0, 0, 3, 2, 10)"),
              11);
    EXPECT_EQ(Real("return ds_grid_value_disk_exists(g, 3, 0, 0.9, \"ab\")"), 0);
    EXPECT_EQ(Real("return ds_grid_value_disk_exists(g, 3, 0, 1, \"ab\")"), 1);
    EXPECT_EQ(Real("h = ds_grid_create(2, 1); ds_grid_set(h, 0, 0, 7); ds_grid_set(h, 1, 0, 8);"
                   "ds_grid_add_grid_region(g, h, 0, 0, 1, 0, 3, 2); "
                   "return ds_grid_get(g, 3, 2)"),
              9);
    // Negative sizes count as 0; a size the runner cannot hold leaves the grid as it was.
    EXPECT_EQ(Real("ds_grid_resize(g, 100000, 100000); return ds_grid_width(g) * 10 + "
                   "ds_grid_height(g)"),
              43);
    EXPECT_EQ(Real("n = ds_grid_create(-1, 5); return ds_grid_width(n) * 10 + ds_grid_height(n)"),
              5);
    EXPECT_EQ(
        Real("n = ds_grid_create(100000, 100000); return ds_grid_width(n) + ds_grid_height(n)"), 0);
    EXPECT_EQ(Real("ds_grid_resize(g, 1, 1); ds_grid_clear(g, 4); "
                   "return ds_grid_get_sum(g, 0, 0, 9, 9)"),
              4);
}

TEST_F(DsGridFunctions, NumbersAndCopies) {
    // Destroyed numbers are handed out again, lowest first; ids are rounded halves to even.
    EXPECT_EQ(Real("a = ds_grid_create(1, 1); b = ds_grid_create(2, 2); c = ds_grid_create(3, "
                   "3); ds_grid_destroy(a); ds_grid_destroy(b); return ds_grid_create(1, 2)"),
              0);
    EXPECT_EQ(Real("return ds_grid_width(2.5)"), 3);
    EXPECT_TRUE(Complains("x = ds_grid_width(1)"));
    EXPECT_TRUE(Complains("x = ds_grid_width(-1)"));
    EXPECT_FALSE(Complains("x = ds_grid_width(\"0\")"));  // a string reads as 0

    w.Run("ds_grid_set(2, 0, 0, \"keep\")");
    EXPECT_TRUE(Complains("ds_grid_copy(2, 1)"));  // valid id, destroyed source
    EXPECT_TRUE(IsText(Value("return ds_grid_get(2, 0, 0)"), "keep"));
    EXPECT_TRUE(Complains("ds_grid_copy(1, 2)"));
    EXPECT_TRUE(Complains("ds_grid_set_grid_region(2, 5, 0, 0, 0, 0, 0, 0)"));
    EXPECT_TRUE(IsText(Value("return ds_grid_get(2, 0, 0)"), "keep"));
    EXPECT_FALSE(Complains("ds_grid_copy(0, 2)"));
    EXPECT_EQ(Real("return ds_grid_width(0) * 10 + ds_grid_height(0)"), 33);
    EXPECT_TRUE(IsText(Value("return ds_grid_get(0, 0, 0)"), "keep"));
}

TEST_F(DsGridFunctions, TextAndShuffleFromScripts) {
    w.Run(
        "g = ds_grid_create(2, 2); ds_grid_set(g, 1, 1, \"z\"); ds_grid_set(g, 0, 1, 5);"
        "t = ds_grid_write(g); h = ds_grid_create(1, 1); ds_grid_read(h, t)");
    EXPECT_TRUE(IsText(Value("return ds_grid_get(h, 1, 1)"), "z"));
    EXPECT_EQ(Real("return ds_grid_get(h, 0, 1)"), 5);
    EXPECT_FALSE(Complains("ds_grid_read(h, \"65000000\"); ds_grid_read(h, 12)"));
    EXPECT_EQ(Real("return ds_grid_width(h)"), 2);

    // The script's shuffle draws from the runner's generator.
    CDS_Grid expect = Numbered(3, 3);
    w.engine.random.SetSeed(99);
    expect.Shuffle(w.engine.random);
    w.engine.random.SetSeed(99);
    w.Run(
        "s = ds_grid_create(3, 3); for (i = 0; i < 9; i += 1) ds_grid_set(s, i mod 3, i div "
        "3, 10 * (i div 3) + i mod 3); ds_grid_shuffle(s)");
    const CDS_Grid* s = w.engine.data_structures->grids.Find(2);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(Dump(*s), Dump(expect));
}

}  // namespace
}  // namespace tb
