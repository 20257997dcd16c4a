// Texts inside tool settings blocks are stored with a length in front of the
// bytes.  Two forms occur: a plain counted text is exactly its n bytes; a
// zero-ended counted text stops at the first zero byte among its n bytes.
// The length is a signed 32-bit or an unsigned 16-bit word depending on the
// block.  A length that is negative or larger than what is left fails the
// reader (and yields ""), so no decoder can read past its settings bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "container/le_codec.h"

namespace qrd {

enum class TextEnd { Counted, ZeroEnded };

inline std::string ReadTextBytes(LeReader& r, size_t n, TextEnd end) {
    if (!r.has(n)) {
        r.Fail();
        return std::string();
    }
    const char* p = reinterpret_cast<const char*>(r.cursor());
    size_t len = n;
    if (end == TextEnd::ZeroEnded) {
        len = 0;
        while (len < n && p[len] != '\0') ++len;
    }
    std::string text(p, len);
    r.Skip(n);
    return text;
}

// i32 length, then the bytes.
inline std::string ReadTextI32(LeReader& r, TextEnd end) {
    const int32_t n = r.I32();
    if (!r.ok() || n < 0) {
        r.Fail();
        return std::string();
    }
    return ReadTextBytes(r, static_cast<size_t>(n), end);
}

// u16 length, then the bytes.
inline std::string ReadTextU16(LeReader& r, TextEnd end) {
    const uint16_t n = r.U16();
    if (!r.ok()) return std::string();
    return ReadTextBytes(r, n, end);
}

// A count of elements that each take at least minElementSize bytes: fails the
// reader unless that many elements could still follow, so a damaged count
// can neither drive a long loop nor a large reservation.
inline bool CountFits(LeReader& r, uint64_t count, size_t minElementSize) {
    if (!r.ok() || count > r.remaining() / (minElementSize ? minElementSize : 1)) {
        r.Fail();
        return false;
    }
    return true;
}

// Writers for the same two forms.  A zero-ended text is written with its
// terminating zero counted in the length, as the recording application does.
inline void WriteTextI32(LeWriter& w, const std::string& text, TextEnd end) {
    const bool zero = end == TextEnd::ZeroEnded;
    w.I32(static_cast<int32_t>(text.size() + (zero ? 1 : 0)));
    w.Bytes(text.data(), text.size());
    if (zero) w.U8(0);
}
inline void WriteTextU16(LeWriter& w, const std::string& text, TextEnd end) {
    const bool zero = end == TextEnd::ZeroEnded;
    w.U16(static_cast<uint16_t>(text.size() + (zero ? 1 : 0)));
    w.Bytes(text.data(), text.size());
    if (zero) w.U8(0);
}

}  // namespace qrd
