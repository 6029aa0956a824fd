#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/audio_decoder.h"
#include "runner/runner.h"
#include "script/engine.h"
#include "script/random.h"
#include "sound/sound_system.h"
#include "system/paths.h"

namespace tb {

namespace {

// "a" + a random number below 100000 + the extension, a name not taken yet.
std::string TemporaryName(SoundSystem& sys, const std::string& extension) {
    std::error_code ec;
    for (int tries = 0; tries < 100000; ++tries) {
        uint32_t n = sys.random ? sys.random->Below(100000) : uint32_t(tries);
        std::string name = JoinPath(sys.temp_dir, "a" + std::to_string(n) + extension);
        if (!std::filesystem::exists(name, ec)) return name;
    }
    return "";
}

}  // namespace

void PrepareSound(SoundSystem& sys, CSound& snd) {
    SoundEngine& e = sys.engine;
    if (snd.sample >= 0) {
        e.Free(snd.sample);
        snd.sample = -1;
    }
    if (snd.Kind >= 0 && snd.Kind <= 2 && snd.has_data) {
        snd.sample = e.LoadMemory(snd.data, snd.Kind);
        if (snd.sample < 0) snd.Kind = kSoundMedia;
    }
    if (snd.Kind == kSoundMedia) {
        if (snd.has_data) {
            std::string name = TemporaryName(sys, snd.FileType);
            if (!name.empty()) {
                std::ofstream out(name, std::ios::binary);
                out.write(reinterpret_cast<const char*>(snd.data.data()),
                          std::streamsize(snd.data.size()));
            }
            snd.temporary_file = name;
            snd.has_data = false;
            snd.data.clear();
            snd.data.shrink_to_fit();
        }
        if (!snd.temporary_file.empty()) snd.sample = e.LoadFile(snd.temporary_file, kSoundMedia);
    }
    if (snd.sample >= 0) {
        if (snd.Effects > 0) e.SetEffects(snd.sample, snd.Effects);
        e.SetVolume(snd.sample, 0, snd.Volume);
        e.SetPan(snd.sample, snd.Pan);
    }
}

void DiscardSound(SoundSystem& sys, CSound& snd) {
    if (snd.sample >= 0) sys.engine.Free(snd.sample);
    snd.sample = -1;
}

int SoundSample(SoundSystem& sys, CSound& snd) {
    if (snd.sample < 0) PrepareSound(sys, snd);
    return snd.sample;
}

bool LoadSoundFromFile(SoundSystem& sys, CSound& snd, const std::string& file, int32_t kind,
                       bool preload) {
    std::string path = HostPath(file);
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    DiscardSound(sys, snd);
    snd.Reset();
    std::filesystem::path p(path);
    snd.FileType = p.extension().string();
    snd.FileName = p.filename().string();
    snd.has_data = true;
    snd.data = std::move(bytes);
    snd.Kind = kind;
    snd.Preload = preload;
    if (preload) PrepareSound(sys, snd);
    return true;
}

int AddSound(SoundSystem& sys, ResourceList<CSound>& list, const std::string& file, int32_t kind,
             bool preload) {
    auto snd = std::make_unique<CSound>();
    if (!LoadSoundFromFile(sys, *snd, file, kind, preload)) return -1;
    int index = list.Count();
    return list.Add(std::move(snd), "__newsound" + std::to_string(index));
}

bool ReplaceSound(SoundSystem& sys, ResourceList<CSound>& list, int index, const std::string& file,
                  int32_t kind, bool preload) {
    if (index < 0 || index >= list.Count()) return false;
    if (CSound* snd = list.Get(index)) return LoadSoundFromFile(sys, *snd, file, kind, preload);
    auto snd = std::make_unique<CSound>();
    if (!LoadSoundFromFile(sys, *snd, file, kind, preload)) return false;
    list.items[size_t(index)] = std::move(snd);
    list.names[size_t(index)] = "__newsound" + std::to_string(index);
    return true;
}

void DeleteSound(SoundSystem& sys, ResourceList<CSound>& list, int index) {
    CSound* snd = list.Get(index);
    if (!snd) return;
    DiscardSound(sys, *snd);
    list.items[size_t(index)].reset();
    list.names[size_t(index)].clear();
}

namespace {

std::unique_ptr<SoundSystem> StartSystem(ScriptEngine& e, const std::string& temp_dir,
                                         SoundOptions options, const std::string& game_path) {
    auto sys = std::make_unique<SoundSystem>();
    sys->temp_dir = temp_dir;
    sys->random = &e.random;
    options.soundfont = FindSoundFont();
    sys->engine.Init(options);
    if (!game_path.empty()) {
        std::filesystem::path folder = std::filesystem::path(HostPath(game_path)).parent_path();
        sys->cd.Insert(HostPath(JoinPath(folder.string(), "cdaudio")), options.soundfont);
    }
    return sys;
}

}  // namespace

bool PrepareSounds(Runner& r, bool device) {
    SoundOptions o;
    o.device = device;
    o.audio_file = r.options.audio_file;
    o.message = r.host.message;
    r.engine.sound = StartSystem(r.engine, r.temp.Path(), o, r.options.game_path);
    for (auto& snd : r.game.sounds.items)
        if (snd && snd->Preload) PrepareSound(*r.engine.sound, *snd);
    return true;
}

void ReleaseSounds(Runner& r) {
    r.engine.sound.reset();
    for (auto& snd : r.game.sounds.items)
        if (snd) snd->sample = -1;
}

SoundSystem& SoundOf(ScriptEngine& engine) {
    if (!engine.sound) engine.sound = StartSystem(engine, engine.files.temp_dir, {}, "");
    return *engine.sound;
}

}  // namespace tb
