// Cursor over the records of a "trigger" stream: one trigger word each.
//
// Record: u64 time stamp at 0, u16 trigger word at 8 and, from stream header
// version 5 on, a u32 extra value at 10 (reads 0 in older streams).
#pragma once

#include <cstddef>
#include <cstdint>

#include "contents/event.h"

namespace qrd {

constexpr size_t kTriggerHead = 8;
constexpr size_t kTriggerWordOffset = 8;
constexpr size_t kTriggerExtraOffset = 10;
constexpr size_t kTriggerRecordSizeOld = 10;  // versions 0-4
constexpr size_t kTriggerRecordSize = 14;     // version 5 and later
static_assert(kTriggerWordOffset + 2 == kTriggerRecordSizeOld, "word ends the old record");
static_assert(kTriggerExtraOffset + 4 == kTriggerRecordSize, "extra value ends the record");

class CQRVAEvtTrigger : public CQRVAEvent {
public:
    static constexpr EventKind kKind = EventKind::Trigger;

    CQRVAEvtTrigger() : CQRVAEvent(kKind) {}
    CQRVAEvtTrigger(const CQRVAEvtTrigger&) = default;
    CQRVAEvtTrigger& operator=(const CQRVAEvtTrigger&) = default;
    CQRVAEvtTrigger(CQRVAEvtTrigger&&) = default;
    CQRVAEvtTrigger& operator=(CQRVAEvtTrigger&&) = default;
    ~CQRVAEvtTrigger() override = default;

    bool First() override;
    bool Next() override;
    // 2 up to version 4, 6 from version 5.
    uint64_t GetPayloadSize() const override;

    uint16_t GetTriggerWord() const { return word_; }
    uint32_t GetTriggerExtra() const { return extra_; }

private:
    friend class CQRVAEvent;
    bool DecodeAt(size_t offset);

    uint16_t word_ = 0;
    uint32_t extra_ = 0;
};

}  // namespace qrd
