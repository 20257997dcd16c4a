// Feeds arbitrary bytes, as a file, to the layout block reader.  Whatever it
// accepts must write back as a version-3 block that reads back unchanged.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "container/binary_file.h"
#include "layout/qr_layout.h"

namespace {

std::string ScratchPath(const char* role) {
    const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(dir) + "/qrd_layout_fuzz_" + role + "_" + std::to_string(getpid()) + ".bin";
}

bool WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
    qrd::BinaryFile out;
    if (!out.OpenWrite(path)) return false;
    out.Write(data, size);
    return out.Close();
}

// Removes the scratch files when the fuzzer exits.
struct ScratchFiles {
    std::string input = ScratchPath("in");
    std::string echo = ScratchPath("echo");
    ~ScratchFiles() {
        std::remove(input.c_str());
        std::remove(echo.c_str());
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const ScratchFiles scratch;
    const std::string& inputPath = scratch.input;
    const std::string& echoPath = scratch.echo;
    if (!WriteBytes(inputPath, data, size)) return 0;

    qrd::BinaryFile in;
    if (!in.OpenRead(inputPath)) return 0;
    qrd::CQRLayout layout;
    if (!qrd::ReadLayoutBlock(layout, in)) return 0;

    std::vector<uint8_t> block;
    qrd::WriteLayoutBlock(layout, block);
    if (block.size() != 48 + layout.entries.size() * qrd::CChannelEntry::kSize) __builtin_trap();
    if (!WriteBytes(echoPath, block.data(), block.size())) return 0;

    qrd::BinaryFile echo;
    if (!echo.OpenRead(echoPath)) return 0;
    qrd::CQRLayout back;
    if (!qrd::ReadLayoutBlock(back, echo)) __builtin_trap();
    if (back.entries != layout.entries || back.sourceType != layout.sourceType ||
        back.totalCount != layout.totalCount || back.digitalCount != layout.digitalCount)
        __builtin_trap();
    return 0;
}
