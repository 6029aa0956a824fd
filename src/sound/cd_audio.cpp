#include "sound/cd_audio.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "platform/audio_decoder.h"
#include "sound/engine.h"

namespace tb {

namespace {

constexpr int kFramesPerSecond = 75;  // CD frames in the tmsf and msf formats

std::vector<std::string> Words(std::string_view text) {
    std::vector<std::string> out;
    std::string w;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            if (!w.empty()) out.push_back(std::move(w));
            w.clear();
        } else {
            w += char(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    if (!w.empty()) out.push_back(std::move(w));
    return out;
}

bool ParseInt(const std::string& s, int64_t& out) {
    if (s.empty() || s.size() > 12) return false;
    int64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    out = v;
    return true;
}

// Plays the disc from one point to another, track after track, as stereo.
class DiscSource final : public PcmSource {
  public:
    struct Piece {
        std::string path;
        int64_t skip_ms, length_ms;
    };
    DiscSource(std::vector<Piece> pieces, std::string soundfont)
        : pieces_(std::move(pieces)), soundfont_(std::move(soundfont)) {
        channels = 2;
        rate = 44100;
        if (!pieces_.empty()) {
            if (auto first = OpenSoundFile(pieces_[0].path, soundfont_)) rate = first->rate;
        }
    }
    size_t Read(float* out, size_t count) override {
        size_t done = 0;
        while (done < count) {
            if (!current_ && !OpenNext()) break;
            size_t want = size_t(std::min<int64_t>(int64_t(count - done), left_));
            buffer_.resize(want * size_t(current_->channels));
            size_t got = current_->Read(buffer_.data(), want);
            for (size_t i = 0; i < got; ++i) {
                float l = buffer_[i * size_t(current_->channels)];
                float r = current_->channels > 1 ? buffer_[i * 2 + 1] : l;
                out[(done + i) * 2] = l;
                out[(done + i) * 2 + 1] = r;
            }
            done += got;
            left_ -= int64_t(got);
            if (got < want || left_ <= 0) current_.reset();
        }
        return done;
    }
    bool Rewind() override {
        next_ = 0;
        current_.reset();
        return true;
    }

  private:
    bool OpenNext() {
        while (next_ < pieces_.size()) {
            const Piece& p = pieces_[next_++];
            current_ = OpenSoundFile(p.path, soundfont_);
            if (!current_) continue;
            int64_t skip = p.skip_ms * current_->rate / 1000;
            if (skip > 0 && !current_->Seek(skip)) {
                std::vector<float> sink(4096 * size_t(current_->channels));
                while (skip > 0) {
                    size_t n = current_->Read(sink.data(), size_t(std::min<int64_t>(skip, 4096)));
                    if (n == 0) break;
                    skip -= int64_t(n);
                }
            }
            left_ = p.length_ms * current_->rate / 1000;
            if (left_ > 0) return true;
            current_.reset();
        }
        return false;
    }

    std::vector<Piece> pieces_;
    std::string soundfont_;
    size_t next_ = 0;
    std::unique_ptr<PcmSource> current_;
    int64_t left_ = 0;
    std::vector<float> buffer_;
};

}  // namespace

void CdAudio::Insert(const std::string& folder, const std::string& soundfont) {
    tracks_.clear();
    soundfont_ = soundfont;
    if (folder.empty()) return;
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return;
    // trackNN.* by number, any letter case; the disc ends at the first number missing.
    std::vector<std::string> found(100);
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        std::string name = entry.path().filename().string();
        std::string lower = name;
        for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
        int64_t n = 0;
        if (lower.size() < 8 || lower.compare(0, 5, "track") != 0 || lower[7] != '.' ||
            !ParseInt(lower.substr(5, 2), n) || n < 1 || n > 99)
            continue;
        if (found[size_t(n)].empty() || name < fs::path(found[size_t(n)]).filename().string())
            found[size_t(n)] = entry.path().string();
    }
    int64_t start = 0;
    for (int n = 1; n < 100 && !found[size_t(n)].empty(); ++n) {
        std::unique_ptr<PcmSource> src = OpenSoundFile(found[size_t(n)], soundfont);
        int64_t frames = src ? src->frames : -1;
        if (src && frames < 0) {
            // The length is not in the file's header: count the frames once.
            frames = 0;
            std::vector<float> sink(4096 * size_t(src->channels));
            while (size_t got = src->Read(sink.data(), 4096)) frames += int64_t(got);
        }
        if (!src || frames <= 0) break;
        Track t;
        t.path = found[size_t(n)];
        t.start_ms = start;
        t.length_ms = frames * 1000 / src->rate;
        start += t.length_ms;
        tracks_.push_back(std::move(t));
    }
}

int64_t CdAudio::DiscLength() const {
    return tracks_.empty() ? 0 : tracks_.back().start_ms + tracks_.back().length_ms;
}

int CdAudio::TrackAt(int64_t ms) const {
    int n = 1;
    for (size_t i = 0; i < tracks_.size(); ++i)
        if (ms >= tracks_[i].start_ms) n = int(i) + 1;
    return n;
}

void CdAudio::Settle(SoundEngine& engine) {
    if (mode_ != Mode::kPlaying) return;
    bool over = engine.HasMixer() ? !engine.StreamPlaying(stream_)
                                  : play_from_ + (engine.Now() - play_start_us_) / 1000 >= play_to_;
    if (over) {
        engine.StopStream(stream_);
        stream_ = -1;
        mode_ = Mode::kStopped;
        position_ = play_to_;
    }
}

int64_t CdAudio::Position(SoundEngine& engine) {
    Settle(engine);
    if (mode_ != Mode::kPlaying) return position_;
    int64_t heard = engine.HasMixer() ? engine.StreamFrames(stream_) * 1000 /
                                            std::max(engine.StreamRate(stream_), 1)
                                      : (engine.Now() - play_start_us_) / 1000;
    return std::min(play_from_ + heard, play_to_);
}

bool CdAudio::ParsePosition(std::string_view text, int64_t& ms) const {
    std::string s(text);
    if (!tmsf_) return ParseInt(s, ms);
    // track[:minutes[:seconds[:frames]]] from the start of the track.
    int64_t part[4] = {0, 0, 0, 0};
    size_t k = 0, begin = 0;
    for (size_t i = 0; i <= s.size(); ++i) {
        if (i == s.size() || s[i] == ':') {
            if (k >= 4 || !ParseInt(s.substr(begin, i - begin), part[k])) return false;
            ++k;
            begin = i + 1;
        }
    }
    if (part[0] < 1 || part[0] > int64_t(tracks_.size())) return false;
    ms = tracks_[size_t(part[0] - 1)].start_ms + part[1] * 60000 + part[2] * 1000 +
         part[3] * 1000 / kFramesPerSecond;
    return true;
}

std::string CdAudio::FormatPosition(int64_t ms) const {
    if (!tmsf_) return std::to_string(ms);
    int track = TrackAt(ms);
    int64_t in = ms - tracks_[size_t(track - 1)].start_ms;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d:%02d", track, int(in / 60000),
                  int(in / 1000 % 60), int(in % 1000 * kFramesPerSecond / 1000));
    return buf;
}

