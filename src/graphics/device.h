// The drawing back end: one OpenGL 3.3 core context on the game window (or on an offscreen
// window when headless), the render states, the frame cycle, textures and render targets.
// Everything above draws only through these operations; the implementation lives in
// platform/gl_device.cpp and is the only code that talks to OpenGL.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "graphics/bitmap32.h"

namespace tb {

// Vertex layouts: positions in room coordinates, colours 0xAARRGGBB.
struct PlainVertex {
    float x, y, z;
    uint32_t color;
};
struct TexVertex {
    float x, y, z;
    uint32_t color;
    float u, v;
};
struct LitVertex {
    float x, y, z;
    float nx, ny, nz;
    uint32_t color;
    float u, v;
};

enum class Primitive : uint8_t {
    PointList,
    LineList,
    LineStrip,
    TriangleList,
    TriangleStrip,
    TriangleFan
};

// Blend factors in the order the scripts number them (bm_zero = 1 ... bm_src_alpha_sat = 11).
enum class BlendFactor : uint8_t {
    Zero = 1,
    One,
    SrcColor,
    InvSrcColor,
    SrcAlpha,
    InvSrcAlpha,
    DestAlpha,
    InvDestAlpha,
    DestColor,
    InvDestColor,
    SrcAlphaSat
};

// A device texture handle; 0 is none.
using DeviceTexture = uint32_t;
// A vertex buffer kept on the device; 0 is none.
using DeviceBuffer = uint32_t;

// Row-vector 4x4 matrix, m[row][column].
using Matrix4 = std::array<std::array<float, 4>, 4>;

struct DeviceLight {
    bool point = false;         // false: directional
    float x = 0, y = 0, z = 0;  // direction, or position for a point light
    float range = 0;
    uint32_t color = 0xFFFFFFFF;
};

struct DeviceOptions {
    bool headless = false;  // offscreen driver: no window is ever shown
    bool vsync = false;
    int32_t window_width = 640;  // initial client size
    int32_t window_height = 480;
};

class GraphicsDevice {
  public:
    GraphicsDevice();
    ~GraphicsDevice();
    GraphicsDevice(const GraphicsDevice&) = delete;
    GraphicsDevice& operator=(const GraphicsDevice&) = delete;

    // Creates the window (hidden until ShowWindow) and the context; false with the reason in
    // LastError. Region size (width, height) capped to the screen size.
    bool Init(const DeviceOptions& options, int32_t width, int32_t height);
    // Bits per pixel of the desktop before any device exists; 0 when it cannot be read.
    static int32_t DesktopDepth(bool headless);
    // Rebuilds the context state after a loss or a display change; render targets are lost.
    bool Reset();
    void Release();
    bool Exists() const;
    const char* LastError() const;
    // The SDL window (an SDL_Window*), for input and dialogs; null without a device.
    void* NativeWindow() const;
    // Its GL context (an SDL_GLContext), for the runner's own windows drawn inside it.
    void* NativeContext() const;

    // --- the region and the frame
    void SetRegionSize(int32_t width, int32_t height);
    int32_t RegionWidth() const;
    int32_t RegionHeight() const;
    void SetViewport(int32_t x, int32_t y, int32_t width, int32_t height);
    // The 2D view and projection of a room rectangle turned by angle degrees (3D aware).
    void SetProjection(double x, double y, double width, double height, double angle);
    void SetViewTransform(const Matrix4& m);
    void SetProjectionTransform(const Matrix4& m);
    void SetWorldTransform(const Matrix4& m);
    Matrix4 WorldTransform() const;
    bool BeginScene();
    // Ends the scene and presents the region into dest (client coordinates) of the window,
    // the rest of the client area in window_color (BGR).
    bool EndAndPresent(int32_t dest_x, int32_t dest_y, int32_t dest_w, int32_t dest_h,
                       uint32_t window_color);
    bool PresentOnly(int32_t dest_x, int32_t dest_y, int32_t dest_w, int32_t dest_h,
                     uint32_t window_color);
    // PresentOnly with `overlay` called after the client area is composed and before the
    // swap, this context current and the window's framebuffer bound (the overlay restores
    // any GL state it changes).
    bool PresentWithOverlay(int32_t dest_x, int32_t dest_y, int32_t dest_w, int32_t dest_h,
                            uint32_t window_color, const std::function<void()>& overlay);
    void Clear(uint32_t argb);
    void ClearZ();
    // A rectangle of the back buffer (whatever the render target), clipped to the region;
    // a bitmap that does not exist when nothing is left. The back buffer has no alpha: every
    // captured pixel has alpha 255.
    CBitmap32 Capture(int32_t x, int32_t y, int32_t width, int32_t height);
    // The client area (client_w x client_h) as presenting shows it: the region scaled into
    // dest, the rest in window_color (BGR). Drawn into a picture of its own, so it does not
    // depend on what the platform keeps of the window. Nothing when the size is not positive.
    CBitmap32 CaptureClient(int32_t client_w, int32_t client_h, int32_t dest_x, int32_t dest_y,
                            int32_t dest_w, int32_t dest_h, uint32_t window_color);
    // A rectangle of a render-target texture, clipped to the texture.
    CBitmap32 CaptureTexture(DeviceTexture t, int32_t x, int32_t y, int32_t width, int32_t height);

