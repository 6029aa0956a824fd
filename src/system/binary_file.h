// One binary file of the script functions, read and written a byte at a time at its own
// position.
#pragma once

#include <cstdint>
#include <string>

namespace tb {

class BinaryFile {
  public:
    BinaryFile() = default;
    ~BinaryFile() { Close(); }
    BinaryFile(const BinaryFile&) = delete;
    BinaryFile& operator=(const BinaryFile&) = delete;

    // mode 0 reads, 1 writes, anything else both; a missing file is created empty when
    // `create` allows. The position starts at 0.
    bool Open(const std::string& host_path, int mode, bool create = true);
    bool Close();
    bool IsOpen() const { return fd_ >= 0; }

    bool Rewrite();  // truncates to 0 bytes, position 0
    bool Size(int64_t& out) const;
    int64_t Position() const { return position_; }
    bool Seek(int64_t position);
    // False at the end of the file, or when reading fails (a file opened for writing only).
    bool ReadByte(uint8_t& out);
    bool WriteByte(uint8_t value);

  private:
    // Reads are served from a small buffer of the bytes at `buffer_start`.
    bool Fill();

    int fd_ = -1;
    int64_t position_ = 0;
    int64_t buffer_start_ = 0;
    int buffer_size_ = 0;
    uint8_t buffer_[4096];
};

}  // namespace tb
