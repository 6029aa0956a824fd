#include "system/stop_signals.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>

namespace tb {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
// Deeper trees are left to the leftover sweep of the next start.
constexpr int kMaxDepth = 24;

std::atomic<int> g_stop_signal{0};
char g_cleanup_dir[4096];

struct LinuxDirent {
    uint64_t ino;
    int64_t off;
    unsigned short reclen;
    unsigned char type;
    char name[1];
};

bool Dots(const char* name) {
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

// Empties the directory open as `fd` (closed here).
bool EmptyDirectory(int fd, int depth) {
    bool ok = true;
    alignas(8) char buffer[2048];
    for (;;) {
        const long n = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer);
        if (n <= 0) {
            ok = ok && n == 0;
            break;
        }
        for (long at = 0; at < n;) {
            const auto* d = reinterpret_cast<const LinuxDirent*>(buffer + at);
            at += d->reclen;
            if (Dots(d->name)) continue;
            bool dir = d->type == DT_DIR;
            if (d->type == DT_UNKNOWN) {
                struct stat st;
                dir = ::fstatat(fd, d->name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
            }
            if (dir) {
                const int sub =
                    depth < kMaxDepth
                        ? ::openat(fd, d->name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                        : -1;
                if (sub < 0 || !EmptyDirectory(sub, depth + 1) ||
                    ::unlinkat(fd, d->name, AT_REMOVEDIR) != 0)
                    ok = false;
            } else if (::unlinkat(fd, d->name, 0) != 0) {
                ok = false;
            }
        }
    }
    ::close(fd);
    return ok;
}

void OnStopSignal(int sig) {
    int expected = 0;
    if (g_stop_signal.compare_exchange_strong(expected, sig)) return;
    // The second request: the run did not reach a step boundary (or the person insists).
    if (g_cleanup_dir[0]) RemoveTreeSignalSafe(g_cleanup_dir);
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

}  // namespace

bool RemoveTreeSignalSafe(const char* path) {
    const int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    const bool emptied = EmptyDirectory(fd, 0);
    return ::rmdir(path) == 0 && emptied;
}

void InstallStopSignals(const std::string& cleanup_dir) {
    if (cleanup_dir.size() < sizeof g_cleanup_dir)
        std::memcpy(g_cleanup_dir, cleanup_dir.c_str(), cleanup_dir.size() + 1);
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    for (int s : kSignals) sigaddset(&sa.sa_mask, s);
    sa.sa_flags = SA_RESTART;
    for (int s : kSignals) ::sigaction(s, &sa, nullptr);
}

int StopSignal() {
    return g_stop_signal.load();
}

void FinishStopSignal() {
    const int sig = g_stop_signal.load();
    if (sig == 0) return;
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

}  // namespace tb
