#include "world/replay.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

namespace tb {

namespace {

bool Blank(char c) {
    return c == ' ' || c == '\t';
}

// The words of one line and where each starts (the joystick name is the rest of its line).
struct Words {
    std::vector<std::string_view> words;
    std::vector<size_t> starts;
};

Words Split(std::string_view line) {
    Words w;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && Blank(line[i])) ++i;
        if (i == line.size()) break;
        size_t j = i;
        while (j < line.size() && !Blank(line[j])) ++j;
        w.words.push_back(line.substr(i, j - i));
        w.starts.push_back(i);
        i = j;
    }
    return w;
}

struct Failure {
    std::string text;
};

std::string Quoted(std::string_view s) {
    return "\"" + std::string(s) + "\"";
}

int64_t Integer(std::string_view word, int64_t low, int64_t high, const char* what) {
    int64_t v = 0;
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), v);
    if (ec != std::errc() || end != word.data() + word.size() || v < low || v > high)
        throw Failure{"expected " + std::string(what) + " from " + std::to_string(low) + " to " +
                      std::to_string(high) + ", got " + Quoted(word)};
    return v;
}

double Coordinate(std::string_view word) {
    double v = 0;
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), v);
    if (ec != std::errc() || end != word.data() + word.size() || !std::isfinite(v) ||
        std::fabs(v) > 1e9)
        throw Failure{"expected a mouse coordinate, got " + Quoted(word)};
    return v;
}

bool Flag(std::string_view word, std::string_view yes, std::string_view no) {
    if (word == yes) return true;
    if (word == no) return false;
    throw Failure{"expected " + Quoted(yes) + " or " + Quoted(no) + ", got " + Quoted(word)};
}

void Count(const Words& w, size_t n, std::string_view event) {
    if (w.words.size() != n)
        throw Failure{Quoted(event) + " takes " + std::to_string(n - 4) + " value" +
                      (n - 4 == 1 ? "" : "s") + ", got " + std::to_string(w.words.size() - 4)};
}

void ParseJoystick(const Words& w, std::string_view line, InputEvent& e) {
    if (w.words.size() < 6) throw Failure{"\"joystick\" needs a joystick and what it reports"};
    e.id = int32_t(Integer(w.words[4], 1, 2, "a joystick")) - 1;
    const std::string_view what = w.words[5];
    if (what == "none") {
        Count(w, 6, "joystick none");
        e.kind = InputEventKind::JoystickInfo;
        return;
    }
    if (what == "info") {
        if (w.words.size() < 9) throw Failure{"\"joystick info\" takes axes, buttons and hat"};
        e.kind = InputEventKind::JoystickInfo;
        e.info.present = true;
        e.info.axis_count = int32_t(Integer(w.words[6], 0, 6, "an axis count"));
        e.info.button_count = int32_t(Integer(w.words[7], 0, 32, "a button count"));
        e.info.has_pov = Integer(w.words[8], 0, 1, "a hat flag") == 1;
        if (w.words.size() > 9) e.info.name = std::string(line.substr(w.starts[9]));
        while (!e.info.name.empty() && Blank(e.info.name.back())) e.info.name.pop_back();
        return;
    }
    if (w.words.size() != 13) throw Failure{"a joystick position takes 8 values"};
    e.kind = InputEventKind::JoystickMove;
    for (size_t a = 0; a < 6; ++a)
        e.position.axes[a] = uint32_t(Integer(w.words[5 + a], 0, 65535, "an axis value"));
    e.position.buttons = uint32_t(Integer(w.words[11], 0, 4294967295LL, "a button mask"));
    e.position.pov = uint32_t(Integer(w.words[12], 0, 65535, "a hat value"));
}

InputEvent ParseEvent(const Words& w, std::string_view line) {
    InputEvent e;
    const std::string_view name = w.words[3];
    using K = InputEventKind;
    if (name == "down" || name == "up") {
        Count(w, 5, name);
        e.kind = name == "down" ? K::KeyDown : K::KeyUp;
        e.code = int32_t(Integer(w.words[4], 0, 255, "a key code"));
    } else if (name == "char") {
        Count(w, 5, name);
        e.kind = K::Char;
        e.code = int32_t(Integer(w.words[4], 1, 255, "a character code"));
    } else if (name == "mouse") {
        Count(w, 6, name);
        e.kind = K::MouseMove;
        e.x = Coordinate(w.words[4]);
        e.y = Coordinate(w.words[5]);
    } else if (name == "press" || name == "release") {
        Count(w, 5, name);
        e.kind = name == "press" ? K::MouseDown : K::MouseUp;
        e.code = int32_t(Integer(w.words[4], 1, 3, "a mouse button"));
    } else if (name == "wheel") {
        Count(w, 5, name);
        e.kind = Flag(w.words[4], "up", "down") ? K::WheelUp : K::WheelDown;
    } else if (name == "close") {
        Count(w, 4, name);
        e.kind = K::Close;
    } else if (name == "altf4") {
        Count(w, 5, name);
        e.kind = K::AltF4;
        e.answer = Flag(w.words[4], "yes", "no") ? 1 : 0;
    } else if (name == "focus" || name == "numlock") {
        Count(w, 5, name);
        e.kind = name == "focus" ? K::Focus : K::NumLock;
        e.code = Flag(w.words[4], "1", "0") ? 1 : 0;
    } else if (name == "joystick") {
        ParseJoystick(w, line, e);
    } else {
        throw Failure{"unknown event " + Quoted(name)};
    }
    return e;
}

void Append(std::string& s, int64_t v) {
    s += ' ';
    s += std::to_string(v);
}

void AppendReal(std::string& s, double v) {
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    s += ' ';
    s.append(buf, ec == std::errc() ? end : buf);
}

}  // namespace

