#include "system/file_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
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
    File f(fopen(path.c_str(), "rb"));
    if (!f) return false;
    struct stat st;
    if (fstat(fileno(f.get()), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    out.resize(size_t(st.st_size));
    size_t got = out.empty() ? 0 : fread(out.data(), 1, out.size(), f.get());
    if (got != out.size() || ferror(f.get())) return false;
    return true;
}

bool WriteFileAtomically(const std::string& host_path, const uint8_t* data, size_t size) {
    if (host_path.empty() || host_path.back() == '/') return false;
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = host_path + ".part" + std::to_string(::getpid()) + "_" + std::to_string(attempt);
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
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(temp.c_str(), host_path.c_str()) != 0) ok = false;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

}  // namespace tb