std::string CdAudio::FormatLength(int64_t ms) const {
    if (!tmsf_) return std::to_string(ms);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", int(ms / 60000), int(ms / 1000 % 60),
                  int(ms % 1000 * kFramesPerSecond / 1000));
    return buf;
}

bool CdAudio::Play(SoundEngine& engine, int64_t from, int64_t to) {
    Stop(engine);
    from = std::clamp<int64_t>(from, 0, DiscLength());
    to = std::clamp<int64_t>(to, from, DiscLength());
    std::vector<DiscSource::Piece> pieces;
    for (const Track& t : tracks_) {
        int64_t a = std::max(from, t.start_ms), b = std::min(to, t.start_ms + t.length_ms);
        if (b > a) pieces.push_back({t.path, a - t.start_ms, b - a});
    }
    play_from_ = from;
    play_to_ = to;
    play_start_us_ = engine.Now();
    position_ = from;
    mode_ = Mode::kPlaying;
    if (engine.HasMixer())
        stream_ = engine.PlayStream(std::make_unique<DiscSource>(std::move(pieces), soundfont_));
    return true;
}

void CdAudio::Stop(SoundEngine& engine) {
    if (mode_ == Mode::kPlaying) position_ = Position(engine);
    if (stream_ >= 0) engine.StopStream(stream_);
    stream_ = -1;
    if (mode_ == Mode::kPlaying) mode_ = Mode::kStopped;
}

