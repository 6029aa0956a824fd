#include "system/file_bytes.h"

#include <sys/stat.h>
#include <unistd.h>

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

bool WriteFileAtomically(const std::string& path, const uint8_t* data, size_t size) {
    std::string tmp = path + ".tmp" + std::to_string(getpid());
    {
        File f(fopen(tmp.c_str(), "wb"));
        if (!f) return false;
        bool ok = (size == 0 || fwrite(data, 1, size, f.get()) == size) && fflush(f.get()) == 0;
        if (!ok) {
            f.reset();
            std::remove(tmp.c_str());
            return false;
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

}  // namespace tb
