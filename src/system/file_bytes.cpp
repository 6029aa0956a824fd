#include "system/file_bytes.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace tb {

namespace {
struct FileCloser {
    void operator()(FILE* f) const { fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;
}  // namespace

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& out) {
    out.clear();
    // Opened without waiting and checked before any read: a FIFO or a device named by a game
    // would otherwise block the runner for ever (the open itself waits for a FIFO's writer).
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    File f(fdopen(fd, "rb"));
    if (!f) {
        ::close(fd);
        return false;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    out.resize(size_t(st.st_size));
    size_t got = out.empty() ? 0 : fread(out.data(), 1, out.size(), f.get());
    if (got != out.size() || ferror(f.get())) return false;
    return true;
}

namespace {

constexpr const char* kPart = ".part";

// The folder of a path and its last component.
void SplitPath(const std::string& path, std::string& dir, std::string& name) {
    const size_t slash = path.rfind('/');
    dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    name = slash == std::string::npos ? path : path.substr(slash + 1);
}

bool SyncFolder(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return ok;
}

// "NAME.partPID_N" of a process that no longer runs (or of this one, which writes one file
// at a time): left by a kill or a crash during a write.
void RemoveStaleParts(const std::string& dir, const std::string& name) {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    const std::string prefix = name + kPart;
    while (const dirent* e = ::readdir(d)) {
        const char* entry = e->d_name;
        if (std::strncmp(entry, prefix.c_str(), prefix.size()) != 0) continue;
        char* end = nullptr;
        const long pid = std::strtol(entry + prefix.size(), &end, 10);
        if (end == entry + prefix.size() || *end != '_' || pid <= 0) continue;
        if (pid != long(::getpid()) && !(::kill(pid_t(pid), 0) != 0 && errno == ESRCH)) continue;
        ::unlinkat(::dirfd(d), entry, 0);
    }
    ::closedir(d);
}

}  // namespace

bool WriteFileAtomically(const std::string& host_path, const uint8_t* data, size_t size,
                         bool durable) {
    if (host_path.empty() || host_path.back() == '/') return false;
    std::string dir, name;
    SplitPath(host_path, dir, name);
    RemoveStaleParts(dir, name);
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = host_path + kPart + std::to_string(::getpid()) + "_" + std::to_string(attempt);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    bool ok = true;
    size_t done = 0;
    while (ok && done < size) {
        ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            ok = false;
        else
            done += size_t(n);
    }
    // The data reaches the disk before the name points at it.
    if (ok && durable && ::fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && durable && !SyncFolder(dir)) ok = false;
    if (ok && ::rename(temp.c_str(), host_path.c_str()) != 0) ok = false;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // The rename itself reaches the disk: until then a power cut may bring back the old file.
    if (durable) SyncFolder(dir);
    return true;
}

}  // namespace tb
