// Answers given in the runner's dialogs, as the lines of an input recording carry them (the
// line formats are described at the top of world/replay.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

enum class DialogKind : uint8_t {
    Message,    // number: the button (0 Esc, 1 .. 3)
    Input,      // number: the button; text: what the box held
    Menu,       // number: the item, -1 dismissed
    Color,      // number: the colour, -1 cancelled
    File,       // text: the chosen name, empty cancelled (also directories)
    Highscore,  // text: the name typed
};

struct DialogAnswer {
    DialogKind kind = DialogKind::Message;
    int32_t number = 0;
    std::string text;
    bool operator==(const DialogAnswer&) const = default;
};

// A dialog answer of a recording and the step it was given in.
struct ReplayDialog {
    int64_t step = 0;
    DialogAnswer answer;
};

const char* DialogKindName(DialogKind kind);

// The part of a line after "dialog": KIND and its values, e.g. "input 1 some text".
// False with the reason in `error`.
bool ParseDialogAnswer(std::string_view rest, DialogAnswer& out, std::string& error);
std::string FormatDialogAnswer(const DialogAnswer& a);

// Texts at the end of a line: a backslash as "\\", control bytes and a blank at either end
// as "\xHH"; everything else unchanged.
std::string EscapeAnswerText(std::string_view text);
bool UnescapeAnswerText(std::string_view text, std::string& out);

}  // namespace tb
