// Positions along paths at given fractions, worked out by hand from the defining points:
// straight and smooth polylines, open and closed, with the speed interpolated alongside.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <vector>

#include "resources/path.h"

namespace tb {
namespace {

CPath MakePath(int32_t kind, bool closed, int32_t precision,
               std::initializer_list<PathPoint> points) {
    CPath p;
    p.Kind = kind;
    p.Closed = closed;
    p.Precision = precision;
    p.points = points;
    p.Recompute();
    return p;
}

struct At {
    double t, x, y, speed;
};

void ExpectPositions(const CPath& path, const std::vector<At>& table) {
    for (const At& a : table) {
        const PathPoint p = path.PositionAt(a.t);
        EXPECT_NEAR(p.x, a.x, 1e-9) << "t = " << a.t;
        EXPECT_NEAR(p.y, a.y, 1e-9) << "t = " << a.t;
        EXPECT_NEAR(p.speed, a.speed, 1e-9) << "t = " << a.t;
    }
}

const double kRoot2 = std::sqrt(2.0);

TEST(PathPositions, StraightOpenAndClosed) {
    // Open: two legs of 100, speeds 100 -> 50 -> 200.
    CPath open = MakePath(0, false, 4, {{0, 0, 100}, {100, 0, 50}, {100, 100, 200}});
    EXPECT_DOUBLE_EQ(open.Length, 200);
    ExpectPositions(open, {{0, 0, 0, 100},
                           {0.1, 20, 0, 90},
                           {0.5, 100, 0, 50},  // exactly on the corner
                           {0.6, 100, 20, 80},
                           {1, 100, 100, 200}});

    // Closed: the leg back to the start (length 100 * sqrt 2, speed 200 -> 100) counts.
    CPath closed = MakePath(0, true, 4, {{0, 0, 100}, {100, 0, 50}, {100, 100, 200}});
    const double length = 200 + 100 * kRoot2;
    EXPECT_NEAR(closed.Length, length, 1e-9);
    // Half way lies on the second leg, 170.71 along: 70.71 down it.
    const double down = length / 2 - 100;
    // 90 % lies on the closing leg, this far from (100, 100) towards (0, 0).
    const double back = (0.9 * length - 200) / (100 * kRoot2);
    ExpectPositions(closed, {{0.5, 100, down, 50 + 150 * down / 100},
                             {0.9, 100 - 100 * back, 100 - 100 * back, 200 - 100 * back},
                             {1, 0, 0, 100}});
}

TEST(PathPositions, RepeatedPointsLeaveZeroLengthLegs) {
    // The leg from the first point to its copy has length 0; half way lies on the next leg.
    CPath p = MakePath(0, false, 4, {{0, 0, 10}, {0, 0, 30}, {100, 0, 50}});
    ExpectPositions(p, {{0, 0, 0, 10}, {0.5, 50, 0, 40}, {1, 100, 0, 50}});
    // Every point the same: length 0, so every position is the first point.
    CPath still = MakePath(0, true, 4, {{5, 6, 70}, {5, 6, 80}});
    EXPECT_EQ(still.Length, 0);
    ExpectPositions(still, {{0.5, 5, 6, 70}, {1, 5, 6, 70}});
}

TEST(PathPositions, SmoothOpenCurve) {
    // Depth 1 over (0,0) (100,0) (100,100): the one curve piece from (50,0) to (100,50) with
    // control (100,0) gives its middle (87.5, 12.5); the polyline is start, middle, end, two
    // legs of sqrt(87.5^2 + 12.5^2) each. Speeds 0, 100, 0 give the middle (50+200+50)/4.
    CPath p = MakePath(1, false, 1, {{0, 0, 0}, {100, 0, 100}, {100, 100, 0}});
    const double leg = std::sqrt(87.5 * 87.5 + 12.5 * 12.5);
    EXPECT_NEAR(p.Length, 2 * leg, 1e-9);
    ExpectPositions(p, {{0.25, 43.75, 6.25, 37.5},
                        {0.5, 87.5, 12.5, 75},
                        {0.75, 93.75, 56.25, 37.5},
                        {1, 100, 100, 0}});
}

TEST(PathPositions, SmoothClosedCurve) {
    // A 100 x 100 square at depth 1: each corner's curve piece gives one point 12.5 inside
    // the corner, and the first is repeated, so the polyline is a 75 x 75 square starting at
    // (87.5, 12.5), length 300. Point speeds 100, 200, 100, 0 give 175, 100, 25, 100 there.
    CPath p = MakePath(1, true, 1, {{0, 0, 100}, {100, 0, 200}, {100, 100, 100}, {0, 100, 0}});
    EXPECT_NEAR(p.Length, 300, 1e-9);
    ExpectPositions(p, {{0, 87.5, 12.5, 175},
                        {0.125, 87.5, 50, 137.5},
                        {0.5, 12.5, 87.5, 25},
                        {0.875, 50, 12.5, 137.5},
                        {1, 87.5, 12.5, 175}});
}

TEST(PathPositions, OutsideTheRangeClampsAndEmptyPathsHaveAFixedAnswer) {
    CPath p = MakePath(0, false, 4, {{10, 20, 30}, {110, 20, 60}});
    ExpectPositions(p, {{-0.5, 10, 20, 30}, {2, 110, 20, 60}, {NAN, 10, 20, 30}});
    ExpectPositions(CPath(), {{0.5, 0, 0, 100}});
}

}  // namespace
}  // namespace tb
