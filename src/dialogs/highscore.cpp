#include "dialogs/highscore.h"

namespace tb {

std::string EncodeScoreEntry(const ScoreEntry& e, int32_t game_id) {
    std::string out;
    out.reserve(2 * (16 + e.name.size()));
    auto put = [&](uint32_t byte, size_t k) {
        // (byte + k + g) mod 256 with g possibly negative.
        int64_t v = (int64_t(byte) + int64_t(k) + int64_t(game_id)) % 256;
        if (v < 0) v += 256;
        out += char('A' + v / 16);
        out += char('A' + v % 16);
    };
    // The score's bytes, least significant first. Non-negative scores give exactly the
    // remainders after repeated divisions by 256; a negative score is written as its two's
    // complement (bytes 4 .. 15 all 255) so that decoding its first four bytes gives it back.
    int64_t s = e.score;
    for (size_t i = 0; i < 16; ++i) {
        put(uint32_t(s & 0xFF), i + 1);
        s >>= 8;
    }
    for (size_t i = 0; i < e.name.size(); ++i) put(uint8_t(e.name[i]), 17 + i);
    return out;
}

std::optional<ScoreEntry> DecodeScoreEntry(std::string_view text, int32_t game_id) {
    if (text.size() % 2 != 0 || text.size() < 32) return std::nullopt;
    ScoreEntry e;
    uint32_t score = 0;
    for (size_t i = 0; i < text.size() / 2; ++i) {
        int hi = text[2 * i] - 'A', lo = text[2 * i + 1] - 'A';
        if (hi < 0 || hi > 15 || lo < 0 || lo > 15) return std::nullopt;
        int64_t v = (int64_t(hi * 16 + lo) - int64_t(i + 1) - int64_t(game_id)) % 256;
        if (v < 0) v += 256;
        if (i < 4)
            score |= uint32_t(v) << (8 * i);
        else if (i >= 16)
            e.name += char(v);
    }
    e.score = int32_t(score);
    return e;
}

std::string ScoreKey(int32_t game_id) {
    return "\\Software\\Plumwright\\Scores\\" + std::to_string(game_id);
}

std::string RankValueName(int rank) {
    return "Rank" + std::to_string(rank);
}

ScoreEntry ScoreTable::Get(int rank) const {
    if (store_.read) {
        if (std::optional<std::string> v = store_.read(game_id_, rank))
            if (std::optional<ScoreEntry> e = DecodeScoreEntry(*v, game_id_)) return *e;
    }
    return {nobody_, 0};
}

void ScoreTable::Set(int rank, const ScoreEntry& e) const {
    if (store_.write) store_.write(game_id_, rank, EncodeScoreEntry(e, game_id_));
}

std::array<ScoreEntry, kHighscoreRanks> ScoreTable::All() const {
    std::array<ScoreEntry, kHighscoreRanks> all;
    for (int r = 1; r <= kHighscoreRanks; ++r) all[size_t(r - 1)] = Get(r);
    return all;
}

int ScoreTable::Insert(const ScoreEntry& e) const {
    std::array<ScoreEntry, kHighscoreRanks> all = All();
    int rank = 0;
    for (int r = 1; r <= kHighscoreRanks; ++r) {
        if (all[size_t(r - 1)].score < e.score) {
            rank = r;
            break;
        }
    }
    if (rank == 0) return 0;
    for (int r = kHighscoreRanks; r > rank; --r) Set(r, all[size_t(r - 2)]);
    Set(rank, e);
    return rank;
}

void ScoreTable::Clear() const {
    for (int r = 1; r <= kHighscoreRanks; ++r) Set(r, {nobody_, 0});
}

bool HighscoreKey(std::string& name, int32_t key, char character) {
    if (key == 27 || key == 13) return true;
    if (key == 8 || character == 8) {
        if (!name.empty()) name.pop_back();
        return false;
    }
    if (static_cast<unsigned char>(character) >= 32) name += character;
    return false;
}

}  // namespace tb
