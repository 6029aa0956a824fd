#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tb {

// The whole file; false when it cannot be opened or read (a folder cannot be read either).
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& out);
// Writes to a temporary name beside the target ("NAME.partPID_N") and renames it into place,
// so a failure never leaves a half-written file under the target's name. Replaces what is
// there. Parts of the same target left by dead processes are removed first. `durable` also
// flushes the file and its folder to disk around the rename, so that a power cut keeps
// either the old file or the new one.
bool WriteFileAtomically(const std::string& path, const uint8_t* data, size_t size,
                         bool durable = false);
inline bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes,
                                bool durable = false) {
    return WriteFileAtomically(path, bytes.data(), bytes.size(), durable);
}

}  // namespace tb
