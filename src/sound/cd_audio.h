// The CD drive behind the media-control command strings of the `cdaudio` device. A real drive
// is not used: a folder "cdaudio" beside the game file whose tracks are named "track01.ogg",
// "track02.flac", ... (any format the decoders read) is the disc in the drive. Without such a
// folder there is no drive and every command gets the empty reply.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

class SoundEngine;

class CdAudio {
  public:
    // The disc's folder ("" or a folder without tracks: no drive). Reads the track lengths.
    void Insert(const std::string& folder, const std::string& soundfont);
    bool HasDrive() const { return !tracks_.empty(); }

    // One command string; the reply ("" for commands without one and for failures), cut to
    // `reply_size` - 1 characters as the reply buffer would.
    std::string Command(SoundEngine& engine, std::string_view text, size_t reply_size = 256);
    void Stop(SoundEngine& engine);

  private:
    struct Track {
        std::string path;
        int64_t start_ms = 0;
        int64_t length_ms = 0;
    };
    enum class Mode { kStopped, kPlaying, kPaused };

    int64_t DiscLength() const;
    int64_t Position(SoundEngine& engine);  // milliseconds from the start of the disc
    int TrackAt(int64_t ms) const;          // 1-based
    bool ParsePosition(std::string_view text, int64_t& ms) const;
    std::string FormatPosition(int64_t ms) const;
    std::string FormatLength(int64_t ms) const;
    bool Play(SoundEngine& engine, int64_t from, int64_t to);
    void Settle(SoundEngine& engine);  // a play that reached its end stops there

    std::vector<Track> tracks_;
    std::string soundfont_;
    bool door_open_ = false;
    bool tmsf_ = true;  // the time format: tmsf, else milliseconds
    Mode mode_ = Mode::kStopped;
    int64_t position_ = 0;  // when not playing
    int64_t play_from_ = 0, play_to_ = 0;
    int64_t play_start_us_ = 0;  // the game clock when the play began (no mixer)
    int stream_ = -1;
};

}  // namespace tb
