#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tb {

// The whole file; false when it cannot be opened or read (a folder cannot be read either).
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& out);
// Writes to a temporary name beside the target and renames it into place, so a failure
// never leaves a half-written file under the target's name.
// Replaces what is there.
bool WriteFileAtomically(const std::string& path, const uint8_t* data, size_t size);
inline bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
    return WriteFileAtomically(path, bytes.data(), bytes.size());
}

}  // namespace tb
