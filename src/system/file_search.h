// Directory search with attributes, and file attributes, as the original platform reported
// them. On this platform: read-only = not writable by this user, hidden = a name starting
// with ".", system = neither a regular file nor a folder (devices, sockets, pipes), volume
// label = never, folder, and archive = every regular file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

enum FileAttribute : int32_t {
    kAttrReadOnly = 1,
    kAttrHidden = 2,
    kAttrSystem = 4,
    kAttrVolume = 8,
    kAttrDirectory = 16,
    kAttrArchive = 32,
};

// The attributes of a host file, or -1 when nothing is there.
int32_t HostFileAttributes(const std::string& host_path);

// Wildcards "*" and "?", letters of any case; a pattern ending in ".*" also matches names
// without an extension.
bool MatchesFileMask(std::string_view name, std::string_view pattern);

class DirectorySearch {
  public:
    // Ends a running search and starts one: the mask is a game path whose last part may have
    // wildcards. Files with the hidden, system, volume or folder attribute are only found when
    // those bits are asked for. The first name, or "" when none.
    std::string First(std::string_view mask, int32_t attributes);
    std::string Next();
    void Close();

  private:
    std::vector<std::string> names_;
    size_t next_ = 0;
};

}  // namespace tb