bool ParseReplay(std::string_view text, std::vector<ReplayEvent>& events, std::string& error,
                 std::vector<ReplayDialog>* dialogs) {
    events.clear();
    if (dialogs) dialogs->clear();
    error.clear();
    size_t line_number = 0;
    bool header = false;
    int64_t last_step = 0;
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++line_number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        try {
            if (line.find('\0') != std::string_view::npos) throw Failure{"a zero byte"};
            const Words w = Split(line);
            if (w.words.empty() || w.words[0].front() == '#') continue;
            if (!header) {
                if (w.words.size() != 2 ||
                    std::string(w.words[0]) + " " + std::string(w.words[1]) != kReplayHeader)
                    throw Failure{"not an input recording (the first line must be " +
                                  Quoted(kReplayHeader) + ")"};
                header = true;
                continue;
            }
            if (w.words.size() < 4) throw Failure{"expected STEP WAIT POLL EVENT"};
            ReplayEvent r;
            r.at.step = Integer(w.words[0], 0, INT64_MAX, "a step");
            r.at.wait = Integer(w.words[1], 0, INT64_MAX, "a wait count");
            r.at.poll = Integer(w.words[2], 0, INT64_MAX, "a poll count");
            if (r.at.step < last_step)
                throw Failure{"step " + std::to_string(r.at.step) + " after step " +
                              std::to_string(last_step)};
            last_step = r.at.step;
            if (w.words[3] == "dialog") {
                ReplayDialog d;
                d.step = r.at.step;
                std::string why;
                std::string_view rest = w.words.size() > 4 ? line.substr(w.starts[4]) : "";
                if (!ParseDialogAnswer(rest, d.answer, why)) throw Failure{why};
                if (dialogs) dialogs->push_back(std::move(d));
                continue;
            }
            r.event = ParseEvent(w, line);
            events.push_back(std::move(r));
        } catch (const Failure& f) {
            error = "line " + std::to_string(line_number) + ": " + f.text;
            events.clear();
            if (dialogs) dialogs->clear();
            return false;
        }
    }
    if (!header) {
        error =
            "line 1: not an input recording (the first line must be " + Quoted(kReplayHeader) + ")";
        return false;
    }
    return true;
}

bool LoadReplay(const std::string& path, std::vector<ReplayEvent>& events, std::string& error,
                std::vector<ReplayDialog>* dialogs) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    if (in) text << in.rdbuf();
    if (!in) {
        error = "cannot read the replay file " + path;
        return false;
    }
    if (!ParseReplay(text.str(), events, error, dialogs)) {
        error = "replay file " + path + ", " + error;
        return false;
    }
    return true;
}

std::string FormatReplayEvent(const ReplayEvent& r) {
    std::string s = std::to_string(r.at.step);
    Append(s, r.at.wait);
    Append(s, r.at.poll);
    const InputEvent& e = r.event;
    using K = InputEventKind;
    switch (e.kind) {
        case K::KeyDown:
            s += " down";
            Append(s, e.code);
            break;
        case K::KeyUp:
            s += " up";
            Append(s, e.code);
            break;
        case K::Char:
            s += " char";
            Append(s, e.code);
            break;
        case K::MouseMove:
            s += " mouse";
            AppendReal(s, e.x);
            AppendReal(s, e.y);
            break;
        case K::MouseDown:
            s += " press";
            Append(s, e.code);
            break;
        case K::MouseUp:
            s += " release";
            Append(s, e.code);
            break;
        case K::WheelUp:
            s += " wheel up";
            break;
        case K::WheelDown:
            s += " wheel down";
            break;
        case K::Close:
            s += " close";
            break;
        case K::AltF4:
            s += e.answer == 1 ? " altf4 yes" : " altf4 no";
            break;
        case K::Focus:
            s += e.code ? " focus 1" : " focus 0";
            break;
        case K::NumLock:
            s += e.code ? " numlock 1" : " numlock 0";
            break;
        case K::JoystickInfo:
            s += " joystick";
            Append(s, e.id + 1);
            if (!e.info.present) {
                s += " none";
                break;
            }
            s += " info";
            Append(s, e.info.axis_count);
            Append(s, e.info.button_count);
            Append(s, e.info.has_pov ? 1 : 0);
            if (!e.info.name.empty()) {
                s += ' ';
                // The name ends the line: no line breaks or other control characters in it.
                for (char c : e.info.name) s += (unsigned char)c < 32 ? ' ' : c;
            }
            break;
        case K::JoystickMove:
            s += " joystick";
            Append(s, e.id + 1);
            for (uint32_t a : e.position.axes) Append(s, a);
            Append(s, e.position.buttons);
            Append(s, e.position.pov);
            break;
    }
    return s;
}

bool ReplayRecorder::Open(const std::string& path, std::string& error) {
    file_.reset(std::fopen(path.c_str(), "wb"));
    if (!file_) {
        error = "cannot write the recording " + path;
        return false;
    }
    std::fprintf(file_.get(), "%.*s\n", int(kReplayHeader.size()), kReplayHeader.data());
    return true;
}

void ReplayRecorder::Write(const ReplayEvent& e) {
    if (!file_) return;
    line_ = FormatReplayEvent(e);
    line_ += '\n';
    std::fputs(line_.c_str(), file_.get());
}

void ReplayRecorder::WriteDialog(const ReplayDialog& d) {
    if (!file_) return;
    line_ = std::to_string(d.step) + " 0 0 " + FormatDialogAnswer(d.answer) + "\n";
    std::fputs(line_.c_str(), file_.get());
    std::fflush(file_.get());
}

void ReplayRecorder::Flush() {
    if (file_) std::fflush(file_.get());
}

}  // namespace tb
