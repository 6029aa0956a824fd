#include "multiplayer/message.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace tb {

namespace {

void PutInt32(std::vector<uint8_t>& out, int32_t v) {
    const uint32_t u = uint32_t(v);
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(u >> (8 * i)));
}

int32_t GetInt32(const uint8_t* p) {
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                   uint32_t(p[3]) << 24);
}

}  // namespace

std::vector<uint8_t> EncodeMessage(const TMess& m) {
    std::vector<uint8_t> out;
    out.push_back(m.kind);
    PutInt32(out, m.id);
    if (m.value.IsString()) {
        const std::string_view text = m.value.text.view();
        const size_t n = std::min(text.size(), kMaxMessageText);
        out.push_back(1);
        PutInt32(out, int32_t(n));
        out.insert(out.end(), text.begin(), text.begin() + std::ptrdiff_t(n));
    } else {
        out.push_back(0);
        uint64_t bits;
        std::memcpy(&bits, &m.value.real, 8);
        for (int i = 0; i < 8; ++i) out.push_back(uint8_t(bits >> (8 * i)));
    }
    return out;
}

bool DecodeMessage(const uint8_t* data, size_t size, TMess& m) {
    if (size < 6) return false;
    const uint8_t kind = data[0];
    const int32_t id = GetInt32(data + 1);
    if (data[5] != 0) {
        if (size < 10) return false;
        const int32_t declared = GetInt32(data + 6);
        if (declared < 0) return false;
        const size_t n = std::min(size_t(declared), kMaxMessageText);
        if (size - 10 < n) return false;
        m.value.SetString(RString(std::string_view(reinterpret_cast<const char*>(data + 10), n)));
    } else {
        if (size < 14) return false;
        uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) bits |= uint64_t(data[6 + i]) << (8 * i);
        double d;
        std::memcpy(&d, &bits, 8);
        m.value.SetReal(d);
    }
    m.kind = kind;
    m.id = id;
    return true;
}

}  // namespace tb
