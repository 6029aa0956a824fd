#include "resources/path.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace tb {

namespace {

PathPoint Mid(const PathPoint& a, const PathPoint& b) {
    return {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.speed + b.speed) / 2};
}

double SquaredDistance(const PathPoint& a, const PathPoint& b) {
    double dx = a.x - b.x, dy = a.y - b.y;
    return dx * dx + dy * dy;
}

}  // namespace

bool CPath::LoadFromStream(CStream& s) {
    *this = CPath();
    if (ReadInteger(s) != kVersion) return false;
    Kind = ReadInteger(s);
    Closed = ReadBoolean(s);
    Precision = ReadInteger(s);
    int32_t n = ReadCount(s, 24);
    for (int32_t i = 0; i < n; ++i) {
        PathPoint p;
        p.x = ReadReal(s);
        p.y = ReadReal(s);
        p.speed = ReadReal(s);
        points.push_back(p);
    }
    // Smoothing multiplies a few bytes of record into up to 255 computed points per
    // segment, so a malformed file could ask for far more memory than it occupies.
    const size_t limit = s.budget ? s.budget->remaining / sizeof(ComputedPoint) : SIZE_MAX;
    Build(limit);
    if (s.budget) s.budget->remaining -= computed.size() * sizeof(ComputedPoint);
    return true;
}

void CPath::WriteToStream(CStream& s) const {
    WriteInteger(s, kVersion);
    WriteInteger(s, Kind);
    WriteBoolean(s, Closed);
    WriteInteger(s, Precision);
    WriteInteger(s, int32_t(points.size()));
    for (const PathPoint& p : points) {
        WriteReal(s, p.x);
        WriteReal(s, p.y);
        WriteReal(s, p.speed);
    }
}

void CPath::Clear() {
    points.clear();
    computed.clear();
    Length = 0;
}

void CPath::Assign(const CPath& other) {
    if (this == &other) return;
    Kind = other.Kind;
    Closed = other.Closed;
    Precision = other.Precision;
    points = other.points;
    Recompute();
}

void CPath::Emit(const PathPoint& p, size_t limit) {
    if (computed.size() >= limit)
        throw StreamError("path polyline exceeds the load's memory budget");
    computed.push_back({p.x, p.y, p.speed, 0});
}

void CPath::BuildStraight(size_t limit) {
    for (const PathPoint& p : points) Emit(p, limit);
    if (Closed && !points.empty()) Emit(points.front(), limit);
}

void CPath::Subdivide(int depth, const PathPoint& start, const PathPoint& control,
                      const PathPoint& end, size_t limit) {
    if (depth <= 0) return;
    PathPoint m{(start.x + 2 * control.x + end.x) / 4, (start.y + 2 * control.y + end.y) / 4,
                (start.speed + 2 * control.speed + end.speed) / 4};
    if (SquaredDistance(control, start) > 16)
        Subdivide(depth - 1, start, Mid(start, control), m, limit);
    Emit(m, limit);
    if (SquaredDistance(control, end) > 16) Subdivide(depth - 1, m, Mid(control, end), end, limit);
}

void CPath::BuildSmooth(size_t limit) {
    const size_t n = points.size();
    if (n < 1) return;
    // A stored precision outside 0 ... 8 (only a malformed record has one) would make the
    // subdivision unbounded; the computation uses the clamped depth.
    const int depth = std::clamp(Precision, 0, 8);
    if (!Closed) Emit(points[0], limit);
    const size_t segments = Closed ? n : (n >= 2 ? n - 2 : 0);
    for (size_t s = 0; s < segments; ++s) {
        const PathPoint& a = points[s % n];
        const PathPoint& b = points[(s + 1) % n];
        const PathPoint& c = points[(s + 2) % n];
        Subdivide(depth, Mid(a, b), b, Mid(b, c), limit);
    }
    if (Closed) {
        // With depth 0 nothing was emitted; the start of the first curve piece stands in for
        // the missing first computed point.
        if (computed.empty()) {
            PathPoint start = Mid(points[0], points[1 % n]);
            Emit(start, limit);
        } else {
            ComputedPoint first = computed.front();
            Emit({first.x, first.y, first.speed}, limit);
        }
    } else {
        Emit(points[n - 1], limit);
    }
}

void CPath::Recompute() {
    Build(SIZE_MAX);
}

