// Common root of every object a stream hands out for its tool settings.
//
// A stream's settings bytes decode into one of several unrelated classes: the
// CQRVAInfo* wrappers for event streams and, for the "chat" and "filter"
// streams, a settings value object itself.  They all derive from InfoObject
// so a single owning pointer can carry any of them; the kind tag tells the
// holder which class it has without RTTI.
#pragma once

#include <cstdint>

namespace qrd {

enum class InfoKind : uint8_t {
    // settings value objects
    TimeWindowProperty,
    MEATriggerProperty,
    RealtimeFeedbackProperty,
    FilterProperty,
    IAnalyzerProperty,
    EvokedProperty,
    SpikeAnalyzerProperty,
    BurstAnalyzerProperty,
    ChannelToolProperty,
    // stream info wrappers
    InfoTrigger,
    InfoParam,
    InfoSpike,
    InfoAverage,
    InfoSpikeParameter,
    InfoBurstParameter,
};

class InfoObject {
public:
    virtual ~InfoObject() = default;
    InfoKind GetKind() const { return kind_; }

protected:
    explicit InfoObject(InfoKind kind) : kind_(kind) {}
    InfoObject(const InfoObject&) = default;
    // Assignment never changes what an object is: both sides share a class.
    InfoObject& operator=(const InfoObject&) { return *this; }

private:
    InfoKind kind_;
};

// Checked down-cast by kind tag; every concrete class declares kKind.
template <class T>
T* InfoCast(InfoObject* object) {
    return object && object->GetKind() == T::kKind ? static_cast<T*>(object) : nullptr;
}
template <class T>
const T* InfoCast(const InfoObject* object) {
    return object && object->GetKind() == T::kKind ? static_cast<const T*>(object) : nullptr;
}

}  // namespace qrd
