// Writes <folder>/no_analog.map: a MAP recording without continuous channels,
// holding only spike cut-outs (a level channel in two units) and digital
// events, with the project's MAP test writer.  The plotting tests compile it
// to check that such a recording still gets its spikes and events drawn.
#include <cstdio>
#include <string>
#include <vector>

#include "map_writer.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    maptest::MapWriter w;
    maptest::HeaderFields fields;
    fields.spanEnd = 1.0;
    w.header60(3, fields).resolution(1.0f);
    w.analog(maptest::AnalogMode::Level, 3, 20.0f, "Level 3", 0.5f);
    w.digital(1001, 20.0f, "Digital 1001");
    for (int spike = 0; spike < 9; ++spike) {
        std::vector<int16_t> shape(32);
        for (int i = 0; i < 32; ++i) shape[i] = static_cast<int16_t>((i - 10) * (i - 10) * 10 - 1000 + spike * 40);
        w.samples(3, static_cast<uint32_t>(200 + spike * 9000), shape, static_cast<int8_t>(spike % 2));
    }
    for (int e = 0; e < 6; ++e) w.digitalEvent(1001, static_cast<uint32_t>(5000 + e * 120000), static_cast<uint16_t>(e + 1));
    w.endMarker();
    const std::string path = std::string(argv[1]) + "/no_analog.map";
    if (!w.writeTo(path)) {
        std::perror(path.c_str());
        return 1;
    }
    std::printf("%s\n", path.c_str());
    return 0;
}
