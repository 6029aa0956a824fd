#include "runner/stream.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "graphics/bitmap32.h"
#include "graphics/bmp.h"

namespace tb {

void CStream::ReadBytes(void* out, size_t n) {
    Need(n);
    if (n) std::memcpy(out, data.data() + pos, n);
    pos += n;
}

void CStream::WriteBytes(const void* in, size_t n) {
    if (pos + n > data.size()) data.resize(pos + n);
    if (n) std::memcpy(data.data() + pos, in, n);
    pos += n;
}

int32_t ReadInteger(CStream& s) {
    s.Need(4);
    const uint8_t* p = s.data.data() + s.pos;
    s.pos += 4;
    return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                                uint32_t(p[3]) << 24);
}

double ReadReal(CStream& s) {
    uint64_t bits = 0;
    uint8_t b[8];
    s.ReadBytes(b, 8);
    for (int i = 7; i >= 0; --i) bits = bits << 8 | b[i];
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
}

bool ReadBoolean(CStream& s) {
    return ReadInteger(s) > 0;
}

std::string ReadString(CStream& s) {
    int32_t n = ReadInteger(s);
    if (n <= 0) return {};
    s.Need(size_t(n));
    std::string out(reinterpret_cast<const char*>(s.data.data() + s.pos), size_t(n));
    s.pos += size_t(n);
    return out;
}

int32_t ReadCount(CStream& s, size_t min_record_bytes) {
    int32_t n = ReadInteger(s);
    if (n > 0 && min_record_bytes > 0) s.Need(size_t(n) * min_record_bytes);
    return n;
}

void WriteInteger(CStream& s, int32_t v) {
    uint32_t u = uint32_t(v);
    uint8_t b[4] = {uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24)};
    s.WriteBytes(b, 4);
}

void WriteReal(CStream& s, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    uint8_t b[8];
    for (int i = 0; i < 8; ++i) b[i] = uint8_t(bits >> (8 * i));
    s.WriteBytes(b, 8);
}

void WriteBoolean(CStream& s, bool v) {
    WriteInteger(s, v ? 1 : 0);
}

void WriteString(CStream& s, std::string_view v) {
    WriteInteger(s, int32_t(v.size()));
    s.WriteBytes(v.data(), v.size());
}

// Length-prefixed raw block; a length of 0 or less is an empty block.
static std::pair<const uint8_t*, size_t> ReadBlock(CStream& s) {
    int32_t n = ReadInteger(s);
    size_t len = n > 0 ? size_t(n) : 0;
    s.Need(len);
    const uint8_t* p = s.data.data() + s.pos;
    s.pos += len;
    return {p, len};
}

namespace {

// Inflates one zlib stream into `out` (appending), charging the budget. Grows the output
// geometrically and inflates straight into it, so a block costs one pass plus amortised growth.
void InflateBlock(const uint8_t* in, size_t len, std::vector<uint8_t>& out, InflateBudget* budget) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) throw StreamError("inflate failed to start");
    z.next_in = const_cast<Bytef*>(in);
    size_t fed = 0;
    size_t used = out.size();
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        if (z.avail_in == 0) {
            if (fed == len) break;  // input used up before the stream's end
            size_t take = std::min<size_t>(len - fed, 1u << 30);
            z.next_in = const_cast<Bytef*>(in + fed);
            z.avail_in = uInt(take);
            fed += take;
        }
        if (used == out.size()) {
            size_t grow = std::max<size_t>({size_t(32768), len * 2, out.size()});
            if (budget) {
                if (budget->remaining == 0) {
                    inflateEnd(&z);
                    throw StreamError("compressed data inflates past the load's memory budget");
                }
                grow = std::min<uint64_t>(grow, budget->remaining);
            }
            out.resize(out.size() + grow);
        }
        size_t window = std::min<size_t>(out.size() - used, 1u << 30);
        z.next_out = out.data() + used;
        z.avail_out = uInt(window);
        rc = inflate(&z, Z_NO_FLUSH);
        size_t produced = window - z.avail_out;
        used += produced;
        if (budget) budget->remaining -= produced;
        // Z_BUF_ERROR only means no progress; running out of input ends the loop above.
        if (rc == Z_NEED_DICT || rc == Z_DATA_ERROR || rc == Z_MEM_ERROR || rc == Z_STREAM_ERROR)
            break;
    }
    inflateEnd(&z);
    out.resize(used);
    if (rc != Z_STREAM_END) throw StreamError("compressed block does not inflate");
}

}  // namespace

CStream ReadCompressed(CStream& s) {
    auto [in, len] = ReadBlock(s);
    CStream out;
    out.budget = s.budget;
    if (len == 0) return out;  // writers never store one; read it as empty
    InflateBlock(in, len, out.data, s.budget.get());
    return out;
}

void ReadCompressedInto(CStream& s, void* dst, size_t size) {
    auto [in, len] = ReadBlock(s);
    if (len == 0) {
        if (size != 0) throw StreamError("compressed block is empty");
        return;
    }
    if (size > UINT32_MAX || len > UINT32_MAX) throw StreamError("compressed block too large");
    uint8_t scratch;  // an empty result still needs somewhere to point
    if (size == 0) dst = &scratch;
    if (s.budget) {
        if (s.budget->remaining < size)
            throw StreamError("compressed data inflates past the load's memory budget");
        s.budget->remaining -= size;
    }
    z_stream z{};
    if (inflateInit(&z) != Z_OK) throw StreamError("inflate failed to start");
    z.next_in = const_cast<Bytef*>(in);
    z.avail_in = uInt(len);
    z.next_out = static_cast<Bytef*>(dst);
    z.avail_out = uInt(size == 0 ? 1 : size);
    int rc = inflate(&z, Z_FINISH);
    bool exact = rc == Z_STREAM_END && z.total_out == size;
    inflateEnd(&z);
    if (!exact) throw StreamError("compressed block does not hold the expected bytes");
}