std::string CdAudio::Command(SoundEngine& engine, std::string_view text, size_t reply_size) {
    std::vector<std::string> w = Words(text);
    std::string reply;
    auto has = [&](size_t i, const char* word) { return i < w.size() && w[i] == word; };
    if (tracks_.empty() || w.size() < 2 || w[1] != "cdaudio") return reply;
    const std::string& verb = w[0];
    Settle(engine);
    if (verb == "open" || verb == "close") {
        // The device opens and closes; the disc plays on in the drive.
    } else if (verb == "status") {
        if (has(2, "media") && has(3, "present")) {
            reply = door_open_ ? "false" : "true";
        } else if (has(2, "mode")) {
            reply = door_open_                ? "open"
                    : mode_ == Mode::kPlaying ? "playing"
                    : mode_ == Mode::kPaused  ? "paused"
                                              : "stopped";
        } else if (door_open_) {
            // No disc to tell about.
        } else if (has(2, "number") && has(3, "of") && has(4, "tracks")) {
            reply = std::to_string(tracks_.size());
        } else if (has(2, "current") && has(3, "track")) {
            reply = std::to_string(TrackAt(Position(engine)));
        } else if (has(2, "position")) {
            if (has(3, "track")) {
                int64_t n = 0;
                if (w.size() > 4 && ParseInt(w[4], n) && n >= 1 && n <= int64_t(tracks_.size()))
                    reply = FormatPosition(tracks_[size_t(n - 1)].start_ms);
            } else {
                reply = FormatPosition(Position(engine));
            }
        } else if (has(2, "length")) {
            if (has(3, "track")) {
                int64_t n = 0;
                if (w.size() > 4 && ParseInt(w[4], n) && n >= 1 && n <= int64_t(tracks_.size()))
                    reply = FormatLength(tracks_[size_t(n - 1)].length_ms);
            } else {
                reply = FormatLength(DiscLength());
            }
        } else if (has(2, "ready")) {
            reply = "true";
        } else if (has(2, "time") && has(3, "format")) {
            reply = tmsf_ ? "tmsf" : "milliseconds";
        }
    } else if (verb == "set") {
        if (has(2, "time") && has(3, "format") && w.size() > 4) {
            if (w[4] == "tmsf")
                tmsf_ = true;
            else if (w[4] == "ms" || w[4] == "milliseconds")
                tmsf_ = false;
        } else if (has(2, "door") && has(3, "open")) {
            Stop(engine);
            mode_ = Mode::kStopped;
            door_open_ = true;
        } else if (has(2, "door") && has(3, "closed")) {
            door_open_ = false;
            position_ = 0;
        }
    } else if (door_open_) {
        // Nothing plays with the door open.
    } else if (verb == "play") {
        int64_t from = mode_ == Mode::kPlaying ? Position(engine) : position_;
        // A paused play goes on to where it was to end.
        int64_t to = mode_ == Mode::kPaused ? play_to_ : DiscLength();
        bool ok = true;
        for (size_t i = 2; i + 1 < w.size() && ok; ++i) {
            if (w[i] == "from")
                ok = ParsePosition(w[++i], from);
            else if (w[i] == "to")
                ok = ParsePosition(w[++i], to);
        }
        if (ok && from < DiscLength()) Play(engine, from, to);
    } else if (verb == "stop") {
        Stop(engine);
    } else if (verb == "pause") {
        if (mode_ == Mode::kPlaying) {
            Stop(engine);
            mode_ = Mode::kPaused;
        }
    } else if (verb == "resume") {
        if (mode_ == Mode::kPaused) Play(engine, position_, play_to_);
    } else if (verb == "seek" && has(2, "to") && w.size() > 3) {
        int64_t to = 0;
        bool ok = w[3] == "start" ? (to = 0, true)
                  : w[3] == "end" ? (to = DiscLength(), true)
                                  : ParsePosition(w[3], to);
        if (ok) {
            Stop(engine);
            mode_ = Mode::kStopped;
            position_ = std::clamp<int64_t>(to, 0, DiscLength());
        }
    }
    if (reply_size > 0 && reply.size() > reply_size - 1) reply.resize(reply_size - 1);
    return reply;
}

}  // namespace tb
