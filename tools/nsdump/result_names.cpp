#include "result_names.h"

namespace nsdump {

std::string ResultName(ns_RESULT code) {
    const char* name = nullptr;
    switch (code) {
        case ns_OK: name = "ns_OK"; break;
        case ns_LIBERROR: name = "ns_LIBERROR"; break;
        case ns_TYPEERROR: name = "ns_TYPEERROR"; break;
        case ns_FILEERROR: name = "ns_FILEERROR"; break;
        case ns_BADFILE: name = "ns_BADFILE"; break;
        case ns_BADENTITY: name = "ns_BADENTITY"; break;
        case ns_BADSOURCE: name = "ns_BADSOURCE"; break;
        case ns_BADINDEX: name = "ns_BADINDEX"; break;
        default: name = "unknown result"; break;
    }
    return std::string(name) + " (" + std::to_string(code) + ")";
}

const char* EntityTypeName(uint32_t type) {
    switch (type) {
        case ns_ENTITY_UNKNOWN: return "unknown";
        case ns_ENTITY_EVENT: return "event";
        case ns_ENTITY_ANALOG: return "analog";
        case ns_ENTITY_SEGMENT: return "segment";
        case ns_ENTITY_NEURALEVENT: return "neural";
        default: return "?";
    }
}

const char* EventTypeName(uint32_t type) {
    switch (type) {
        case ns_EVENT_TEXT: return "text";
        case ns_EVENT_CSV: return "csv";
        case ns_EVENT_BYTE: return "byte";
        case ns_EVENT_WORD: return "word";
        case ns_EVENT_DWORD: return "dword";
        default: return "?";
    }
}

}  // namespace nsdump
