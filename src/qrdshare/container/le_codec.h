// Little-endian field access for QRD records.
//
// Every record of a QRD recording is parsed through LeReader (a bounds-checked
// cursor over bytes already read from the file) or through the at-offset
// helpers below for records that are kept as raw byte images, and written
// through LeWriter.  A read past the end never touches memory outside the
// buffer: it yields zeros and marks the reader as failed, so a caller checks
// ok() once after a group of fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace qrd {

// ---- fixed-offset access to record images --------------------------------
// The caller guarantees off + width <= size of the image; images are
// fixed-size arrays whose sizes are static_asserted next to their layouts.
inline uint16_t GetU16(const uint8_t* p, size_t off) {
    return static_cast<uint16_t>(p[off] | (p[off + 1] << 8));
}
inline uint32_t GetU32(const uint8_t* p, size_t off) {
    return static_cast<uint32_t>(p[off]) | (static_cast<uint32_t>(p[off + 1]) << 8) |
           (static_cast<uint32_t>(p[off + 2]) << 16) | (static_cast<uint32_t>(p[off + 3]) << 24);
}
inline uint64_t GetU64(const uint8_t* p, size_t off) {
    return static_cast<uint64_t>(GetU32(p, off)) | (static_cast<uint64_t>(GetU32(p, off + 4)) << 32);
}
inline int16_t GetI16(const uint8_t* p, size_t off) { return static_cast<int16_t>(GetU16(p, off)); }
inline int32_t GetI32(const uint8_t* p, size_t off) { return static_cast<int32_t>(GetU32(p, off)); }
inline int64_t GetI64(const uint8_t* p, size_t off) { return static_cast<int64_t>(GetU64(p, off)); }
inline float GetF32(const uint8_t* p, size_t off) {
    uint32_t u = GetU32(p, off);
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}
inline double GetF64(const uint8_t* p, size_t off) {
    uint64_t u = GetU64(p, off);
    double d;
    std::memcpy(&d, &u, sizeof d);
    return d;
}

