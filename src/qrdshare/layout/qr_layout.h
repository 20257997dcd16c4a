// The hardware layout of a QRD recording: the source type, the channel counts
// and one CChannelEntry per hardware channel.
//
// Every stream file owns one.  Recordings of a configured layout (source
// type 3) carry it in a "LAYOUT  " block right after the file header; for the
// standard source types (linear, electrode array, double electrode array) it
// is built from the header's channel counts.  When a file header is written
// back, the layout goes with it as a version-3 block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "layout/channel_entry.h"

namespace qrd {

class BinaryFile;

class CQRLayout {
public:
    // Catalogues of hardware, amplifier and electrode-array types a layout
    // may describe.  The recording application keeps them with the layout;
    // this reader never fills them, but carries them along so that copying a
    // layout copies everything it holds.
    class CType {
    public:
        virtual ~CType();
        virtual std::unique_ptr<CType> Clone() const = 0;
        std::string name;
    };
    class CHardware : public CType {
    public:
        std::unique_ptr<CType> Clone() const override;
    };
    class CAmplifier : public CType {
    public:
        std::unique_ptr<CType> Clone() const override;
    };
    class CMea : public CType {
    public:
        std::unique_ptr<CType> Clone() const override;
    };

    // An owning list of catalogue types; copies are deep.
    class CAvailTypes {
    public:
        CAvailTypes() = default;
        virtual ~CAvailTypes();
        CAvailTypes(const CAvailTypes& other);
        CAvailTypes& operator=(const CAvailTypes& other);

        size_t size() const { return types_.size(); }
        bool empty() const { return types_.empty(); }
        const CType* at(size_t i) const { return i < types_.size() ? types_[i].get() : nullptr; }
        void Add(std::unique_ptr<CType> type) {
            if (type) types_.push_back(std::move(type));
        }
        void Clear() { types_.clear(); }

    private:
        std::vector<std::unique_ptr<CType>> types_;
    };
    class CAvailHard : public CAvailTypes {};
    class CAvailAmpl : public CAvailTypes {};
    class CAvailMeas : public CAvailTypes {};

    CQRLayout() = default;
    virtual ~CQRLayout();
    CQRLayout(const CQRLayout&) = default;
    CQRLayout& operator=(const CQRLayout&) = default;

    // Takes over the source type, the counts, the reserved word, the entries
    // and the catalogue and selection lists of another layout.
    void CopyFrom(const CQRLayout& other);

    // 0 linear, 1 electrode array, 2 double electrode array, 3 configured.
    int32_t sourceType = 0;
    int32_t totalCount = 0;
    int32_t electrodeCount = 0;
    int32_t analogCount = 0;
    int32_t digitalCount = 0;
    int32_t reserved = 0;  // written as 0
    std::vector<CChannelEntry> entries;

    CAvailHard availHard;
    CAvailAmpl availAmpl;
    CAvailMeas availMeas;
    // Selections are indexes into the catalogue of the same kind above.
    std::vector<int32_t> selectedHard;
    std::vector<int32_t> selectedAmpl;
    std::vector<int32_t> selectedMeas;
};

// Largest number of channel entries a layout holds.  The file header counts
// hardware channels in a signed 16-bit field, so no recording has more; a
// larger count read from a file is malformed and is refused rather than
// allocated.
constexpr int32_t kMaxLayoutEntries = 32767;

// Reads a layout block at the file's current position into layout.  Returns
// false (and leaves layout unchanged) on a wrong tag, a version other than 1,
// 2 or 3, an entry count that is negative, above kMaxLayoutEntries or more
// than the rest of the file can hold (checked before anything is allocated),
// or a short read.  On success the file is positioned right after the block.
bool ReadLayoutBlock(CQRLayout& layout, BinaryFile& file);

// Appends the layout as a version-3 block (always the newest version).
void WriteLayoutBlock(const CQRLayout& layout, std::vector<uint8_t>& out);
// Writes the layout as a version-3 block at the file's position; false when
// the write failed.
bool WriteLayoutBlock(const CQRLayout& layout, BinaryFile& file);

// Builds the layout of a standard source type from the file header's counts:
// stores the counts, resets the entries to total default entries and, unless
// stop is non-zero, names and places them (linear numbering for source type 0,
// the 60-electrode array for 1, the double array for 2; other source types
// keep the default entries).  A negative total gives no entries; the electrode
// arrays fill at most their 64 or 128 fixed entries and never more than total.
void BuildStandardLayout(CQRLayout& layout, int32_t sourceType, int32_t total, int32_t electrodes,
                         int32_t analog, int32_t digital, int32_t stop);

}  // namespace qrd
