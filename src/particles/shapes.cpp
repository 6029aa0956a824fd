// The 14 built-in particle shapes, drawn once as 64 x 64 grey images (white is opaque).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "particles/particles.h"

namespace tb {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kCentre = 31.5;  // the image's middle in pixel-centre coordinates

// A fixed lattice noise in 0 .. 1 (a hash, not the runner's generator: the images are the
// same in every run and drawing them takes nothing from the game's random sequence).
double Lattice(int32_t x, int32_t y, uint32_t salt) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + salt * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return double(h & 0xFFFF) / 65535.0;
}

// Smooth value noise of a few octaves, roughly 0 .. 1.
double Noise(double x, double y, uint32_t salt) {
    double total = 0, weight = 0, amplitude = 1, scale = 1.0 / 16;
    for (int octave = 0; octave < 4; ++octave) {
        const double fx = x * scale, fy = y * scale;
        const int32_t ix = int32_t(std::floor(fx)), iy = int32_t(std::floor(fy));
        const double tx = fx - ix, ty = fy - iy;
        const double sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
        const uint32_t s = salt + uint32_t(octave) * 101u;
        const double a = Lattice(ix, iy, s), b = Lattice(ix + 1, iy, s);
        const double c = Lattice(ix, iy + 1, s), d = Lattice(ix + 1, iy + 1, s);
        total += amplitude * ((a + (b - a) * sx) * (1 - sy) + (c + (d - c) * sx) * sy);
        weight += amplitude;
        amplitude *= 0.5;
        scale *= 2;
    }
    return total / weight;
}

double Clamp01(double v) {
    return std::clamp(v, 0.0, 1.0);
}

// Coverage of a band |d| <= half with a one-pixel soft edge.
double Band(double d, double half) {
    return Clamp01(half + 0.5 - std::abs(d));
}

// Distance from (x, y) to the segment from the centre along angle a (radians) of length len.
double RayDistance(double x, double y, double a, double len) {
    const double ux = std::cos(a), uy = std::sin(a);
    const double t = std::clamp(x * ux + y * uy, 0.0, len);
    const double dx = x - t * ux, dy = y - t * uy;
    return std::sqrt(dx * dx + dy * dy);
}

// The brightness 0 .. 1 of pixel (x, y) relative to the centre for each shape.
double Brightness(int32_t shape, double x, double y) {
    const double r = std::sqrt(x * x + y * y);
    const double angle = std::atan2(y, x);
    switch (shape) {
        case 1:  // disk
            return Clamp01(30.5 - r);
        case 2:  // square
            return Band(x, 24) * Band(y, 24);
        case 3:  // line: a horizontal streak, brightest in the middle
            return Band(y, 1.5) * Clamp01(1 - std::abs(x) / 32);
        case 4: {  // star: five rays and a glow
            double rays = 0;
            for (int k = 0; k < 5; ++k) {
                const double a = -kPi / 2 + k * 2 * kPi / 5;
                const double d = RayDistance(x, y, a, 30);
                const double along = std::max(0.0, x * std::cos(a) + y * std::sin(a));
                rays = std::max(rays, Band(d, 3.5 * (1 - along / 30)));
            }
            return std::max(rays, Clamp01(1 - r / 10));
        }
        case 5:  // circle: a thin outline
            return Band(r - 29, 1);
        case 6:  // ring: a thick soft ring
            return std::exp(-std::pow((r - 24) / 4.5, 2));
        case 7:  // sphere: a ball lit from the top left
            if (r > 31) return 0;
            return Clamp01(31 - r) * Clamp01(0.35 + 0.65 * (1 - std::hypot(x + 10, y + 10) / 42));
        case 8:  // flare: a bright core fading far out
            return Clamp01(1.2 / (1 + r * r / 20) - 0.02) * Clamp01(31 - r);
        case 9: {  // spark: four thin rays crossing
            double rays = 0;
            for (int k = 0; k < 4; ++k) {
                const double a = k * kPi / 2;
                const double d = RayDistance(x, y, a, 31);
                const double along = std::max(0.0, x * std::cos(a) + y * std::sin(a));
                rays = std::max(rays, Band(d, 1.2) * (1 - along / 31));
            }
            return std::max(rays, Clamp01(1 - r / 6));
        }
        case 10: {  // explosion: a ragged, bright blob
            const double edge =
                22 + 9 * Noise(std::cos(angle) * 20 + 40, std::sin(angle) * 20 + 40, 7);
            const double inside = Clamp01((edge - r) / 6);
            return inside * (0.55 + 0.45 * Noise(x + 32, y + 32, 11));
        }
        case 11: {  // cloud: soft and lumpy
            const double fall = Clamp01(1 - r / 31);
            return Clamp01(fall * 1.6 * (0.35 + 0.65 * Noise(x + 32, y + 32, 23)));
        }
        case 12: {  // smoke: a soft grey puff
            const double fall = Clamp01(1 - r / 31);
            return Clamp01(fall * fall * (0.5 + 0.5 * Noise(x + 32, y + 32, 31)) * 1.3);
        }
        case 13: {  // snow: a six-armed flake with side branches
            double v = 0;
            for (int k = 0; k < 6; ++k) {
                const double a = k * kPi / 3;
                v = std::max(v, Band(RayDistance(x, y, a, 28), 1.2));
                // Two short branches on each arm.
                for (double at : {12.0, 20.0}) {
                    const double bx = x - at * std::cos(a), by = y - at * std::sin(a);
                    v = std::max(v, Band(RayDistance(bx, by, a + kPi / 3, 7), 1));
                    v = std::max(v, Band(RayDistance(bx, by, a - kPi / 3, 7), 1));
                }
            }
            return std::max(v, Clamp01(1 - r / 5));
        }
        default:
            return 0;
    }
}

}  // namespace

std::vector<uint8_t> BuiltinShapeImage(int32_t shape) {
    std::vector<uint8_t> image(size_t(kShapeSize) * kShapeSize, 0);
    for (int32_t y = 0; y < kShapeSize; ++y)
        for (int32_t x = 0; x < kShapeSize; ++x) {
            // The pixel shape is one pixel at the origin; the others use pixel centres.
            const double b = shape == 0 ? (x == kShapeSize / 2 && y == kShapeSize / 2 ? 1 : 0)
                                        : Brightness(shape, x - kCentre, y - kCentre);
            image[size_t(y) * kShapeSize + size_t(x)] = uint8_t(std::lround(Clamp01(b) * 255));
        }
    return image;
}

}  // namespace tb