void CPath::Build(size_t limit) {
    computed.clear();
    if (Kind == 1)
        BuildSmooth(limit);
    else
        BuildStraight(limit);
    for (size_t i = 0; i < computed.size(); ++i) {
        if (i == 0) {
            computed[i].length = 0;
            continue;
        }
        double dx = computed[i].x - computed[i - 1].x, dy = computed[i].y - computed[i - 1].y;
        computed[i].length = computed[i - 1].length + std::sqrt(dx * dx + dy * dy);
    }
    Length = computed.empty() ? 0 : computed.back().length;
}

PathPoint CPath::GetPoint(int i) const {
    if (i < 0 || i >= Count()) return {0, 0, 1};
    return points[size_t(i)];
}

void CPath::SetKind(int32_t k) {
    Kind = (k == 0 || k == 1) ? k : 0;
    Recompute();
}

void CPath::SetClosed(bool flag) {
    Closed = flag;
    Recompute();
}

void CPath::SetPrecision(int32_t p) {
    Precision = std::clamp(p, 0, 8);
    Recompute();
}

int CPath::AddPoint(double x, double y, double speed) {
    points.push_back({x, y, speed});
    Recompute();
    return Count() - 1;
}

void CPath::InsertPoint(int i, double x, double y, double speed) {
    if (i < 0 || i > Count()) return;
    points.insert(points.begin() + i, PathPoint{x, y, speed});
    Recompute();
}

void CPath::ChangePoint(int i, double x, double y, double speed) {
    if (i < 0 || i >= Count()) return;
    points[size_t(i)] = {x, y, speed};
    Recompute();
}

void CPath::DeletePoint(int i) {
    if (i < 0 || i >= Count()) return;
    points.erase(points.begin() + i);
    Recompute();
}

void CPath::ClearPoints() {
    points.clear();
    Recompute();
}

void CPath::Center(double& cx, double& cy) const {
    cx = cy = 0;
    if (points.empty()) return;
    double x0 = points[0].x, x1 = x0, y0 = points[0].y, y1 = y0;
    for (const PathPoint& p : points) {
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    cx = (x0 + x1) / 2;
    cy = (y0 + y1) / 2;
}

void CPath::Reverse() {
    std::reverse(points.begin(), points.end());
    Recompute();
}

void CPath::Mirror() {
    double cx, cy;
    Center(cx, cy);
    for (PathPoint& p : points) p.x = 2 * cx - p.x;
    Recompute();
}

void CPath::Flip() {
    double cx, cy;
    Center(cx, cy);
    for (PathPoint& p : points) p.y = 2 * cy - p.y;
    Recompute();
}

void CPath::Rotate(double angle_degrees) {
    double cx, cy;
    Center(cx, cy);
    double a = angle_degrees * std::numbers::pi / 180;
    double c = std::cos(a), s = std::sin(a);
    for (PathPoint& p : points) {
        double dx = p.x - cx, dy = p.y - cy;
        p.x = cx + dx * c + dy * s;
        p.y = cy + dy * c - dx * s;
    }
    Recompute();
}

void CPath::Scale(double xs, double ys) {
    double cx, cy;
    Center(cx, cy);
    for (PathPoint& p : points) {
        p.x = cx + (p.x - cx) * xs;
        p.y = cy + (p.y - cy) * ys;
    }
    Recompute();
}

void CPath::Shift(double dx, double dy) {
    for (PathPoint& p : points) {
        p.x += dx;
        p.y += dy;
    }
    Recompute();
}

void CPath::Append(const CPath& other) {
    std::vector<PathPoint> more = other.points;  // copy first: other may be this path
    points.insert(points.end(), more.begin(), more.end());
    Recompute();
}

PathPoint CPath::PositionAt(double t) const {
    if (computed.empty()) return {0, 0, 100};
    const ComputedPoint& first = computed.front();
    if (computed.size() == 1 || Length == 0) return {first.x, first.y, first.speed};
    if (!(t > 0)) return {first.x, first.y, first.speed};  // also NaN
    const ComputedPoint& last = computed.back();
    if (t >= 1) return {last.x, last.y, last.speed};
    const double d = Length * t;
    size_t i = 0;
    while (i + 2 < computed.size() && d >= computed[i + 1].length) ++i;
    const ComputedPoint& a = computed[i];
    const ComputedPoint& b = computed[i + 1];
    double len = b.length - a.length;
    if (len == 0) return {a.x, a.y, a.speed};
    double f = (d - a.length) / len;
    return {a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f, a.speed + (b.speed - a.speed) * f};
}

}  // namespace tb
