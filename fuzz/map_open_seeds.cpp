// Writes the seed recordings of map_open_fuzz into the folder given on the
// command line: every record type, both header sizes, multiplexed data with
// markers, sorted units, inactive channels, channels the target's defaults
// file maps onto analog channels, and the end marker.
#include "map_writer.h"

#include <cstdio>
#include <string>

using namespace maptest;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <seed folder>\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    bool ok = true;

    MapWriter version1;
    version1.header40(0).digital(1001, 10.0f, "D", true).port(0, 0, "P", true).digitalEvent(1001, 3, 1).portEvent(0, 5, 2);
    ok &= version1.writeTo(folder + "/version1.map");

    MapWriter mux;
    MultiplexWords words;
    words.analog(1, {1, 2, 3, 4}, 0).marker(-666, 0).marker(-557, 2).port(2, 7, 10).marker(-333, 5).digital(3, 1, 11);
    words.word(42).marker(-222, 1).analog(1, {5, 6, 7, 8}, 4);
    mux.header60(4).resolution(1.0f).continuous(1, 10.0f, "A", 6).port(0, 2, "P").digital(1033, 10.0f, "D");
    mux.digital(3, 10.0f, "D3").multiplexed(words).endMarker();
    ok &= mux.writeTo(folder + "/multiplexed.map");

    MapWriter segments;
    segments.header60().analog(AnalogMode::Level, 1, 20.0f, "L", 0.51f).analog(AnalogMode::ExternalTrigger, 2, 20.0f, "E", 1.0f);
    segments.analog(AnalogMode::WindowDiscriminator, 3, 20.0f, "W");
    for (int i = 0; i < 6; ++i) {
        segments.samples(1, 5 + 40 * i, {1, 2, 3, 4, 5, 6, 7, 8}, static_cast<int8_t>(i % 3));
        segments.samples(2, 9 + 40 * i, {1, 2, 3, 4}, static_cast<int8_t>(i));
        segments.samples(3, 2 + 40 * i, {8, 7, 6}, 0);
    }
    ok &= segments.writeTo(folder + "/segments.map");

    MapWriter small;
    small.header60().continuous(1, 10.0f, "A").samples(1, 0, {1, 2, 3}).samples(1, 3, {4, 5}).samples(1, 100, {6});
    ok &= small.writeTo(folder + "/small.map");

    // Inactive definitions, a record of a type the reader does not know, data
    // of an inactive channel.
    MapWriter odd;
    odd.header60().continuous(1, 10.0f, "A").analog(AnalogMode::Level, 2, 20.0f, "off", 0.0f, 0, false);
    odd.digital(1005, 10.0f, "Doff", false, false).samples(1, 0, {1, 2}).record(10, 'z', {1, 2, 3, 4});
    odd.samples(2, 10, {1, 2, 3}).digitalEvent(1005, 4, 1).samples(1, 2, {3, 4});
    ok &= odd.writeTo(folder + "/odd.map");

    // Digital and port channels that the fuzz target's defaults file pairs
    // with analog channels 1, 2 and 3: they become neural units.
    MapWriter mapped;
    mapped.header60().continuous(1, 10.0f, "A1").continuous(3, 10.0f, "A3").continuous(2, 10.0f, "A2");
    mapped.digital(1002, 10.0f, "D2").digital(1033, 10.0f, "D33").digital(1001, 10.0f, "D1").port(0, 0, "P0");
    mapped.samples(1, 0, {1, 2, 3, 4}).samples(2, 0, {5, 6}).samples(3, 0, {7, 8, 9});
    mapped.digitalEvent(1002, 1, 1).digitalEvent(1033, 2, 1).digitalEvent(1001, 3, 1).portEvent(0, 3, 9);
    mapped.digitalEvent(1002, 6, 0).endMarker();
    ok &= mapped.writeTo(folder + "/mapped.map");

    // The full sample recording, renamed so its defaults file is not needed.
    TempDir scratch;
    const std::string sample = writeSampleRecording(scratch.path());
    ok &= !sample.empty() && std::rename(sample.c_str(), (folder + "/sample.map").c_str()) == 0;
    if (!ok) {
        std::fprintf(stderr, "could not write the seeds into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
