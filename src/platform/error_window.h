// The script error window: a modal form whose text accumulates every error of the run, with
// Abort / Ignore / Copy / Clear. The text and the buttons' effects live in plain classes
// (ErrorMemo, ErrorForm) so they work and test without a display; MakeErrorWindow draws them.
#pragma once

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "script/engine.h"

namespace tb {

class DialogHost;

// The line that separates two errors in the memo (43 underscores).
inline constexpr std::string_view kErrorSeparator = "___________________________________________";

// The text split into lines at every CR, LF characters dropped. "a\rb" gives two lines and so
// does "a\r\nb"; a trailing CR gives a last, empty line; an empty text gives one empty line.
std::vector<std::string> SplitErrorLines(std::string_view text);

// The form's text: lines, shown joined with line breaks.
class ErrorMemo {
  public:
    // An empty line, the separator, then the text's lines.
    void AddError(std::string_view text);
    void Clear() { lines_.clear(); }
    const std::vector<std::string>& Lines() const { return lines_; }
    // The lines joined with LF (no line break after the last one).
    std::string Text() const;

    bool operator==(const ErrorMemo&) const = default;

  private:
    std::vector<std::string> lines_;
};

enum class ErrorButton { kAbort, kIgnore, kCopy, kClear };

struct ErrorButtonSpec {
    ErrorButton button;
    const char* caption;  // "&" marks the shortcut letter
    int x, y, w, h;
    const char* hint;
};

inline constexpr const char* kErrorFormCaption = "Error Messages";
inline constexpr int kErrorFormWidth = 499;  // client area
inline constexpr int kErrorFormHeight = 361;
inline constexpr int kErrorMemoX = 8, kErrorMemoY = 8, kErrorMemoW = 481, kErrorMemoH = 305;
inline constexpr ErrorButtonSpec kErrorButtons[] = {
    {ErrorButton::kAbort, "&Abort", 8, 328, 75, 25, "Abort the execution of the game"},
    {ErrorButton::kIgnore, "&Ignore", 96, 328, 75, 25, "Ignore the error and continue the game"},
    {ErrorButton::kCopy, "&Copy", 328, 328, 75, 25, "Copy the error messages to the clipboard"},
    {ErrorButton::kClear, "C&lear", 416, 328, 75, 25, "Clear the list of error messages"},
};

// The form's state over the run and what its buttons do, without any drawing.
class ErrorForm {
  public:
    // Adds the error to the memo and prepares the next showing: Ignore only when not fatal,
    // the memo scrolled to its end.
    void Open(std::string_view text, bool fatal);
    bool ButtonVisible(ErrorButton b) const { return b != ErrorButton::kIgnore || !fatal_; }
    // The result when the button closes the form; Copy and Clear keep it open. A hidden button
    // does nothing.
    std::optional<ErrorChoice> Press(ErrorButton b);
    // Closing the window (close box, quit request) aborts.
    static constexpr ErrorChoice kCloseResult = ErrorChoice::kAbort;

    // Takes the scroll request of Open (true once per Open).
    bool TakeScrollToEnd() { return std::exchange(scroll_to_end_, false); }
    bool fatal() const { return fatal_; }

    ErrorMemo memo;
    // Receives the whole memo text on Copy (the real window puts it on the clipboard).
    std::function<void(const std::string&)> copy_to_clipboard;

  private:
    bool fatal_ = false;
    bool scroll_to_end_ = false;
};

using ShowErrorFunction = std::function<ErrorChoice(std::string_view text, bool fatal)>;

// The error window for ScriptHost::show_error. The form lives inside the function object (its
// text accumulates over the run); `host` must outlive it. When the host cannot show a dialog
// (no display) it acts as the headless variant.
ShowErrorFunction MakeErrorWindow(DialogHost& host);

// Headless: writes the text to `out`, one line per CR-separated line, and ignores the error.
ShowErrorFunction MakeHeadlessErrorWindow(std::FILE* out = stderr);

}  // namespace tb
