#include "system/binary_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tb {

bool BinaryFile::Open(const std::string& host_path, int mode, bool create) {
    Close();
    int access = mode == 0 ? O_RDONLY : mode == 1 ? O_WRONLY : O_RDWR;
    int fd = ::open(host_path.c_str(), access | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT && create) {
        // A missing file is created in every mode, then opened as asked.
        int created = ::open(host_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (created >= 0) ::close(created);
        fd = ::open(host_path.c_str(), access | O_CLOEXEC);
    }
    if (fd < 0) return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    position_ = 0;
    buffer_size_ = 0;
    return true;
}

bool BinaryFile::Close() {
    if (fd_ < 0) return true;
    bool ok = ::close(fd_) == 0;
    fd_ = -1;
    buffer_size_ = 0;
    return ok;
}

bool BinaryFile::Rewrite() {
    if (fd_ < 0 || ::ftruncate(fd_, 0) != 0) return false;
    position_ = 0;
    buffer_size_ = 0;
    return true;
}

bool BinaryFile::Size(int64_t& out) const {
    struct stat st;
    if (fd_ < 0 || fstat(fd_, &st) != 0) return false;
    out = st.st_size;
    return true;
}

bool BinaryFile::Seek(int64_t position) {
    if (fd_ < 0 || position < 0) return false;
    position_ = position;
    return true;
}

bool BinaryFile::Fill() {
    ssize_t n;
    do n = ::pread(fd_, buffer_, sizeof buffer_, position_);
    while (n < 0 && errno == EINTR);
    if (n <= 0) {
        buffer_size_ = 0;
        return false;
    }
    buffer_start_ = position_;
    buffer_size_ = int(n);
    return true;
}

bool BinaryFile::ReadByte(uint8_t& out) {
    if (fd_ < 0) return false;
    if (position_ < buffer_start_ || position_ >= buffer_start_ + buffer_size_) {
        if (!Fill()) return false;
    }
    out = buffer_[position_ - buffer_start_];
    ++position_;
    return true;
}

bool BinaryFile::WriteByte(uint8_t value) {
    if (fd_ < 0) return false;
    ssize_t n;
    do n = ::pwrite(fd_, &value, 1, position_);
    while (n < 0 && errno == EINTR);
    if (n != 1) return false;
    if (position_ >= buffer_start_ && position_ < buffer_start_ + buffer_size_)
        buffer_[position_ - buffer_start_] = value;
    ++position_;
    return true;
}

}  // namespace tb
