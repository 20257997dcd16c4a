// mapsample <folder>: writes sample.map (every entity kind of the MAP reader)
// and VexorDefaults.ini (pairing digital channel 1002 with analog channel 1)
// into the folder, creating the folder if needed.
#include "map_writer.h"

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    if (::mkdir(argv[1], 0755) != 0 && errno != EEXIST) {
        std::perror(argv[1]);
        return 1;
    }
    const std::string path = maptest::writeSampleRecording(argv[1]);
    if (path.empty()) {
        std::fprintf(stderr, "could not write the sample recording into %s\n", argv[1]);
        return 1;
    }
    std::printf("%s\n", path.c_str());
    return 0;
}
