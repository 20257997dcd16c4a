// Writes a seed corpus of layout blocks into the folder named on the command
// line: version-3 blocks made by WriteLayoutBlock from the standard layouts
// of every source type, and version-1 and version-2 blocks composed field by
// field.
#include <cstdio>
#include <string>
#include <vector>

#include "container/binary_file.h"
#include "container/le_codec.h"
#include "layout/qr_layout.h"

namespace {

bool Save(const std::string& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
    qrd::BinaryFile out;
    if (!out.OpenWrite(dir + "/" + name)) return false;
    out.Write(bytes.data(), bytes.size());
    return out.Close();
}

std::vector<uint8_t> OlderBlock(int32_t version, size_t entrySize, int32_t count) {
    std::vector<uint8_t> out;
    qrd::LeWriter w(out);
    w.Tag("LAYOUT");
    w.U64(32 + entrySize * static_cast<size_t>(count));
    w.I32(version);
    w.I32(3);
    w.I32(count);
    w.I32(count);
    w.I32(0);
    w.I32(0);
    w.I32(0);
    w.I32(count);
    for (int32_t i = 0; i < count; ++i) {
        qrd::CChannelEntry e;
        e.setHwid(i);
        e.setSubtype(0);
        e.setName("E" + std::to_string(i));
        e.setLabel("L" + std::to_string(i));
        e.setPosX(i * 1000);
        e.setCatalogue("custom");
        w.Bytes(e.bytes(), entrySize);
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus-dir>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = true;

    qrd::CQRLayout layout;
    std::vector<uint8_t> block;
    qrd::BuildStandardLayout(layout, 3, 0, 0, 0, 0, 0);
    qrd::WriteLayoutBlock(layout, block);
    ok &= Save(dir, "v3-empty", block);

    qrd::BuildStandardLayout(layout, 0, 3, 2, 1, 0, 0);
    block.clear();
    qrd::WriteLayoutBlock(layout, block);
    ok &= Save(dir, "v3-linear-3", block);

    qrd::BuildStandardLayout(layout, 1, 64, 60, 3, 1, 0);
    block.clear();
    qrd::WriteLayoutBlock(layout, block);
    ok &= Save(dir, "v3-array-64", block);

    qrd::BuildStandardLayout(layout, 2, 128, 120, 7, 1, 0);
    block.clear();
    qrd::WriteLayoutBlock(layout, block);
    ok &= Save(dir, "v3-double-array-128", block);

    ok &= Save(dir, "v1-two", OlderBlock(1, qrd::CChannelEntry::kVersion1Size, 2));
    ok &= Save(dir, "v2-one", OlderBlock(2, qrd::CChannelEntry::kVersion2Size, 1));
    return ok ? 0 : 1;
}
