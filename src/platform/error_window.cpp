#include "platform/error_window.h"

#include <memory>
#include <utility>

#include "platform/dialog_host.h"

namespace tb {

std::vector<std::string> SplitErrorLines(std::string_view text) {
    std::vector<std::string> lines(1);
    for (char c : text) {
        if (c == '\r')
            lines.emplace_back();
        else if (c != '\n')
            lines.back() += c;
    }
    return lines;
}

void ErrorMemo::AddError(std::string_view text) {
    lines_.emplace_back();
    lines_.emplace_back(kErrorSeparator);
    for (std::string& line : SplitErrorLines(text)) lines_.push_back(std::move(line));
}

std::string ErrorMemo::Text() const {
    std::string text;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (i) text += '\n';
        text += lines_[i];
    }
    return text;
}

void ErrorForm::Open(std::string_view text, bool fatal) {
    memo.AddError(text);
    fatal_ = fatal;
    scroll_to_end_ = true;
}

std::optional<ErrorChoice> ErrorForm::Press(ErrorButton b) {
    if (!ButtonVisible(b)) return std::nullopt;
    switch (b) {
        case ErrorButton::kAbort:
            return ErrorChoice::kAbort;
        case ErrorButton::kIgnore:
            return ErrorChoice::kIgnore;
        case ErrorButton::kCopy:
            if (copy_to_clipboard) copy_to_clipboard(memo.Text());
            return std::nullopt;
        case ErrorButton::kClear:
            memo.Clear();
            return std::nullopt;
    }
    return std::nullopt;
}

namespace {

void WriteLines(std::FILE* out, std::string_view text) {
    for (const std::string& line : SplitErrorLines(text)) {
        std::fwrite(line.data(), 1, line.size(), out);
        std::fputc('\n', out);
    }
    std::fflush(out);
}

// Dialog results carry the choice as an int.
constexpr int ToResult(ErrorChoice c) {
    return c == ErrorChoice::kIgnore ? 1 : 0;
}

// Shows the form once; the memo text is converted for display only when it changes.
ErrorChoice ShowForm(DialogHost& host, ErrorForm& form) {
    DialogSpec dialog{kErrorFormCaption, kErrorFormWidth, kErrorFormHeight,
                      ToResult(ErrorForm::kCloseResult)};
    std::string shown = ToDisplayUtf8(form.memo.Text());
    int r = host.RunModal(dialog, [&]() -> int {
        dialog::ReadOnlyText("##memo", shown, kErrorMemoX, kErrorMemoY, kErrorMemoW, kErrorMemoH,
                             form.TakeScrollToEnd());
        std::optional<ErrorChoice> result;
        for (const ErrorButtonSpec& b : kErrorButtons) {
            if (!form.ButtonVisible(b.button)) continue;
            bool is_default = b.button == ErrorButton::kAbort;
            if (!dialog::Button(b.caption, b.x, b.y, b.w, b.h, b.hint, is_default) || result)
                continue;
            result = form.Press(b.button);
            if (b.button == ErrorButton::kClear) shown.clear();
        }
        return result ? ToResult(*result) : kDialogOpen;
    });
    return r == ToResult(ErrorChoice::kIgnore) ? ErrorChoice::kIgnore : ErrorChoice::kAbort;
}

}  // namespace

ShowErrorFunction MakeErrorWindow(DialogHost& host) {
    auto form = std::make_shared<ErrorForm>();
    form->copy_to_clipboard = [](const std::string& text) {
        dialog::SetClipboard(ToDisplayUtf8(text));
    };
    return [&host, form](std::string_view text, bool fatal) {
        if (!host.Available()) {
            WriteLines(stderr, text);
            return ErrorChoice::kIgnore;
        }
        form->Open(text, fatal);
        ErrorChoice choice = ShowForm(host, *form);
        // A fatal error ends the game whatever was pressed; only Abort was offered.
        return fatal ? ErrorChoice::kAbort : choice;
    };
}

ShowErrorFunction MakeHeadlessErrorWindow(std::FILE* out) {
    return [out](std::string_view text, bool) {
        WriteLines(out, text);
        return ErrorChoice::kIgnore;
    };
}

}  // namespace tb
