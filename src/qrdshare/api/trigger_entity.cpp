// The event entity of a trigger stream: one item per trigger event, carrying
// the detector's event value and the recorded trigger word.
#include "api/entity_build_steps.h"
#include "api/entity_table.h"
#include "api/item_time.h"
#include "container/stream.h"
#include "contents/event.h"
#include "contents/event_trigger.h"
#include "contents/info_trigger.h"

#include <cstdlib>
#include <memory>

namespace qrd {

namespace {

// The event value the trigger detector was set to, as a 16-bit magnitude.  A
// stream whose settings do not decode has no detector settings to report:
// its items carry 0.
uint16_t EventValueOf(const CQRVAStream& stream) {
    const std::unique_ptr<InfoObject> info = stream.CreateInfo();
    const CQRVAInfoTrigger* trigger = InfoCast<CQRVAInfoTrigger>(info.get());
    if (trigger == nullptr) return 0;
    const int64_t v = trigger->GetEventValue();
    return static_cast<uint16_t>(v < 0 ? -v : v);
}

}  // namespace

void AddTriggerEntity(EntityBuild& build, CQRVAStream& stream, int32_t streamIndex, const std::string& tag) {
    const uint16_t eventValue = EventValueOf(stream);
    std::vector<ItemBlock> blocks;
    std::unique_ptr<CQRVAEvent> event(stream.FirstEvent());
    for (bool more = event != nullptr; more; more = event->Next()) {
        ItemBlock block;
        block.firstIndex = static_cast<uint32_t>(blocks.size());
        block.count = 1;
        block.startTime = ItemTime(event->GetTimeStamp(), build.timeOffset);
        block.eventValue = eventValue;
        // A stream tagged as trigger whose records are of another kind still
        // has its events counted; only trigger records carry a word.
        if (const CQRVAEvtTrigger* trigger = EventCast<CQRVAEvtTrigger>(event.get()))
            block.triggerWord = trigger->GetTriggerWord();
        blocks.push_back(block);
    }

    EntityRecord& record = build.table.Add();
    record.streamTag = tag;
    record.channelLabel = tag;
    record.streamIndex = streamIndex;
    record.channelNumber = 0;
    record.channelPosition = 0;
    record.entityType = kEntityEvent;
    record.itemCount = static_cast<int32_t>(blocks.size());
    record.blocks = std::move(blocks);
    record.blockLength = 1;
}

}  // namespace qrd
