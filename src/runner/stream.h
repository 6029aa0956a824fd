// In-memory byte stream and the primitive encodings of game files, saved games and the
// text form of data structures. All values are little-endian with no padding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

// Raised by every read that would go past the end of a stream, and by a compressed block
// that does not inflate cleanly. The load sequence turns it into its read-failure message.
struct StreamError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Bytes that all compressed blocks of one load may inflate to, together. It stops a small
// malformed file from inflating nested blocks into more memory than the machine has.
struct InflateBudget {
    uint64_t remaining;
};

class CBitmap32;

class CStream {
  public:
    CStream() = default;
    explicit CStream(std::vector<uint8_t> bytes) : data(std::move(bytes)) {}

    size_t Size() const { return data.size(); }
    size_t Remaining() const { return pos < data.size() ? data.size() - pos : 0; }
    // Throws StreamError unless n more bytes can be read at the position.
    void Need(size_t n) const {
        if (n > Remaining()) throw StreamError("read past the end of the stream");
    }
    void ReadBytes(void* out, size_t n);
    void WriteBytes(const void* in, size_t n);

    std::vector<uint8_t> data;
    size_t pos = 0;
    // Shared by the streams inflated from this one; null means no limit.
    std::shared_ptr<InflateBudget> budget;
};

int32_t ReadInteger(CStream& s);
double ReadReal(CStream& s);
bool ReadBoolean(CStream& s);
std::string ReadString(CStream& s);
// Reads a count that announces `min_record_bytes` or more per element; fails at once when
// the stream cannot hold that many, so a corrupt count never drives an allocation.
int32_t ReadCount(CStream& s, size_t min_record_bytes);

void WriteInteger(CStream& s, int32_t v);
void WriteReal(CStream& s, double v);
void WriteBoolean(CStream& s, bool v);
void WriteString(CStream& s, std::string_view v);

// Integer length L, then L bytes of one zlib stream. The result starts at position 0 and
// shares the source stream's inflate budget.
CStream ReadCompressed(CStream& s);
// A compressed block that must inflate to exactly `size` bytes, straight into `dst`.
void ReadCompressedInto(CStream& s, void* dst, size_t size);
// Integer length L, then L raw bytes.
CStream ReadStored(CStream& s);
// Boolean, then (when true) a compressed block holding a BMP file. A picture that does not
// decode is silently absent.
std::unique_ptr<CBitmap32> ReadBitmap(CStream& s);

// Writing directions used by the pack tool and saved games.
void WriteCompressed(CStream& s, const uint8_t* bytes, size_t n, int level = 6);
inline void WriteCompressed(CStream& s, const CStream& block, int level = 6) {
    WriteCompressed(s, block.data.data(), block.data.size(), level);
}
void WriteStored(CStream& s, const uint8_t* bytes, size_t n);
// Writes the boolean and, for a present bitmap, the compressed BMP file.
void WriteBitmap(CStream& s, const CBitmap32* bitmap);

std::string ToHex(const CStream& s);
void FromHex(CStream& s, std::string_view text);

// Whole-file pass: byte k becomes (byte + k) mod 256.
void UnshiftFile(CStream& s);
// Inverse of UnshiftFile, for writers.
void ShiftFile(CStream& s);

struct DescrambleTables {
    uint8_t decode[256];
    uint8_t encode[256];
};
DescrambleTables MakeDescrambleTable(int32_t seed);
// Both work in place from absolute offset `start` for `length` bytes (0 or less: to the end)
// and leave the position alone.
void DescrambleSubstitute(CStream& s, int32_t seed, int64_t start, int64_t length);
void DescrambleShifted(CStream& s, int32_t seed, int64_t start, int64_t length);
// The writing directions of the two operations above.
void ScrambleSubstitute(CStream& s, int32_t seed, int64_t start, int64_t length);
void ScrambleShifted(CStream& s, int32_t seed, int64_t start, int64_t length);

}  // namespace tb
