// Little-endian field access for MAP records.
//
// Every byte of a MAP recording that the reader interprets goes through
// ByteReader: a view of one record (or one block read back from disk) that
// knows its own length.  A field that does not lie wholly inside the view
// reads as zero, as if the record were padded with zero bytes; callers that
// must refuse a short record ask fits() first.  Nothing here can touch memory
// outside the bytes it was given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace mapshare {

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    size_t size() const { return size_; }
    const uint8_t* data() const { return data_; }

    // True when width bytes starting at offset lie inside the view.
    bool fits(size_t offset, size_t width) const {
        return offset <= size_ && width <= size_ - offset;
    }

    uint8_t u8(size_t offset) const { return fits(offset, 1) ? data_[offset] : 0; }
    int8_t i8(size_t offset) const { return static_cast<int8_t>(u8(offset)); }
    uint16_t u16(size_t offset) const {
        if (!fits(offset, 2)) return 0;
        return static_cast<uint16_t>(data_[offset] | (data_[offset + 1] << 8));
    }
    int16_t i16(size_t offset) const { return static_cast<int16_t>(u16(offset)); }
    uint32_t u32(size_t offset) const {
        if (!fits(offset, 4)) return 0;
        return static_cast<uint32_t>(data_[offset]) |
               (static_cast<uint32_t>(data_[offset + 1]) << 8) |
               (static_cast<uint32_t>(data_[offset + 2]) << 16) |
               (static_cast<uint32_t>(data_[offset + 3]) << 24);
    }
    int32_t i32(size_t offset) const { return static_cast<int32_t>(u32(offset)); }
    float f32(size_t offset) const {
        const uint32_t bits = u32(offset);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    double f64(size_t offset) const {
        if (!fits(offset, 8)) return 0.0;
        const uint64_t bits = static_cast<uint64_t>(u32(offset)) |
                              (static_cast<uint64_t>(u32(offset + 4)) << 32);
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    // A NUL-terminated text starting at offset: it ends at its NUL, at the end
    // of the view, or after maxLength characters, whichever comes first.
    std::string text(size_t offset, size_t maxLength) const {
        if (offset >= size_) return std::string();
        const size_t room = size_ - offset < maxLength ? size_ - offset : maxLength;
        const void* nul = std::memchr(data_ + offset, 0, room);
        const size_t length = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - (data_ + offset)) : room;
        return std::string(reinterpret_cast<const char*>(data_ + offset), length);
    }

private:
    const uint8_t* data_;
    size_t size_;
};

}  // namespace mapshare
