// The highscore table: ten ranks of (name, score) kept per user and game in the registry
// store, each rank one encoded string; insertion; the settings of the highscore window.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "dialogs/message_form.h"

namespace tb {

inline constexpr int kHighscoreRanks = 10;

struct ScoreEntry {
    std::string name;
    int32_t score = 0;
    bool operator==(const ScoreEntry&) const = default;
};

// The stored string of one entry: 16 score bytes and the name's bytes, each shifted by its
// position (from 1) and the game id, written as two letters "A" .. "P".
std::string EncodeScoreEntry(const ScoreEntry& e, int32_t game_id);
// Nothing for a string that is not an encoding (odd length, a letter outside "A" .. "P",
// fewer than 16 bytes).
std::optional<ScoreEntry> DecodeScoreEntry(std::string_view text, int32_t game_id);

// Where the ranks are kept: the value "Rank1" .. "Rank10" under the game's score key.
struct ScoreStore {
    // Nothing when the value is missing or cannot be read.
    std::function<std::optional<std::string>(int32_t game_id, int rank)> read;
    std::function<void(int32_t game_id, int rank, const std::string& value)> write;
};

// The registry key of a game's table and the value name of a rank.
std::string ScoreKey(int32_t game_id);
std::string RankValueName(int rank);

struct HighscoreSettings {
    int32_t background = -1;
    bool border = true;
    int32_t window_color = 15793151;
    int32_t new_color = 255;
    int32_t other_color = 0;
    MessageFont font{"Times New Roman", 12, 0, 0};
    std::string caption = "Top Ten Players";
    std::string nobody = "<nobody>";
    std::string escape = "press <Escape> to close";
};

// Reads and writes one game's table through a store; every read goes to the store.
class ScoreTable {
  public:
    ScoreTable(const ScoreStore& store, int32_t game_id, std::string_view nobody)
        : store_(store), game_id_(game_id), nobody_(nobody) {}

    // Rank 1 .. 10; a missing or unreadable value is (nobody, 0).
    ScoreEntry Get(int rank) const;
    void Set(int rank, const ScoreEntry& e) const;
    std::array<ScoreEntry, kHighscoreRanks> All() const;
    // The first rank whose score is below `score` (0 when none), the ranks from there moved
    // down one and the entry stored there.
    int Insert(const ScoreEntry& e) const;
    void Clear() const;

  private:
    const ScoreStore& store_;
    int32_t game_id_;
    std::string nobody_;
};

// The highscore window's name editing: Backspace drops the last character, characters from
// the blank upwards are appended. True when the key closes the window (Esc, Enter).
bool HighscoreKey(std::string& name, int32_t key, char character);

}  // namespace tb
