// Wall-clock timing of a drawn frame, shared by the drawing benchmarks.
#pragma once

#include <chrono>

namespace tb::bench {

inline double Seconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Milliseconds per frame of `frame`, run for at least ~0.5 s after two warm-up frames.
template <class F>
double TimeFrames(F&& frame) {
    frame();
    frame();
    int frames = 0;
    const double start = Seconds();
    double now = start;
    do {
        frame();
        ++frames;
        now = Seconds();
    } while (now - start < 0.5 || frames < 3);
    return (now - start) * 1000 / frames;
}

}  // namespace tb::bench
