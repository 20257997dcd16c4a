// Finds a channel by its 16-bit number in constant time.
//
// A recording names few of the 65536 possible numbers, so the table is split
// into 256 pages of 256 slots that are allocated when a number on them is
// first stored.  Opening a small file then costs a few hundred bytes instead
// of a 256 KiB table filled for every open, while each lookup stays two
// indexing steps.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

namespace mapshare {

class ChannelNumberTable {
public:
    static constexpr int32_t kNone = -1;

    // The value stored for number, or kNone.
    int32_t find(uint32_t number) const {
        if (number > 0xFFFF) return kNone;
        const Page* page = pages_[number >> 8].get();
        return page ? (*page)[number & 0xFF] : kNone;
    }

    // Stores value for number unless the number already has one: the first
    // channel with a number is the one that counts.
    void insertFirst(uint16_t number, int32_t value) {
        std::unique_ptr<Page>& page = pages_[number >> 8];
        if (!page) {
            page = std::make_unique<Page>();
            page->fill(kNone);
        }
        int32_t& slot = (*page)[number & 0xFF];
        if (slot == kNone) slot = value;
    }

private:
    using Page = std::array<int32_t, 256>;
    std::array<std::unique_ptr<Page>, 256> pages_;
};

}  // namespace mapshare
