#include "api/entity_table.h"

namespace qrd {

EntityRecord::EntityRecord() = default;
EntityRecord::~EntityRecord() = default;

EntityRecord& EntityTable::Add() {
    records_.push_back(std::make_unique<EntityRecord>());
    return *records_.back();
}

}  // namespace qrd
