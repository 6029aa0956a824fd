#include "system/writable_folder.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace tb {

bool PrepareWritableFolder(const std::string& dir, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) {
        error = ec.message();
        return false;
    }
    if (!fs::is_directory(dir, ec)) {
        error = "not a folder";
        return false;
    }
    // Permissions alone do not tell (read-only mounts, full disks, ACLs): write a probe file.
    std::string probe = (fs::path(dir) / ".tamberlo_probe_XXXXXX").string();
    std::vector<char> name(probe.begin(), probe.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    const bool wrote = ::write(fd, "x", 1) == 1;
    const int saved = errno;
    ::close(fd);
    ::unlink(name.data());
    if (!wrote) {
        error = std::strerror(saved);
        return false;
    }
    return true;
}

}  // namespace tb
