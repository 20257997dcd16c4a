// The library information record that ns_GetLibraryInfo hands out.
#pragma once

#include "nsapi/nsapi.h"

#include <cstdint>

namespace qrd {

// Number of files the registry can hold open at once (identifiers 1..256).
constexpr uint32_t kMaxOpenFiles = 256;

// Fills the fields of the record this library reports; every other byte
// (rest of text fields, file descriptions 1..15) keeps what the host put there.
void FillLibraryInfo(ns_LIBRARYINFO& info);

}  // namespace qrd
