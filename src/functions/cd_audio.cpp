// The CD functions: each sends the command strings of the cdaudio device and reads the
// replies, as a program driving a drive through the media-control interface would.
#include <cctype>
#include <string>

#include "functions/arguments.h"
#include "functions/register.h"
#include "functions/shared_handlers.h"
#include "script/engine.h"
#include "script/registry.h"
#include "sound/sound_system.h"

namespace tb {

namespace {

#define TB_CD_HANDLER(name)                                                            \
    void name(ScriptEngine& engine, CInstance*, CInstance*, [[maybe_unused]] int argc, \
              [[maybe_unused]] RValue& result, [[maybe_unused]] const RValue* args)

constexpr size_t kReplySize = 20;

// Sends one command with the 20-character reply buffer.
std::string Send(ScriptEngine& engine, const std::string& command) {
    SoundSystem& sys = SoundOf(engine);
    return sys.cd.Command(sys.engine, command, kReplySize);
}

// The decimal number formed by the reply's digits; 0 without digits.
int64_t NumberIn(const std::string& reply) {
    int64_t n = 0;
    for (char c : reply)
        if (c >= '0' && c <= '9') n = n * 10 + (c - '0');
    return n;
}

int64_t DigitsAt(const std::string& reply, size_t from, size_t count) {
    return reply.size() > from ? NumberIn(reply.substr(from, count)) : 0;
}

bool Present(ScriptEngine& engine) {
    return Send(engine, "status cdaudio media present") == "true";
}

int64_t TrackCount(ScriptEngine& engine) {
    Send(engine, "open cdaudio");
    return Present(engine) ? NumberIn(Send(engine, "status cdaudio number of tracks")) : 0;
}

int64_t CurrentTrack(ScriptEngine& engine) {
    Send(engine, "open cdaudio");
    Send(engine, "set cdaudio time format tmsf wait");
    return Present(engine) ? DigitsAt(Send(engine, "status cdaudio position"), 0, 2) : 0;
}

bool Playing(ScriptEngine& engine) {
    return Send(engine, "status cdaudio mode") == "playing";
}

TB_CD_HANDLER(cd_init) {
    Send(engine, "close cdaudio");
    Send(engine, "open cdaudio");
}

TB_CD_HANDLER(cd_present) {
    Send(engine, "open cdaudio");
    result.SetReal(Present(engine) ? 1 : 0);
}

TB_CD_HANDLER(cd_number) {
    result.SetReal(double(TrackCount(engine)));
}

TB_CD_HANDLER(cd_playing) {
    Send(engine, "open cdaudio");
    result.SetReal(Present(engine) && Playing(engine) ? 1 : 0);
}

TB_CD_HANDLER(cd_paused) {
    Send(engine, "open cdaudio");
    if (!Present(engine)) return;
    std::string mode = Send(engine, "status cdaudio mode");
    result.SetReal(mode == "paused" || mode == "stopped" ? 1 : 0);
}

TB_CD_HANDLER(cd_track) {
    result.SetReal(double(CurrentTrack(engine)));
}

TB_CD_HANDLER(cd_length) {
    Send(engine, "open cdaudio");
    Send(engine, "set cdaudio time format ms wait");
    if (Present(engine))
        result.SetReal(double(NumberIn(Send(engine, "status cdaudio length wait"))));
    Send(engine, "set cdaudio time format tmsf wait");
}

TB_CD_HANDLER(cd_track_length) {
    Send(engine, "open cdaudio");
    int32_t n = Int(argc > 0 ? args[0] : RValue());
    if (n <= 0 || n > TrackCount(engine)) return;
    Send(engine, "set cdaudio time format milliseconds wait");
    if (Present(engine))
        result.SetReal(
            double(NumberIn(Send(engine, "status cdaudio length track " + std::to_string(n)))));
    Send(engine, "set cdaudio time format tmsf wait");
}

TB_CD_HANDLER(cd_position) {
    Send(engine, "open cdaudio");
    Send(engine, "set cdaudio time format milliseconds wait");
    if (Present(engine)) result.SetReal(double(NumberIn(Send(engine, "status cdaudio position"))));
    Send(engine, "set cdaudio time format tmsf wait");
}

TB_CD_HANDLER(cd_track_position) {
    Send(engine, "open cdaudio");
    Send(engine, "set cdaudio time format tmsf wait");
    if (!Present(engine)) return;
    std::string pos = Send(engine, "status cdaudio position");
    // Characters 4-5 are the minutes and 7-8 the seconds; the frames are left out.
    result.SetReal(double(DigitsAt(pos, 3, 2) * 60000 + DigitsAt(pos, 6, 2) * 1000));
}

TB_CD_HANDLER(cd_play) {
    if (!Present(engine)) return;
    Send(engine, "set cdaudio time format tmsf wait");
    int32_t first = Int(argc > 0 ? args[0] : RValue());
    int32_t last = Int(argc > 1 ? args[1] : RValue());
    if (last < first) return;
    if (first <= 0) first = 1;
    if (last < TrackCount(engine))
        Send(engine, "play cdaudio from " + std::to_string(first) + " to " +
                         std::to_string(int64_t(last) + 1));
    else
        Send(engine, "play cdaudio from " + std::to_string(first));
}

TB_CD_HANDLER(cd_stop) {
    if (Present(engine)) Send(engine, "stop cdaudio");
}

TB_CD_HANDLER(cd_pause) {
    if (Present(engine)) Send(engine, "pause cdaudio");
}

TB_CD_HANDLER(cd_resume) {
    if (Present(engine)) Send(engine, "play cdaudio");
}

TB_CD_HANDLER(cd_set_position) {
    if (!Present(engine)) return;
    int32_t ms = Int(argc > 0 ? args[0] : RValue());
    Send(engine, "set cdaudio time format milliseconds wait");
    if (Playing(engine))
        Send(engine, "play cdaudio from " + std::to_string(ms));
    else
        Send(engine, "seek cdaudio to " + std::to_string(ms));
    Send(engine, "set cdaudio time format tmsf");
}

TB_CD_HANDLER(cd_set_track_position) {
    if (!Present(engine)) return;
    int64_t track = CurrentTrack(engine);
    if (track <= 0) return;
    int64_t ms = Int(argc > 0 ? args[0] : RValue());
    // Integer division and remainder truncate toward zero, as the original's div and mod.
    std::string text = std::to_string(track) + ":" + std::to_string(ms / 60000) + ":" +
                       std::to_string((ms % 60000) / 1000);
    Send(engine, "set cdaudio time format tmsf wait");
    if (Playing(engine))
        Send(engine, "play cdaudio from " + text);
    else
        Send(engine, "seek cdaudio to " + text);
    Send(engine, "set cdaudio time format tmsf");
}

TB_CD_HANDLER(cd_open_door) {
    Send(engine, "open cdaudio");
    Send(engine, "set cdaudio door open");
}

TB_CD_HANDLER(cd_close_door) {
    Send(engine, "open cdaudio");
    Send(engine, "set cdaudio door closed");
}

TB_CD_HANDLER(MCI_command) {
    const RValue& text = argc > 0 ? args[0] : RValue();
    SoundSystem& sys = SoundOf(engine);
    std::string command = text.IsString() ? std::string(text.text.view()) : std::string();
    result.SetString(RString(sys.cd.Command(sys.engine, command, 255)));
}

}  // namespace

// Called directly by the actions.
const BuiltinFunction kCdPresent = &cd_present;
const BuiltinFunction kCdPlaying = &cd_playing;
const BuiltinFunction kCdPlay = &cd_play;
const BuiltinFunction kCdStop = &cd_stop;
const BuiltinFunction kCdPause = &cd_pause;
const BuiltinFunction kCdResume = &cd_resume;

void RegisterCdFunctions(FunctionRegistry& r) {
    r.Register("cd_init", cd_init, 0);
    r.Register("cd_present", cd_present, 0);
    r.Register("cd_number", cd_number, 0);
    r.Register("cd_playing", cd_playing, 0);
    r.Register("cd_paused", cd_paused, 0);
    r.Register("cd_track", cd_track, 0);
    r.Register("cd_length", cd_length, 0);
    r.Register("cd_track_length", cd_track_length, 1);
    r.Register("cd_position", cd_position, 0);
    r.Register("cd_track_position", cd_track_position, 0);
    r.Register("cd_play", cd_play, 2);
    r.Register("cd_stop", cd_stop, 0);
    r.Register("cd_pause", cd_pause, 0);
    r.Register("cd_resume", cd_resume, 0);
    r.Register("cd_set_position", cd_set_position, 1);
    r.Register("cd_set_track_position", cd_set_track_position, 1);
    r.Register("cd_open_door", cd_open_door, 0);
    r.Register("cd_close_door", cd_close_door, 0);
    r.Register("MCI_command", MCI_command, 1);
}

}  // namespace tb
