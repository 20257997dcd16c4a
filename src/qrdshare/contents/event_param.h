// Cursor over the records of a "params" stream: the parameter analyzer's
// results.
//
// Record: u64 time stamp, then one block of B bytes per channel of the
// stream, in channel order.  B and the meaning of a block (which parameters
// the analyzer was set to record, and their widths) come from the stream's
// settings, decoded into a CQRVAInfoParam that the cursor owns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "contents/event.h"

namespace qrd {

class CQRVAInfoParam;

constexpr size_t kParamHead = 8;
// Parameter kinds GetSlotValue answers for.
constexpr int kParamSlotCount = 11;

class CQRVAEvtParam : public CQRVAEvent {
public:
    static constexpr EventKind kKind = EventKind::Param;

    CQRVAEvtParam();
    // A copy owns a copy of the info object.
    CQRVAEvtParam(const CQRVAEvtParam& other);
    CQRVAEvtParam& operator=(const CQRVAEvtParam& other);
    CQRVAEvtParam(CQRVAEvtParam&&);
    CQRVAEvtParam& operator=(CQRVAEvtParam&&);
    ~CQRVAEvtParam() override;

    // Also decodes the stream's settings; false when they do not decode.
    bool First() override;
    bool Next() override;
    // B x channel count.
    uint64_t GetPayloadSize() const override;

    // The decoded settings; null on a cursor that never loaded a record.
    const CQRVAInfoParam* GetInfo() const { return info_.get(); }
    // Decodes the recorded parameter values of one channel of the current
    // record into values (the i-th recorded kind at position i).  False when
    // the channel is out of range or its block does not decode.
    bool GetChannelValues(uint32_t channel, std::vector<float>& values) const;
    // The value of parameter kind k (0 to 10) of one channel, found at the
    // kind's list position.  A kind that is not recorded, a kind outside 0 to
    // 10 or a block that does not decode gives kMissingParameterValue, the
    // value the analyzer itself writes for a parameter it could not measure.
    float GetSlotValue(int kind, uint32_t channel) const;

private:
    friend class CQRVAEvent;
    bool DecodeAt(size_t offset);
    // Bytes of one record with the current info: 8 + B x channel count.
    uint64_t RecordSize() const;

    std::unique_ptr<CQRVAInfoParam> info_;
};

}  // namespace qrd
