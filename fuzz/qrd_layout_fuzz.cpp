// Feeds arbitrary bytes, as a file, to the layout block reader.  Whatever it
// accepts must write back as a version-3 block that reads back unchanged.
#include <cstdint>
#include <vector>

#include "container/binary_file.h"
#include "layout/qr_layout.h"
#include "memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzinput::MemoryFile& input = fuzzinput::InputFile();
    if (!input.assign(data, size)) return 0;
    static fuzzinput::MemoryFile echoFile;

    qrd::BinaryFile in;
    if (!in.OpenRead(input.path())) return 0;
    qrd::CQRLayout layout;
    if (!qrd::ReadLayoutBlock(layout, in)) return 0;

    std::vector<uint8_t> block;
    qrd::WriteLayoutBlock(layout, block);
    if (block.size() != 48 + layout.entries.size() * qrd::CChannelEntry::kSize) __builtin_trap();
    if (!echoFile.assign(block.data(), block.size())) return 0;

    qrd::BinaryFile echo;
    if (!echo.OpenRead(echoFile.path())) return 0;
    qrd::CQRLayout back;
    if (!qrd::ReadLayoutBlock(back, echo)) __builtin_trap();
    if (back.entries != layout.entries || back.sourceType != layout.sourceType ||
        back.totalCount != layout.totalCount || back.digitalCount != layout.digitalCount)
        __builtin_trap();
    return 0;
}
