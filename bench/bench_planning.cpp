// Grid path search: a 500 x 500 grid with 30% of its cells forbidden at random, paths from
// one corner to the other, with and without diagonal moves. Prints milliseconds per path.
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "frame_timer.h"
#include "planning/grid.h"
#include "resources/path.h"

namespace {

// Processor time of the whole process: the machine may be shared, wall time is noisy.
double CpuSeconds() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 50;
    constexpr int kCells = 500, kSize = 8;
    tb::CGrid grid;
    grid.Create(0, 0, kCells, kCells, kSize, kSize);
    uint32_t seed = 2024;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return double(seed >> 8) / double(1 << 24);
    };
    for (int i = 0; i < kCells; ++i)
        for (int j = 0; j < kCells; ++j)
            if (next() < 0.3) grid.At(i, j) = tb::CGrid::kForbidden;
    grid.At(0, 0) = grid.At(kCells - 1, kCells - 1) = tb::CGrid::kFree;
    const int64_t far = kCells * kSize - 4;
    for (bool diagonal : {false, true}) {
        tb::CPath path;
        int found = 0;
        const double start = tb::bench::Seconds(), cpu = CpuSeconds();
        for (int k = 0; k < runs; ++k) found += grid.FindPath(path, 4, 4, far, far, diagonal);
        const double ms = (tb::bench::Seconds() - start) * 1e3 / runs;
        const double cpu_ms = (CpuSeconds() - cpu) * 1e3 / runs;
        std::printf(
            "500 x 500, 30%% walls, %-12s %8.3f ms/path wall, %8.3f ms/path processor "
            "(%d of %d found, %d points)\n",
            diagonal ? "diagonal:" : "orthogonal:", ms, cpu_ms, found, runs, path.Count());
    }
    return 0;
}
