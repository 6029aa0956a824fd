// Pixel tests: a headless device (offscreen driver) of a small region, and read-back helpers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "graphics/graphics.h"

namespace tb::test {

// BGR (a script colour) of an ARGB pixel.
inline uint32_t BgrOf(uint32_t argb) {
    return (argb >> 16 & 0xFF) | (argb & 0xFF00) | (argb & 0xFF) << 16;
}

// A fresh headless Graphics per test: region Width() x Height() (override them), client area
// of the same size, scale 1, the device's initial render states, a black back buffer.
struct GraphicsTest : ::testing::Test {
    Graphics g;

    virtual int32_t Width() const { return 64; }
    virtual int32_t Height() const { return 48; }

    void SetUp() override {
        DeviceOptions o;
        o.headless = true;
        o.window_width = Width();
        o.window_height = Height();
        ASSERT_TRUE(InitDevice(g, o, Width(), Height())) << g.device.LastError();
        g.window.region_width = Width();
        g.window.region_height = Height();
        g.window.client_width = Width();
        g.window.client_height = Height();
        g.window.region_scale = 1;
    }

    // The back-buffer pixel as a script colour (BGR), 0 outside the region.
    uint32_t Pixel(int32_t x, int32_t y) {
        CBitmap32 b = g.device.Capture(x, y, 1, 1);
        return b.exists ? BgrOf(b.pixels[0]) : 0;
    }
    // The back-buffer pixel as 0xAARRGGBB (alpha always 255).
    uint32_t Argb(int32_t x, int32_t y) {
        CBitmap32 b = g.device.Capture(x, y, 1, 1);
        return b.exists ? b.pixels[0] : 0;
    }
    // A texture of a w x h bitmap filled with `argb`.
    int32_t SolidTexture(int32_t w, int32_t h, uint32_t argb) {
        return g.textures.FromBitmap(CBitmap32(w, h, argb));
    }
};

}  // namespace tb::test
