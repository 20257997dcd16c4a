#include "api/entity_table.h"

#include "contents/event.h"

namespace qrd {

// Out of line, where the cursor's class is complete.
EntityRecord::EntityRecord() = default;
EntityRecord::~EntityRecord() = default;

EntityRecord& EntityTable::Add() {
    records_.push_back(std::make_unique<EntityRecord>());
    return *records_.back();
}

}  // namespace qrd