CStream ReadStored(CStream& s) {
    auto [in, len] = ReadBlock(s);
    CStream out(std::vector<uint8_t>(in, in + len));
    out.budget = s.budget;
    return out;
}

std::unique_ptr<CBitmap32> ReadBitmap(CStream& s) {
    if (!ReadBoolean(s)) return nullptr;
    CStream block = ReadCompressed(s);
    auto bmp = std::make_unique<CBitmap32>(DecodeBmp(block.data.data(), block.data.size()));
    if (!bmp->exists) return nullptr;
    return bmp;
}

void WriteCompressed(CStream& s, const uint8_t* bytes, size_t n, int level) {
    uLongf cap = compressBound(uLong(n));
    std::vector<uint8_t> buf(cap);
    if (compress2(buf.data(), &cap, bytes, uLong(n), level) != Z_OK)
        throw StreamError("deflate failed");
    WriteStored(s, buf.data(), cap);
}

void WriteStored(CStream& s, const uint8_t* bytes, size_t n) {
    WriteInteger(s, int32_t(n));
    s.WriteBytes(bytes, n);
}

void WriteBitmap(CStream& s, const CBitmap32* bitmap) {
    bool present = bitmap && bitmap->exists;
    WriteBoolean(s, present);
    if (!present) return;
    std::vector<uint8_t> file = EncodeBmp(*bitmap);
    WriteCompressed(s, file.data(), file.size());
}

std::string ToHex(const CStream& s) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.resize(s.data.size() * 2);
    for (size_t i = 0; i < s.data.size(); ++i) {
        out[2 * i] = kDigits[s.data[i] >> 4];
        out[2 * i + 1] = kDigits[s.data[i] & 15];
    }
    return out;
}

static int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;  // not a digit: counts as 0, like a number conversion that finds nothing
}

void FromHex(CStream& s, std::string_view text) {
    s.data.clear();
    s.data.reserve(text.size() / 2);
    for (size_t i = 0; i + 1 < text.size(); i += 2)
        s.data.push_back(uint8_t(HexValue(text[i]) << 4 | HexValue(text[i + 1])));
    s.pos = 0;
}

// The offset only matters modulo 256; a byte-sized counter lets the loops vectorise.
void UnshiftFile(CStream& s) {
    uint8_t* p = s.data.data();
    uint8_t k = 0;
    for (size_t i = 0, n = s.data.size(); i < n; ++i, ++k) p[i] = uint8_t(p[i] + k);
}

void ShiftFile(CStream& s) {
    uint8_t* p = s.data.data();
    uint8_t k = 0;
    for (size_t i = 0, n = s.data.size(); i < n; ++i, ++k) p[i] = uint8_t(p[i] - k);
}

DescrambleTables MakeDescrambleTable(int32_t seed) {
    int64_t a = seed % 250 + 6;
    if (a < 0) a += 256;
    int64_t b = seed / 250;
    if (b < 0) b += 256;
    DescrambleTables t;
    uint8_t* e = t.encode;
    for (int i = 0; i < 256; ++i) e[i] = uint8_t(i);
    for (int64_t i = 1; i <= 10000; ++i) {
        // Negative products only come from seeds no writer produces; wrapping keeps j in range.
        int64_t r = (i * a + b) % 254;
        if (r < 0) r += 254;
        int64_t j = r + 1;
        std::swap(e[j], e[j + 1]);
    }
    t.decode[0] = 0;
    for (int i = 1; i < 256; ++i) t.decode[e[i]] = uint8_t(i);
    return t;
}

static std::pair<size_t, size_t> Range(const CStream& s, int64_t start, int64_t length) {
    size_t size = s.data.size();
    size_t from = start < 0 ? 0 : std::min<size_t>(size_t(start), size);
    size_t to = length <= 0 ? size : std::min<size_t>(size, from + size_t(length));
    return {from, to};
}

void DescrambleSubstitute(CStream& s, int32_t seed, int64_t start, int64_t length) {
    DescrambleTables t = MakeDescrambleTable(seed);
    auto [from, to] = Range(s, start, length);
    for (size_t k = from; k < to; ++k) s.data[k] = t.decode[s.data[k]];
}

void DescrambleShifted(CStream& s, int32_t seed, int64_t start, int64_t length) {
    DescrambleTables t = MakeDescrambleTable(seed);
    auto [from, to] = Range(s, start, length);
    uint8_t* p = s.data.data();
    uint8_t k = uint8_t(from);
    for (size_t i = from; i < to; ++i, ++k) p[i] = uint8_t(t.decode[p[i]] - k);
}

void ScrambleSubstitute(CStream& s, int32_t seed, int64_t start, int64_t length) {
    DescrambleTables t = MakeDescrambleTable(seed);
    auto [from, to] = Range(s, start, length);
    for (size_t k = from; k < to; ++k) s.data[k] = t.encode[s.data[k]];
}

void ScrambleShifted(CStream& s, int32_t seed, int64_t start, int64_t length) {
    DescrambleTables t = MakeDescrambleTable(seed);
    auto [from, to] = Range(s, start, length);
    for (size_t k = from; k < to; ++k) s.data[k] = t.encode[uint8_t(s.data[k] + k)];
}

}  // namespace tb
