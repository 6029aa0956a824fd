// Paths: defining points and the polyline followed by instances.
#pragma once

#include <cstdint>
#include <vector>

#include "runner/stream.h"

namespace tb {

struct PathPoint {
    double x = 0;
    double y = 0;
    double speed = 0;  // per cent of the instance's path speed
    bool operator==(const PathPoint&) const = default;
};

struct ComputedPoint {
    double x = 0;
    double y = 0;
    double speed = 0;
    double length = 0;  // distance along the polyline from computed point 0
    bool operator==(const ComputedPoint&) const = default;
};

class CPath {
  public:
    static constexpr int32_t kVersion = 530;

    std::vector<PathPoint> points;  // the defining points
    int32_t Kind = 0;               // 0 straight lines, 1 smooth curve
    bool Closed = true;
    int32_t Precision = 4;                // smoothing depth 0 ... 8
    std::vector<ComputedPoint> computed;  // derived from the fields above by Recompute
    double Length = 0;

    bool operator==(const CPath&) const = default;

    // The computed polyline counts against the stream's inflate budget: a record whose
    // smoothing would need more memory than the load has left raises StreamError.
    bool LoadFromStream(CStream& s);
    void WriteToStream(CStream& s) const;

    // No points, no computed points.
    void Clear();
    void Assign(const CPath& other);
    // Builds the polyline and its lengths; every change below calls it.
    void Recompute();

    int Count() const { return int(points.size()); }
    // (0, 0, 1) outside the point range.
    PathPoint GetPoint(int i) const;

    void SetKind(int32_t k);
    void SetClosed(bool flag);
    void SetPrecision(int32_t p);

    int AddPoint(double x, double y, double speed);
    void InsertPoint(int i, double x, double y, double speed);
    void ChangePoint(int i, double x, double y, double speed);
    void DeletePoint(int i);
    void ClearPoints();

    void Reverse();
    void Mirror();
    void Flip();
    void Rotate(double angle_degrees);
    void Scale(double xs, double ys);
    void Shift(double dx, double dy);
    void Append(const CPath& other);

    // t is clamped to 0 ... 1; speed is 100 for a path without computed points.
    PathPoint PositionAt(double t) const;
    double XAt(double t) const { return PositionAt(t).x; }
    double YAt(double t) const { return PositionAt(t).y; }
    double SpeedAt(double t) const { return PositionAt(t).speed; }

  private:
    void Center(double& cx, double& cy) const;
    // `limit`: most computed points allowed; more raises StreamError.
    void Build(size_t limit);
    void BuildStraight(size_t limit);
    void BuildSmooth(size_t limit);
    void Subdivide(int depth, const PathPoint& start, const PathPoint& control,
                   const PathPoint& end, size_t limit);
    void Emit(const PathPoint& p, size_t limit);
};

}  // namespace tb
