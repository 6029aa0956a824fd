#include "runner/temp_dir.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "system/paths.h"

namespace tb {

namespace fs = std::filesystem;

namespace {

// Draws before a name is given up; a random source stuck on taken names must not hang us.
constexpr int kMaxDraws = 10000;

bool Exists(const std::string& path) {
    std::error_code ec;
    return fs::symlink_status(path, ec).type() != fs::file_type::not_found;
}

bool UnderPath(const std::string& dir, const std::string& root) {
    if (dir.compare(0, root.size(), root) != 0) return false;
    return dir.size() == root.size() || dir[root.size()] == '/' || root.back() == '/';
}

// Deletes the content of `dir` depth first without following links; files are deleted only
// inside the temporary directory `root`.
void CleanDirectory(const std::string& dir, const std::string& root) {
    std::error_code ec;
    bool may_delete = UnderPath(dir, root);
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string entry = it->path().string();
        fs::file_status st = it->symlink_status(ec);
        if (ec) continue;
        if (st.type() == fs::file_type::directory) {
            CleanDirectory(entry, root);
            ::rmdir(entry.c_str());
        } else if (may_delete) {
            ::unlink(entry.c_str());
        }
    }
}

constexpr const char* kPrefix = "pw_ttt_";
// A run's directory carries the sticky bit once its run holds the lock on it; a directory
// without it belongs to no run that locks (or was caught before locking) and is left alone.
constexpr mode_t kMarker = S_ISVTX;

// Removes the directories of runs that ended without removing theirs (killed, crashed): ours
// by owner and marker, and locked by no process.
void RemoveLeftovers(const std::string& base) {
    std::error_code ec;
    for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.compare(0, 7, kPrefix) != 0) continue;
        const std::string path = it->path().string();
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
            (st.st_mode & kMarker) == 0)
            continue;
        const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            CleanDirectory(path, path);
            ::rmdir(path.c_str());
        }
        ::close(fd);
    }
}

}  // namespace

TempDirectory::TempDirectory(Random random, std::function<void(std::string_view)> on_failure,
                             Environment getenv)
    : random_(std::move(random)) {
    if (!getenv) {
        getenv = [](const char* name) -> std::optional<std::string> {
            const char* v = std::getenv(name);
            if (!v) return std::nullopt;
            return std::string(v);
        };
    }
    std::string base = "/tmp";
    for (const char* name : {"temp", "tmp", "TMPDIR"}) {
        std::optional<std::string> v = getenv(name);
        if (v && !v->empty()) {
            base = *v;
            break;
        }
    }
    RemoveLeftovers(base);
    if (TryBase(base) || TryBase("/tmp")) return;
    std::error_code ec;
    std::string cwd = fs::current_path(ec).string();
    if (!ec && TryBase(cwd)) return;
    if (on_failure) on_failure(kFailureMessage);
}

bool TempDirectory::TryBase(const std::string& base) {
    base_ = base;
    std::string candidate;
    int draws = 0;
    do {
        if (draws++ == kMaxDraws) return false;
        candidate = JoinPath(base, "pw_ttt_" + std::to_string(random_(100000)));
    } while (Exists(candidate));
    path_ = candidate;
    std::error_code ec;
    fs::create_directories(base, ec);
    // Private to this user, and exclusive: a directory someone made meanwhile is not ours.
    created_ = ::mkdir(path_.c_str(), 0700) == 0;
    if (created_) {
        // Held for the life of the run: the next start knows a live directory by its lock.
        lock_ = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (lock_ >= 0 && ::flock(lock_, LOCK_EX | LOCK_NB) == 0)
            ::chmod(path_.c_str(), 0700 | kMarker);
    }
    return created_;
}

TempDirectory::~TempDirectory() {
    if (created_) {
        std::error_code ec;
        if (fs::symlink_status(path_, ec).type() == fs::file_type::directory) {
            CleanDirectory(path_, path_);
            ::rmdir(path_.c_str());
        }
    }
    if (lock_ >= 0) ::close(lock_);
}

std::string TempDirectory::TempFileName(std::string_view extension) const {
    for (int draws = 0; draws < kMaxDraws; ++draws) {
        std::string name =
            JoinPath(path_, "a" + std::to_string(random_(100000)) + std::string(extension));
        if (!Exists(name)) return name;
    }
    return {};
}

}  // namespace tb
