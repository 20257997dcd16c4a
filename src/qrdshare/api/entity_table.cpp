#include "api/entity_table.h"

namespace qrd {

EntityRecord& EntityTable::Add() {
    records_.push_back(std::make_unique<EntityRecord>());
    return *records_.back();
}

}  // namespace qrd
