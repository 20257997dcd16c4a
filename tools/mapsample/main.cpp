// mapsample <folder>: writes sample.map (every entity kind of the MAP reader)
// and VexorDefaults.ini (pairing digital channel 1002 with analog channel 1)
// into the folder, creating the folder if needed.
#include "folder_command_line.h"
#include "map_writer.h"

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>

int main(int argc, char** argv) {
    std::string folder;
    if (const auto status = nstools::ParseFolderCommandLine(
            argc, argv, "mapsample", "mapsample <folder>\nWrites sample.map and VexorDefaults.ini into folder, creating it if needed.",
            folder)) {
        return *status;
    }
    if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
        std::perror(folder.c_str());
        return 1;
    }
    const std::string path = maptest::writeSampleRecording(folder);
    if (path.empty()) {
        std::fprintf(stderr, "mapsample: could not write the sample recording into %s\n", folder.c_str());
        return 1;
    }
    std::printf("%s\n", path.c_str());
    return 0;
}
