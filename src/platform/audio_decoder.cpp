#include "platform/audio_decoder.h"

#include <fluidsynth.h>
#include <sndfile.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace tb {

namespace {

constexpr const char* kPackagedSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
constexpr int kMidiRate = 44100;
// After the last MIDI event the notes still ring out; at most this long.
constexpr int64_t kMidiTailFrames = kMidiRate * 3;

// ---- libsndfile over bytes in memory

struct MemoryFile {
    SoundBytes bytes;
    sf_count_t pos = 0;
};

sf_count_t MemLength(void* user) {
    return sf_count_t(static_cast<MemoryFile*>(user)->bytes->size());
}
sf_count_t MemSeek(sf_count_t offset, int whence, void* user) {
    auto* m = static_cast<MemoryFile*>(user);
    sf_count_t size = sf_count_t(m->bytes->size());
    sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m->pos : size;
    m->pos = std::clamp<sf_count_t>(base + offset, 0, size);
    return m->pos;
}
sf_count_t MemRead(void* ptr, sf_count_t count, void* user) {
    auto* m = static_cast<MemoryFile*>(user);
    sf_count_t n = std::min(count, sf_count_t(m->bytes->size()) - m->pos);
    if (n <= 0) return 0;
    std::memcpy(ptr, m->bytes->data() + m->pos, size_t(n));
    m->pos += n;
    return n;
}
sf_count_t MemWrite(const void*, sf_count_t, void*) {
    return 0;
}
sf_count_t MemTell(void* user) {
    return static_cast<MemoryFile*>(user)->pos;
}

class SndFileSource final : public PcmSource {
  public:
    static std::unique_ptr<PcmSource> Open(SoundBytes bytes) {
        auto s = std::unique_ptr<SndFileSource>(new SndFileSource);
        s->mem_.bytes = std::move(bytes);
        SF_VIRTUAL_IO io{MemLength, MemSeek, MemRead, MemWrite, MemTell};
        SF_INFO info{};
        s->file_ = sf_open_virtual(&io, SFM_READ, &info, &s->mem_);
        if (!s->file_) return nullptr;
        if (info.channels < 1 || info.samplerate < 1 || info.samplerate > 384000) return nullptr;
        s->file_channels_ = info.channels;
        s->channels = std::min(info.channels, 2);
        s->rate = info.samplerate;
        s->frames = info.frames > 0 && info.frames < (int64_t(1) << 40) ? info.frames : -1;
        return s;
    }
    ~SndFileSource() override {
        if (file_) sf_close(file_);
    }

    size_t Read(float* out, size_t count) override {
        if (file_channels_ <= 2) {
            sf_count_t n = sf_readf_float(file_, out, sf_count_t(count));
            return n > 0 ? size_t(n) : 0;
        }
        // More than two channels: the first two are kept.
        size_t done = 0;
        while (done < count) {
            size_t chunk = std::min<size_t>(count - done, 1024);
            wide_.resize(chunk * size_t(file_channels_));
            sf_count_t n = sf_readf_float(file_, wide_.data(), sf_count_t(chunk));
            if (n <= 0) break;
            for (sf_count_t i = 0; i < n; ++i) {
                out[(done + size_t(i)) * 2] = wide_[size_t(i) * size_t(file_channels_)];
                out[(done + size_t(i)) * 2 + 1] = wide_[size_t(i) * size_t(file_channels_) + 1];
            }
            done += size_t(n);
            if (size_t(n) < chunk) break;
        }
        return done;
    }
    bool Rewind() override { return sf_seek(file_, 0, SEEK_SET) == 0; }
    bool Seek(int64_t frame) override { return sf_seek(file_, sf_count_t(frame), SEEK_SET) >= 0; }

  private:
    SndFileSource() = default;
    MemoryFile mem_;
    SNDFILE* file_ = nullptr;
    int file_channels_ = 1;
    std::vector<float> wide_;
};

// ---- MIDI through FluidSynth

void SilenceFluidLog() {
    // Malformed files make the synthesiser complain on standard error; a game's bad music is
    // not the player's business.
    static const bool done = [] {
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
            fluid_set_log_function(level, nullptr, nullptr);
        return true;
    }();
    (void)done;
}

class MidiSource final : public PcmSource {
  public:
    static std::unique_ptr<PcmSource> Open(SoundBytes bytes, const std::string& soundfont) {
        if (soundfont.empty()) return nullptr;
        SilenceFluidLog();
        auto s = std::unique_ptr<MidiSource>(new MidiSource);
        s->bytes_ = std::move(bytes);
        s->settings_ = new_fluid_settings();
        if (!s->settings_) return nullptr;
        fluid_settings_setnum(s->settings_, "synth.sample-rate", kMidiRate);
        fluid_settings_setnum(s->settings_, "synth.gain", 0.5);
        fluid_settings_setint(s->settings_, "synth.cpu-cores", 1);
        s->synth_ = new_fluid_synth(s->settings_);
        if (!s->synth_) return nullptr;
        if (fluid_synth_sfload(s->synth_, soundfont.c_str(), 1) == FLUID_FAILED) return nullptr;
        if (!s->StartPlayer()) return nullptr;
        s->channels = 2;
        s->rate = kMidiRate;
        s->frames = -1;
        return s;
    }
    ~MidiSource() override {
        if (player_) delete_fluid_player(player_);
        if (synth_) delete_fluid_synth(synth_);
        if (settings_) delete_fluid_settings(settings_);
    }

