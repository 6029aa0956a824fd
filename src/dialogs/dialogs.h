// The runner's own windows as the game sees them: the settings the customisation functions
// change, where each answer comes from (a replay, the window, or the headless rule), the
// recording of the answers, and the operations the built-in functions, the actions and the
// runner keys call. Drawing is the frontend's, which the platform provides.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dialogs/answers.h"
#include "dialogs/highscore.h"
#include "dialogs/input_dialogs.h"
#include "dialogs/message_form.h"
#include "dialogs/rich_text.h"

namespace tb {

class ScriptEngine;
class ReplayRecorder;
class GameInfo;
class PcmSource;

struct MessageRequest {
    std::string text;  // converted: CR line breaks
    std::array<std::string, 3> captions;
    bool input = false;
    std::string default_text;
    const MessageSettings* settings = nullptr;
};

struct FileRequest {
    enum Kind { kOpen, kSave, kDirectory } kind = kOpen;
    std::string caption;
    std::string filter;      // description|pattern pairs
    std::string start_name;  // initial file name, or the starting directory
    std::string start_dir;   // the working directory when the dialog opens
};

struct HighscoreRequest {
    const HighscoreSettings* settings = nullptr;
    std::array<ScoreEntry, kHighscoreRanks> entries;
    int new_rank = 0;  // 0: no new entry
    // The background picture as 0xAARRGGBB pixels, when the background exists.
    const CBitmap32* background = nullptr;
};

struct SplashSettings {
    std::string caption;
    bool fullscreen = false;
    int32_t w = 640, h = 480;
    bool adapt = true;
    bool border = true;
    bool top = true;
    int32_t color = 0;
    bool main = true;
    double scale = -1;
    bool cursor = true;
    bool interrupt = true;
    bool stop_key = true;
    bool stop_mouse = true;
};

struct SplashRequest {
    enum Kind { kImage, kVideo, kText } kind = kImage;
    std::string file;  // host path
    int32_t delay_ms = 0;
    bool loop = false;
    const SplashSettings* settings = nullptr;
    // A video's sound: played through the sound engine (its stream handle, -1 when it cannot
    // play) and stopped when the splash closes or the video starts again. May be empty.
    std::function<int(std::unique_ptr<PcmSource>)> play_sound;
    std::function<void(int)> stop_sound;
};

// The platform's windows. Each call shows its dialog modally and returns the answer, or
// nothing when it cannot be shown (no display); the caller then answers as headless.
class DialogFrontend {
  public:
    virtual ~DialogFrontend() = default;
    virtual std::optional<DialogAnswer> Message(const MessageRequest& r) = 0;
    // At (x, y) on the screen, or at the mouse cursor when `at_mouse`.
    virtual std::optional<int32_t> Menu(const std::vector<MenuItem>& items, int32_t x, int32_t y,
                                        bool at_mouse) = 0;
    virtual std::optional<int32_t> Color(int32_t initial) = 0;
    virtual std::optional<std::string> ChooseFile(const FileRequest& r) = 0;
    virtual std::optional<std::string> Highscore(const HighscoreRequest& r) = 0;
    // False when nothing could be shown.
    virtual bool GameInformation(const GameInfo& info, const RichDocument& doc) = 0;
    // Nothing when it cannot be shown (no display); false when the file cannot be decoded.
    virtual std::optional<bool> Splash(const SplashRequest& r) = 0;
};

struct DialogState {
    MessageSettings message;
    HighscoreSettings highscore;
    SplashSettings splash;
    ScoreStore scores;
    std::shared_ptr<DialogFrontend> frontend;  // null: headless
    // Writes the headless "[message] ..." lines; null: standard output.
    std::function<void(const std::string&)> print;
    // Replayed answers, taken in order; the recording of the answers given.
    std::vector<ReplayDialog> answers;
    size_t next_answer = 0;
    std::shared_ptr<ReplayRecorder> recorder;
    // The game information as parsed when first shown (load_info replaces it).
    std::optional<RichDocument> info_document;
    std::string last_execute_code;  // the debug window's Execute Code offers it again
    // Lives as long as this state (and so the engine): a window that outlives the run (a
    // modeless splash closed at shutdown) checks it before it calls back into the engine.
    std::shared_ptr<int> alive = std::make_shared<int>(0);
};

// The engine's dialog state, made on first use.
DialogState& DialogsOf(ScriptEngine& engine);

// Where answers come from: the next replayed answer when there is one, else the frontend,
// else `headless` (after writing "[message] TEXT" for a dialog shown headless). The answer is
// recorded, and afterwards the game's keyboard and mouse state is cleared.
DialogAnswer AskDialog(ScriptEngine& engine, DialogKind kind, std::string_view headline,
                       DialogAnswer headless,
                       const std::function<std::optional<DialogAnswer>(DialogFrontend&)>& live);

// ShowMessageBox of the message window: the button pressed (0 Esc). `text` is shown as it
// is (the show functions convert "#" before).
int32_t ShowMessageBox(ScriptEngine& engine, std::string_view text, std::string_view caption1,
                       std::string_view caption2, std::string_view caption3);
// ShowInputBox: the text in the box, however the window was closed.
std::string ShowInputBox(ScriptEngine& engine, std::string_view text, std::string_view def);

// The game information (F1, show_info, the information action); clears the input.
void ShowGameInformation(ScriptEngine& engine);

// Writes one "[message] TEXT" line through the state's printer.
void PrintDialogLine(DialogState& d, std::string_view text);

}  // namespace tb