inline void PutU16(uint8_t* p, size_t off, uint16_t v) {
    p[off] = static_cast<uint8_t>(v);
    p[off + 1] = static_cast<uint8_t>(v >> 8);
}
inline void PutU32(uint8_t* p, size_t off, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[off + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutU64(uint8_t* p, size_t off, uint64_t v) {
    for (int i = 0; i < 8; ++i) p[off + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutI16(uint8_t* p, size_t off, int16_t v) { PutU16(p, off, static_cast<uint16_t>(v)); }
inline void PutI32(uint8_t* p, size_t off, int32_t v) { PutU32(p, off, static_cast<uint32_t>(v)); }
inline void PutF32(uint8_t* p, size_t off, float v) {
    uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    PutU32(p, off, u);
}
inline void PutF64(uint8_t* p, size_t off, double v) {
    uint64_t u;
    std::memcpy(&u, &v, sizeof u);
    PutU64(p, off, u);
}

// Text kept in a fixed-size field: the characters up to the first NUL, never
// more than the field holds (a field without NUL yields all its bytes).
inline std::string GetText(const uint8_t* p, size_t off, size_t width) {
    const char* s = reinterpret_cast<const char*>(p + off);
    size_t n = 0;
    while (n < width && s[n] != '\0') ++n;
    return std::string(s, n);
}
// Writes text into a fixed-size field, cut to width - 1 characters, NUL-padded.
inline void PutText(uint8_t* p, size_t off, size_t width, const std::string& text) {
    if (width == 0) return;
    size_t n = text.size() < width - 1 ? text.size() : width - 1;
    std::memcpy(p + off, text.data(), n);
    std::memset(p + off + n, 0, width - n);
}

// ---- sequential reader ---------------------------------------------------
class LeReader {
public:
    LeReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    explicit LeReader(const std::vector<uint8_t>& v) : data_(v.data()), size_(v.size()) {}

    bool ok() const { return ok_; }
    size_t pos() const { return pos_; }
    size_t size() const { return size_; }
    size_t remaining() const { return pos_ <= size_ ? size_ - pos_ : 0; }
    const uint8_t* cursor() const { return data_ + pos_; }

    // True (and the cursor unchanged) when n more bytes are available.
    bool has(size_t n) const { return ok_ && n <= remaining(); }

    uint8_t U8() { return take(1) ? data_[pos_ - 1] : 0; }
    uint16_t U16() { return take(2) ? GetU16(data_, pos_ - 2) : 0; }
    uint32_t U32() { return take(4) ? GetU32(data_, pos_ - 4) : 0; }
    uint64_t U64() { return take(8) ? GetU64(data_, pos_ - 8) : 0; }
    int16_t I16() { return static_cast<int16_t>(U16()); }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    int64_t I64() { return static_cast<int64_t>(U64()); }
    float F32() { return take(4) ? GetF32(data_, pos_ - 4) : 0.0f; }
    double F64() { return take(8) ? GetF64(data_, pos_ - 8) : 0.0; }

    // Copies n bytes; on overrun the destination is zero-filled.
    bool Bytes(void* dst, size_t n) {
        if (!take(n)) {
            if (n) std::memset(dst, 0, n);
            return false;
        }
        if (n) std::memcpy(dst, data_ + pos_ - n, n);
        return true;
    }
    // A fixed-size text field of width bytes, up to its first NUL.
    std::string Text(size_t width) {
        if (!take(width)) return std::string();
        return GetText(data_, pos_ - width, width);
    }
    bool Skip(size_t n) { return take(n); }
    void Fail() { ok_ = false; }

private:
    bool take(size_t n) {
        if (!ok_ || n > remaining()) {
            ok_ = false;
            return false;
        }
        pos_ += n;
        return true;
    }

    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

// ---- sequential writer ---------------------------------------------------
class LeWriter {
public:
    explicit LeWriter(std::vector<uint8_t>& out) : out_(out) {}

    void U8(uint8_t v) { out_.push_back(v); }
    void U16(uint16_t v) { put(v, 2); }
    void U32(uint32_t v) { put(v, 4); }
    void U64(uint64_t v) { put(v, 8); }
    void I16(int16_t v) { U16(static_cast<uint16_t>(v)); }
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void I64(int64_t v) { U64(static_cast<uint64_t>(v)); }
    void F32(float v) {
        uint32_t u;
        std::memcpy(&u, &v, 4);
        U32(u);
    }
    void F64(double v) {
        uint64_t u;
        std::memcpy(&u, &v, 8);
        U64(u);
    }
    void Bytes(const void* src, size_t n) {
        const uint8_t* b = static_cast<const uint8_t*>(src);
        out_.insert(out_.end(), b, b + n);
    }
    void Zeros(size_t n) { out_.insert(out_.end(), n, 0); }
    // Fixed-size text field: cut to width - 1 characters, NUL-padded.
    void Text(const std::string& s, size_t width) {
        size_t at = out_.size();
        out_.resize(at + width, 0);
        PutText(out_.data(), at, width, s);
    }
    // An 8-byte block tag, blank-padded (or cut) to 8 characters.
    void Tag(const char* tag) {
        char t[8];
        std::memset(t, ' ', 8);
        for (size_t i = 0; i < 8 && tag[i]; ++i) t[i] = tag[i];
        Bytes(t, 8);
    }
    size_t size() const { return out_.size(); }
    std::vector<uint8_t>& buffer() { return out_; }

private:
    void put(uint64_t x, size_t n) {
        // Serialise byte by byte so the result is little-endian on any host.
        for (size_t i = 0; i < n; ++i) out_.push_back(static_cast<uint8_t>(x >> (8 * i)));
    }
    std::vector<uint8_t>& out_;
};

}  // namespace qrd