    size_t Read(float* out, size_t count) override {
        size_t done = 0;
        while (done < count) {
            if (fluid_player_get_status(player_) != FLUID_PLAYER_PLAYING) {
                // The events are over: let the notes ring out, then end.
                if (tail_ >= kMidiTailFrames || fluid_synth_get_active_voice_count(synth_) == 0)
                    break;
            }
            int chunk = int(std::min<size_t>(count - done, 512));
            if (fluid_synth_write_float(synth_, chunk, out + done * 2, 0, 2, out + done * 2, 1,
                                        2) != FLUID_OK)
                break;
            if (fluid_player_get_status(player_) != FLUID_PLAYER_PLAYING) tail_ += chunk;
            done += size_t(chunk);
        }
        return done;
    }
    bool Rewind() override {
        fluid_synth_system_reset(synth_);
        return StartPlayer();
    }
    void SetTempo(double t) override {
        tempo_ = t;
        fluid_player_set_tempo(player_, FLUID_PLAYER_TEMPO_INTERNAL, tempo_);
    }

  private:
    MidiSource() = default;
    bool StartPlayer() {
        if (player_) delete_fluid_player(player_);
        tail_ = 0;
        player_ = new_fluid_player(synth_);
        if (!player_) return false;
        if (fluid_player_add_mem(player_, bytes_->data(), bytes_->size()) != FLUID_OK) return false;
        fluid_player_set_tempo(player_, FLUID_PLAYER_TEMPO_INTERNAL, tempo_);
        return fluid_player_play(player_) == FLUID_OK;
    }

    SoundBytes bytes_;
    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
    fluid_player_t* player_ = nullptr;
    int64_t tail_ = 0;
    double tempo_ = 1.0;
};

// A MIDI file's "MThd" chunk with at least one "MTrk" after it: the synthesiser's loader
// accepts files that are only a header, which would play nothing forever.
bool LooksLikeSmf(const uint8_t* p, size_t n) {
    if (n < 22 || std::memcmp(p, "MThd", 4) != 0) return false;
    uint32_t len = uint32_t(p[4]) << 24 | uint32_t(p[5]) << 16 | uint32_t(p[6]) << 8 | p[7];
    if (len < 6 || len > n - 8) return false;
    return n - 8 - len >= 8 && std::memcmp(p + 8 + len, "MTrk", 4) == 0;
}

}  // namespace

bool IsMidi(const std::vector<uint8_t>& b) {
    if (LooksLikeSmf(b.data(), b.size())) return true;
    // RIFF "RMID" with a "data" chunk holding the standard MIDI file.
    return b.size() >= 20 && std::memcmp(b.data(), "RIFF", 4) == 0 &&
           std::memcmp(b.data() + 8, "RMID", 4) == 0 &&
           std::memcmp(b.data() + 12, "data", 4) == 0 && LooksLikeSmf(b.data() + 20, b.size() - 20);
}

std::unique_ptr<PcmSource> OpenSoundBytes(SoundBytes bytes, const std::string& soundfont) {
    if (!bytes || bytes->empty()) return nullptr;
    if (IsMidi(*bytes)) {
        if (std::memcmp(bytes->data(), "RIFF", 4) == 0)
            bytes = std::make_shared<const std::vector<uint8_t>>(bytes->begin() + 20, bytes->end());
        return MidiSource::Open(std::move(bytes), soundfont);
    }
    return SndFileSource::Open(std::move(bytes));
}

std::unique_ptr<PcmSource> OpenSoundFile(const std::string& path, const std::string& soundfont) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return nullptr;
    auto bytes = std::make_shared<std::vector<uint8_t>>(std::istreambuf_iterator<char>(in),
                                                        std::istreambuf_iterator<char>());
    return OpenSoundBytes(std::move(bytes), soundfont);
}

std::string FindSoundFont() {
    std::error_code ec;
    if (const char* env = std::getenv("TAMBERLO_SOUNDFONT"); env && *env) {
        return std::filesystem::is_regular_file(env, ec) ? std::string(env) : std::string();
    }
    return std::filesystem::is_regular_file(kPackagedSoundFont, ec) ? kPackagedSoundFont : "";
}

// ---- writing

std::unique_ptr<WavWriter> WavWriter::Create(const std::string& path, int rate, int channels) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) return nullptr;
    sf_command(f, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    auto w = std::unique_ptr<WavWriter>(new WavWriter);
    w->file_ = f;
    w->channels_ = channels;
    return w;
}

WavWriter::~WavWriter() {
    if (file_) sf_close(static_cast<SNDFILE*>(file_));
}

void WavWriter::Write(const float* frames, size_t count) {
    if (count) sf_writef_float(static_cast<SNDFILE*>(file_), frames, sf_count_t(count));
}

bool WriteSoundFile(const std::string& path, const std::vector<float>& frames, int channels,
                    int rate) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (ext == ".ogg")
        info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    else if (ext == ".flac")
        info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    else
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) return false;
    sf_count_t n = sf_count_t(frames.size() / size_t(channels));
    bool ok = sf_writef_float(f, frames.data(), n) == n;
    return sf_close(f) == 0 && ok;
}

}  // namespace tb
