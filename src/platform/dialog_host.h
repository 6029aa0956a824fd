// The host of the runner's own windows. A dialog is a frame function that draws with the
// widget helpers below and says when it is done. Modal dialogs run a nested event loop until
// then, so the caller (a script, the game loop) waits exactly like a modal form; they are
// drawn inside the game window (over its last frame, with an ImGui context on the game's own
// GL context) when the dialog asks for it and the game window is shown, and otherwise in the
// host's own SDL window (made on first use, hidden between dialogs). One modeless dialog at a
// time can stay open in the host's own window while the game runs; the game loop draws it.
// No SDL, GL or ImGui type appears here; only src/platform includes those headers.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace tb {

class CBitmap32;
struct ModelessDialog;

struct DialogSpec {
    std::string caption;
    int client_width = 0;
    int client_height = 0;
    int close_result = 0;  // what closing the window (close box, quit request) returns
    int x = -1, y = -1;    // screen position; negative: centred in that direction
    bool border = true;    // false: no frame and no caption
    int alpha = 255;       // window opacity 0 .. 255
    bool fullscreen = false;
    bool continuous = false;  // draw frames without waiting for input (videos, timers)
    // Drawn inside the game window when it is shown; x and y are then client coordinates.
    bool in_game = false;
    // Inside the game window: no panel background, so that the game shows through wherever
    // the dialog draws nothing opaque.
    bool see_through = false;
};

// The game window as the host draws into it. `window` and `context` give the SDL window and
// its GL context, or null while there is no shown game window; `repaint` shows the game's last
// frame again with `overlay` called in between (the game's GL context current, the window's
// framebuffer bound) and swaps; `window_event` takes the game window's own events (sizes,
// exposures) that arrive during a modal loop.
struct GameTarget {
    std::function<void*()> window;
    std::function<void*()> context;
    std::function<bool(const std::function<void()>& overlay)> repaint;
    std::function<void(const void* sdl_event)> window_event;
};

// The frame function's answer: keep the dialog open, or close it with a result >= 0.
inline constexpr int kDialogOpen = -1;

class DialogHost {
  public:
    DialogHost();
    ~DialogHost();
    DialogHost(const DialogHost&) = delete;
    DialogHost& operator=(const DialogHost&) = delete;

    // Makes the window, GL context and ImGui on first call; false when there is no display
    // or no usable GL (the failure is remembered, the next call does not retry).
    bool Available();

    // Shows the window centred with the dialog's caption and client size, calls `frame` once per
    // frame inside a full-window dialog surface until it returns a result >= 0 or the window
    // is closed, then hides the window. Returns the result, or kDialogOpen when no dialog can
    // be shown (see Available). The GL and ImGui contexts current before the call are current
    // again afterwards.
    int RunModal(const DialogSpec& dialog, const std::function<int()>& frame);

    // Where in-game dialogs are drawn; without a target every dialog has its own window.
    void SetGameTarget(GameTarget target);
    // True when an in-game dialog would be drawn in the game window now.
    bool GameWindowShown();
    // Frees what the host made on the game's GL context; call while that context still
    // exists (before the device is released).
    void DropGameSurface();

    // Shows a modeless dialog in the host's own window (closing one that is open) and returns
    // at once; false when it cannot be shown. `frame` is then called by PumpModeless until it
    // returns a result >= 0 or the window is closed, and `closed` (may be empty) runs once when
    // it closes for any reason.
    bool OpenModeless(const DialogSpec& dialog, std::function<int()> frame,
                      std::function<void()> closed = {});
    bool ModelessOpen() const;
    void CloseModeless();
    // Draws one frame of the modeless dialog (the game loop calls it once per frame).
    void PumpModeless();
    // An SDL event from the game's event pump (an SDL_Event pointer); true when it belonged to
    // the host's own window and was taken.
    bool HandleForeignEvent(const void* sdl_event);

