// One multiplayer message and its payload on the wire (little-endian):
//   kind u8 (1 message, 0 shared-data write), id i32, is_string u8,
//   then a real as an IEEE double, or a length i32 (at most 32000) and that many bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "script/value.h"

namespace tb {

constexpr size_t kMaxMessageText = 32000;
constexpr uint8_t kKindSharedData = 0;
constexpr uint8_t kKindMessage = 1;

struct TMess {
    int32_t player = 0;  // received: the sender; to send: the addressee (0 all)
    uint8_t kind = kKindMessage;
    int32_t id = 0;
    RValue value;
};

// The payload of `m` (the player is not part of it). Longer texts are cut to 32000 bytes.
std::vector<uint8_t> EncodeMessage(const TMess& m);
// Reads a payload into `m` (player untouched). False, with `m` untouched, for a payload that
// is too short for what its header promises; a longer text length than the limit is cut.
bool DecodeMessage(const uint8_t* data, size_t size, TMess& m);

}  // namespace tb
