// Input recordings: `--record FILE` writes the input a run took, `--replay FILE` feeds it back
// instead of the real input, so the run repeats step for step.
//
// The file is text, one item a line:
//
//   tamberlo-input 1            the first line: the format and its version
//   # any text                  a comment; blank lines are skipped as well
//   STEP WAIT POLL EVENT ...    one input event, in the order the game took them
//
// STEP is the number of steps begun before the event was taken (0: before the first step).
// WAIT and POLL tell at which check of the window's messages within that step: WAIT is the
// number of waits begun in the step so far (the frame wait, `sleep`, the pauses of
// `keyboard_wait` and `mouse_wait`), POLL is 0 for a check made inside the latest of those
// waits and 1, 2, ... for the checks made outside any wait since it began (`io_handle` and
// the like, the check after a room change). All checks inside one wait count as one, so a
// replay does not depend on how long the waits took.
//
// Events (key codes are the game window's virtual-key codes before the key map; the shift,
// control and alt keys come with their side codes 160 .. 165 and reach the game as 16, 17
// and 18):
//
//   down K                     key K went down (auto-repeat sends it again)
//   up K                       key K went up
//   char C                     character C (1 .. 255, the game's code page) was typed
//   mouse X Y                  the cursor moved to (X, Y) in region coordinates
//   press B / release B        mouse button B (1 left, 2 right, 3 middle) went down / up
//   wheel up / wheel down      the wheel turned
//   close                      the window's close button
//   altf4 yes / altf4 no       Alt+F4 and the answer given to its question
//   focus 1 / focus 0          the window gained / lost the focus
//   numlock 1 / numlock 0      the Num Lock state (key 144 toggles it as well)
//   joystick J none            joystick J (1 or 2) is gone
//   joystick J info A B H NAME it has A axes, B buttons, a hat when H is 1, and the name
//                              NAME (the rest of the line)
//   joystick J X Y Z R U V M P its position: six axes 0 .. 65535 (32767 centred), the
//                              button mask M, the hat P in hundredths of a degree (65535
//                              centred)
//
// Dialog answers (the runner's own windows; every dialog takes the next answer line in the
// order of the file, whatever its STEP, which tells only where it was given; WAIT and POLL
// are written as 0 and not used). TEXT is the rest of the line: a backslash is written "\\",
// control characters and a blank at either end as "\xHH"; an empty text leaves it out.
//
//   dialog message B           a message window closed with button B (1 .. 3) or Esc (0);
//                              Enter and Space give 1
//   dialog input B TEXT        an input box (get_string, get_integer, the name asked by
//                              highscore_add_current) closed with B, holding TEXT
//   dialog menu N              a pop-up menu: item N chosen, -1 dismissed
//   dialog color C             the colour chooser: colour C chosen, -1 cancelled
//   dialog file TEXT           a file or directory chooser: TEXT chosen, empty cancelled
//   dialog highscore TEXT      the highscore window closed with the name TEXT typed
//
// Without an answer line left (or without a replay) a dialog is asked in the window, or,
// headless, answered as Enter would at once.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dialogs/answers.h"
#include "world/input_state.h"

namespace tb {

inline constexpr std::string_view kReplayHeader = "tamberlo-input 1";

// Where an event was taken (see above); ordered as the checks follow each other.
struct InputPoint {
    int64_t step = 0;
    int64_t wait = 0;
    int64_t poll = 0;
    auto operator<=>(const InputPoint&) const = default;
};

struct ReplayEvent {
    InputPoint at;
    InputEvent event;
};

// The events of a recording (and its dialog answers, when `dialogs` is not null). False
// with "line N: what is wrong" in `error`.
bool ParseReplay(std::string_view text, std::vector<ReplayEvent>& events, std::string& error,
                 std::vector<ReplayDialog>* dialogs = nullptr);
// Reads and parses a file; the error names the file.
bool LoadReplay(const std::string& path, std::vector<ReplayEvent>& events, std::string& error,
                std::vector<ReplayDialog>* dialogs = nullptr);
// One event line, without the line break.
std::string FormatReplayEvent(const ReplayEvent& e);

// Writes a recording as the run goes; every line reaches the file at the next Flush (each
// step) or when the recorder closes.
class ReplayRecorder {
  public:
    // Creates the file and writes the header; false with the reason in `error`.
    bool Open(const std::string& path, std::string& error);
    void Write(const ReplayEvent& e);
    void WriteDialog(const ReplayDialog& d);
    void Flush();
    bool IsOpen() const { return file_ != nullptr; }

  private:
    struct Close {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Close> file_;
    std::string line_;
};

}  // namespace tb
