#include "open_file.h"

#include "file_registry.h"
#include "info_records.h"
#include "last_error.h"
#include "map_parser.h"

#include "platform/file_system.h"

#include <cstring>
#include <memory>
#include <string>
#include <strings.h>

namespace mapshare {
namespace {

std::string fileNamePart(const std::string& path) { return path.substr(nsplatform::FileNameStart(path)); }

// The file as passed, or else a file of that name in the current directory
// (the folder part of the path is dropped for that second look; a path that
// names a drive gets no second look).
bool recordingExists(const std::string& path) {
    if (nsplatform::PathExists(path)) return true;
    if (nsplatform::HasDrive(path)) return false;
    std::string candidate = nsplatform::CurrentDirectory();
    if (candidate.empty()) return false;
    if (candidate.back() != nsplatform::PathSeparator()) candidate += nsplatform::PathSeparator();
    return nsplatform::PathExists(candidate + fileNamePart(path));
}

// The extension of the file name (without its dot) is one this library reads.
bool hasReadableExtension(const std::string& path) {
    const std::string name = fileNamePart(path);
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos) return false;
    const ns_LIBRARYINFO& info = libraryInfo();
    for (uint32_t i = 0; i < info.dwFileDescCount && i < 16; ++i)
        if (strcasecmp(name.c_str() + dot + 1, info.FileDesc[i].szExtension) == 0) return true;
    return false;
}

}  // namespace

ns_RESULT openRecording(const char* path, uint32_t* handle) {
    if (!path || path[0] == '\0') {
        overwriteLastError("File access or read Error");
        return ns_FILEERROR;
    }
    if (!handle) {
        overwriteLastError("Linked Library Error");
        return ns_LIBERROR;
    }
    const std::string pathText(path);
    if (!recordingExists(pathText)) {
        setLastError("file not found");
        setLastError("File access or read Error");
        return ns_FILEERROR;
    }
    if (!hasReadableExtension(pathText)) {
        setLastError("Library unable to open file type");
        return ns_TYPEERROR;
    }
    uint32_t opened = 0;
    MapFile* parsing = nullptr;
    try {
        auto file = std::make_unique<MapFile>(pathText);
        if (!file->file().open(pathText)) {
            setLastError("Could not open file");
        } else {
            parsing = file.get();
            opened = registry().add(std::move(file));
        }
    } catch (...) {
        setLastError("Linked Library Error");
        return ns_LIBERROR;
    }
    if (opened == 0) {
        setLastError("File access or read Error");
        return ns_FILEERROR;
    }
    *handle = opened;
    // The file has its slot and handle but no other call can reach it until
    // it is published, so the parse needs no lock.
    bool parsed = false;
    try {
        parsed = parseMapFile(*parsing);
    } catch (...) {
        registry().discard(opened);
        throw;
    }
    if (!parsed) {
        registry().discard(opened);
        setLastError("File access or read Error");
        return ns_FILEERROR;
    }
    registry().publish(opened);
    return ns_OK;
}

ns_RESULT closeRecording(uint32_t handle) {
    if (!registry().remove(handle)) {
        setLastError("Invalid file handle passed to function");
        return ns_BADFILE;
    }
    return ns_OK;
}

}  // namespace mapshare
