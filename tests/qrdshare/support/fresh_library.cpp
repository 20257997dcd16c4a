#include "support/fresh_library.h"

#include <atomic>

namespace qrd_test {

namespace {
std::atomic<unsigned> copyCounter{0};
}

FreshQrdshare::FreshQrdshare(const std::string& library, const std::string& iniText) {
    // Each copy lies in a folder of its own; the counter keeps the names of
    // copies loaded by this process apart as well.
    const std::string base = "libqrdshare-" + std::to_string(copyCounter.fetch_add(1));
    libraryPath_ = CopyLibraryTo(library, dir_.path(), base);
    settingsPath_ = dir_.File(base + ".ini");
    if (!iniText.empty()) dir_.Write(base + ".ini", iniText);
    library_ = std::make_unique<NsLibrary>(libraryPath_);
}

}  // namespace qrd_test
