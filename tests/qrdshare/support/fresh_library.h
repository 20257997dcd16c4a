// A private instance of qrdshare for one test: the built library is
// copied under a unique file name into a temporary folder (optionally with a
// settings file beside it) and loaded from there, so the test gets a registry
// of its own, with every slot free and its own settings read at load.
#pragma once

#include "support/ns_host.h"
#include "support/temp_dir.h"

#include <memory>
#include <string>

namespace qrd_test {

class FreshQrdshare {
public:
    // iniText, when not empty, is written as the settings file of the copy.
    explicit FreshQrdshare(const std::string& iniText = std::string())
        : FreshQrdshare(QrdshareLibraryPath(), iniText) {}
    FreshQrdshare(const std::string& library, const std::string& iniText);

    NsLibrary& operator*() { return *library_; }
    NsLibrary* operator->() { return library_.get(); }
    const TempDir& dir() const { return dir_; }
    const std::string& libraryPath() const { return libraryPath_; }
    const std::string& settingsPath() const { return settingsPath_; }

private:
    TempDir dir_;
    std::string libraryPath_;
    std::string settingsPath_;
    std::unique_ptr<NsLibrary> library_;
};

}  // namespace qrd_test
