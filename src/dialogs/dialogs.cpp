#include "dialogs/dialogs.h"

#include <cstdio>

#include "dialogs/game_info.h"
#include "runner/game.h"
#include "script/engine.h"
#include "system/system_state.h"
#include "world/replay.h"
#include "world/world.h"

namespace tb {

DialogState& DialogsOf(ScriptEngine& engine) {
    std::unique_ptr<DialogState>& dialogs = engine.system->dialogs;
    if (!dialogs) {
        dialogs = std::make_unique<DialogState>();
        // The tables live in the registry store, one value per rank; the state belongs to the
        // engine, so the engine outlives these.
        ScoreStore& s = dialogs->scores;
        s.read = [&engine](int32_t game_id, int rank) -> std::optional<std::string> {
            if (!engine.system) return std::nullopt;
            return engine.system->registry.ReadString(ScoreKey(game_id), RankValueName(rank));
        };
        s.write = [&engine](int32_t game_id, int rank, const std::string& value) {
            if (engine.system)
                engine.system->registry.WriteString(ScoreKey(game_id), RankValueName(rank), value);
        };
    }
    return *dialogs;
}

void PrintDialogLine(DialogState& d, std::string_view text) {
    std::string line = "[message] ";
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            line += "\\n";
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line += c;
        }
    }
    if (d.print) {
        d.print(line);
    } else {
        std::fprintf(stdout, "%s\n", line.c_str());
        std::fflush(stdout);
    }
}

DialogAnswer AskDialog(ScriptEngine& engine, DialogKind kind, std::string_view headline,
                       DialogAnswer headless,
                       const std::function<std::optional<DialogAnswer>(DialogFrontend&)>& live) {
    DialogState& d = DialogsOf(engine);
    std::optional<DialogAnswer> answer;
    bool shown = false;
    if (d.next_answer < d.answers.size()) {
        const ReplayDialog& r = d.answers[d.next_answer++];
        if (r.answer.kind == kind) {
            answer = r.answer;
        } else {
            std::fprintf(stderr,
                         "tamberlo: the replay's dialog answer %zu is a \"%s\" answer, but the "
                         "game asks a \"%s\" dialog; answered as headless\n",
                         d.next_answer, DialogKindName(r.answer.kind), DialogKindName(kind));
        }
    }
    if (!answer && d.frontend) {
        answer = live(*d.frontend);
        shown = answer.has_value();
    }
    if (!shown) PrintDialogLine(d, headline);
    if (!answer) answer = std::move(headless);
    answer->kind = kind;
    if (d.recorder) {
        ReplayDialog rec;
        rec.step = engine.world ? engine.world->step_number : 0;
        rec.answer = *answer;
        d.recorder->WriteDialog(rec);
    }
    if (engine.host.clear_input) engine.host.clear_input();
    return *answer;
}

int32_t ShowMessageBox(ScriptEngine& engine, std::string_view text, std::string_view caption1,
                       std::string_view caption2, std::string_view caption3) {
    DialogState& d = DialogsOf(engine);
    MessageRequest r;
    r.text = std::string(text);
    r.captions = {std::string(caption1), std::string(caption2), std::string(caption3)};
    r.settings = &d.message;
    DialogAnswer headless{DialogKind::Message, 1, {}};
    DialogAnswer a = AskDialog(engine, DialogKind::Message, text, headless,
                               [&](DialogFrontend& f) { return f.Message(r); });
    return a.number;
}

std::string ShowInputBox(ScriptEngine& engine, std::string_view text, std::string_view def) {
    DialogState& d = DialogsOf(engine);
    MessageRequest r;
    r.text = std::string(text);
    r.captions = {"", "OK", ""};
    r.input = true;
    r.default_text = std::string(def);
    r.settings = &d.message;
    DialogAnswer headless{DialogKind::Input, 1, std::string(def)};
    DialogAnswer a = AskDialog(engine, DialogKind::Input, text, headless,
                               [&](DialogFrontend& f) { return f.Message(r); });
    return a.text;
}

void ShowGameInformation(ScriptEngine& engine) {
    DialogState& d = DialogsOf(engine);
    if (engine.game && d.frontend) {
        if (!d.info_document) d.info_document = ParseRichText(engine.game->info.Text);
        d.frontend->GameInformation(engine.game->info, *d.info_document);
    }
    if (engine.host.clear_input) engine.host.clear_input();
}

}  // namespace tb
