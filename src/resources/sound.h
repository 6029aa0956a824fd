// Sound resources: the bytes of a sound file and how to play it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runner/stream.h"

namespace tb {

class CSound {
  public:
    static constexpr int32_t kVersion = 600;

    int32_t Kind = -1;     // 0 normal, 1 background music, 2 3D, 3 multimedia
    std::string FileType;  // extension of the source file, with its dot
    std::string FileName;  // source file name without folder
    bool has_data = false;
    std::vector<uint8_t> data;  // the complete sound file when has_data
    int32_t Effects = 0;        // se_ bit set
    double Volume = 1.0;
    double Pan = 0.0;
    bool Preload = true;
    // Run-time state owned by the sound system.
    int32_t sample = -1;
    std::string temporary_file;

    bool operator==(const CSound&) const = default;

    bool LoadFromStream(CStream& s);
    void WriteToStream(CStream& s) const;
    // Drops data and sample, clears the temporary file name and restores the defaults.
    void Reset() { *this = CSound(); }
};

}  // namespace tb
