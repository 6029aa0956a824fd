#include "script/errors.h"

#include <algorithm>
#include <fstream>

#include "resources/event_names.h"
#include "runner/game.h"
#include "script/engine.h"

namespace tb {

std::string ComposeCodeMessage(std::string_view source, bool expression, int32_t position,
                               std::string_view text) {
    // 1-based position inside the text; an empty text still reports position 1.
    int64_t pos = std::max<int64_t>(1, std::min<int64_t>(position, int64_t(source.size())));
    int line = 1;
    int64_t line_start = 0;  // 0-based index of the first character of the line
    for (int64_t i = 0; i < pos && i < int64_t(source.size()); ++i) {
        if (source[size_t(i)] == '\r') {
            ++line;
            line_start = i + 1;
        }
    }
    const int64_t column = pos - line_start;
    if (expression) {
        std::string m = "Error in expression:";
        m += source;
        m += "\r position " + std::to_string(column) + ": ";
        m += text;
        return m;
    }
    size_t line_end =
        source.find('\r', size_t(std::min<int64_t>(line_start, int64_t(source.size()))));
    if (line_end == std::string_view::npos) line_end = source.size();
    std::string line_text;
    for (size_t i = size_t(line_start); i < line_end; ++i)
        if (source[i] != '\n') line_text += source[i];
    std::string m = "Error in code at line " + std::to_string(line) + ":\r   " + line_text +
                    "\r\rat position " + std::to_string(column) + ": ";
    m += text;
    return m;
}

std::string WithEventContext(const ScriptEngine& engine, std::string_view text, bool fatal) {
    static const ResourceList<CObject> kNoObjects;
    const ResourceList<CObject>& objects = engine.game ? engine.game->objects : kNoObjects;
    const EventContext& ev = engine.event;
    std::string m = fatal ? "FATAL ERROR in\r\n" : "ERROR in\r\n";
    m += "action number " + std::to_string(int64_t(ev.action) + 1) + "\r\n";
    if (ev.type == kTimeLineEventType) {
        const std::string& name =
            engine.game ? engine.game->timelines.Name(ev.object) : kUndefinedName;
        m += "at time step " + std::to_string(ev.number) + "\r\n";
        m += "of time line " + name + ":\r\n";
    } else {
        m += "of " + EventName(ev.type, ev.number, objects) + "\r\n";
        m += "for object " + objects.Name(ev.object) + ":\r\n";
    }
    m += "\r\n";
    m += text;
    return m;
}

void ShowRuntimeError(ScriptEngine& engine, std::string_view text, bool fatal) {
    ShowError(engine, WithEventContext(engine, text, fatal), fatal);
}

namespace {

void AppendToLog(ErrorState& errors, std::string_view text) {
    // The log holds the messages of this run only: the first write empties it.
    auto mode = std::ios::binary | (errors.log_started ? std::ios::trunc : std::ios::app);
    errors.log_started = false;
    std::ofstream log("game_errors.log", std::ios::out | mode);
    if (!log) return;  // a log that cannot be written is not an error of the game
    log.write(text.data(), std::streamsize(text.size()));
    log << "\r\n\r\n\r\n";
}

}  // namespace

void ShowError(ScriptEngine& engine, std::string_view text, bool fatal) {
    ErrorState& errors = engine.errors;
    if (errors.aborting) return;
    const ScriptSettings& settings = engine.settings;
    if (settings.abort_on_error) fatal = true;
    if (settings.display_errors && engine.host.show_error) {
        ErrorChoice choice = engine.host.show_error(text, fatal);
        if (choice != ErrorChoice::kIgnore) fatal = true;
    }
    if (engine.host.clear_input) engine.host.clear_input();
    if (settings.write_errors) AppendToLog(errors, text);
    errors.last_error = std::string(text);
    errors.error_occurred = true;
    if (fatal) {
        errors.aborting = true;
        if (engine.host.request_abort) engine.host.request_abort();
    }
}

}  // namespace tb