    // --- render states (each remembered and re-applied by ApplyStates)
    void SetBlend(BlendFactor source, BlendFactor dest);
    // bm_normal 0, bm_add 1, bm_max 2, bm_subtract 3 (anything else is normal).
    void SetBlendMode(int32_t kind);
    void SetInterpolation(bool on);
    bool Interpolation() const;
    void SetTextureBlending(bool on);
    void SetTextureRepeat(bool on);
    bool TextureRepeat() const;
    void SetDepthTest(bool on);  // the hidden-surface state: depth test and alpha test > 0
    void SetLighting(bool on);
    void SetShading(bool smooth);
    void SetFog(bool on, uint32_t bgr, double start, double end);
    void SetCulling(bool on);
    // The current depth given to 2D vertices: z clamped to -16000 .. 16000 in 3D mode, else 0.
    void SetDepth(double z);
    double Depth() const;
    void Set3DMode(bool on, bool perspective);
    bool Is3DMode() const;
    bool Perspective() const;
    void SetVSync(bool on);
    bool VSync() const;
    void SetLight(int index, const DeviceLight& light);
    void EnableLight(int index, bool on);
    void SetAmbient(uint32_t argb);
    void ApplyStates();

    // --- drawing (batched: consecutive calls with the same texture and states are one draw)
    void SelectTexture(DeviceTexture texture);
    void Draw(Primitive kind, std::span<const PlainVertex> vertices);
    void Draw(Primitive kind, std::span<const TexVertex> vertices);
    void Draw(Primitive kind, std::span<const LitVertex> vertices);
    // Vertices kept on the device (models): made once, drawn many times as lists with the
    // selected texture and the current states. Freed with the device at the latest.
    DeviceBuffer CreateBuffer(std::span<const LitVertex> list_vertices);
    void FreeBuffer(DeviceBuffer b);
    // list_kind: PointList, LineList or TriangleList; a range outside the buffer draws nothing.
    void DrawBuffer(DeviceBuffer b, Primitive list_kind, size_t first, size_t count);
    // Sends the pending batch (before reading pixels or switching targets).
    void Flush();
    // Draw calls sent to the driver so far (batching makes this far smaller than the number
    // of Draw calls).
    uint64_t DriverDrawCalls() const;

    // --- textures; sizes may be rounded up, the chosen size is reported back
    DeviceTexture CreateTexture(int32_t width, int32_t height, bool render_target,
                                int32_t& texture_width, int32_t& texture_height);
    // pixels: width*height 0xAARRGGBB, rows from the top, into (0, 0, width, height).
    bool LoadTexture(DeviceTexture t, int32_t width, int32_t height, const uint32_t* pixels);
    void FreeTexture(DeviceTexture t);
    // Render target: a render-target texture, or 0 for the back buffer.
    bool SetRenderTarget(DeviceTexture t);
    DeviceTexture RenderTarget() const;
    // Copies a rectangle between render-target textures (0 = back buffer), no blending.
    void CopyRect(DeviceTexture dest, int32_t dx, int32_t dy, DeviceTexture src, int32_t sx,
                  int32_t sy, int32_t width, int32_t height);

    // --- the window and the display
    int32_t ScreenWidth() const;
    int32_t ScreenHeight() const;
    int32_t DisplayDepth() const;
    int32_t DisplayFrequency() const;
    // Whether the display offers the mode (a value <= 0 keeps that property of the current
    // mode). Nothing is switched.
    bool TestDisplayMode(int32_t width, int32_t height, int32_t frequency, int32_t depth) const;
    int32_t ClientWidth() const;
    int32_t ClientHeight() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tb