    // For tests: every dialog closes with its close result after `frames` frames (0: never),
    // and the last frame drawn in the game window is read back into `capture` (may be null) as
    // 0xAARRGGBB pixels of the client area, rows from the top.
    void SetTestFrames(int frames, CBitmap32* capture);
    // For tests: queues a press and release of the key (SDL's key name, "Return", "C" ...)
    // on the game window, with the text it types between them (may be null), after dropping
    // every queued event. False without a shown game window.
    bool PostKey(const char* key_name, const char* text);

    // The size of the screen the dialogs appear on; false without a display.
    bool ScreenSize(int& w, int& h);

    // The size of a text as dialog::Text draws it (usable outside dialogs, for layouts made
    // before a dialog opens); false without a display.
    bool MeasureText(const struct DialogFont& font, float wrap_width, std::string_view utf8,
                     float& w, float& h);

  private:
    struct State;
    struct Surface;
    bool EnsureGameSurface();
    int RunInGame(const DialogSpec& dialog, const std::function<int()>& frame);
    int RunOwn(const DialogSpec& dialog, const std::function<int()>& frame);
    std::unique_ptr<State> state_;
    std::unique_ptr<Surface> game_;
    std::unique_ptr<ModelessDialog> modeless_;
    GameTarget target_;
    bool tried_ = false;
    int test_frames_ = 0;
    CBitmap32* test_capture_ = nullptr;
};

// A face of the dialogs' own fonts: the name picks the family (a serif face for names with
// "Times", "Serif", "Roman" or "Georgia", a monospace face for "Courier", "Mono" or
// "Console", a sans-serif face otherwise).
struct DialogFont {
    std::string_view name;
    float pixels = 13;
    bool bold = false;
    bool italic = false;
};

// Widget helpers, only valid inside a frame function of RunModal. Positions and sizes are in
// client pixels, like the fixed layouts of the runner's forms.
namespace dialog {

// A push button. In the caption "&" marks the shortcut letter (Alt + letter presses it; "&&" is
// a literal "&"). `hint` (may be null) shows as tooltip. A default button also answers Enter.
// True when pressed this frame.
bool Button(std::string_view caption, int x, int y, int w, int h, const char* hint,
            bool is_default = false);

// A read-only, selectable, scrolling multi-line text in the monospace font. `scroll_to_end`
// moves it to its last line (it takes effect over the next frames, as the layout settles).
void ReadOnlyText(const char* id, const std::string& utf8_text, int x, int y, int w, int h,
                  bool scroll_to_end);

// Draws 0xAARRGGBB pixels stretched into the rectangle. The texture is kept under `key` and
// made again when `version` changes (callers bump it when the pixels change).
void Image(const void* key, int version, const uint32_t* argb, int w, int h, float x, float y,
           float dw, float dh);

// Draws text at client (x, y), wrapped at `wrap_width` pixels (0: no wrapping), in the
// colour 0xAARRGGBB, underlined when asked. Returns the height drawn.
float Text(const DialogFont& font, uint32_t argb, float x, float y, float wrap_width,
           std::string_view utf8, bool underline = false);
// The size of a text in a font (as DialogHost::MeasureText).
void Measure(const DialogFont& font, float wrap_width, std::string_view utf8, float& w, float& h);

// Puts text on the system clipboard (usable outside dialogs too once the host is available).
void SetClipboard(const std::string& utf8_text);

}  // namespace dialog

// The caption with its "&" markers removed ("&&" gives "&") and the shortcut letter in lower
// case (the last marked one counts), or 0 when there is none.
struct ShortcutCaption {
    std::string text;
    char shortcut = 0;
};
ShortcutCaption ParseShortcutCaption(std::string_view caption);

// Game text is bytes in the game's ANSI code page; dialogs draw UTF-8. Valid UTF-8 passes
// unchanged, every other byte is taken as Windows-1252 (Latin-1 where that code page has a
// hole), so no byte is lost or shown as garbage.
std::string ToDisplayUtf8(std::string_view bytes);

}  // namespace tb
