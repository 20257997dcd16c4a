// nsdump: loads a Neuroshare reader library, prints its library information,
// then opens each recording named on the command line and prints what the
// library answers for it: the file information and every entity with the
// info record of its type.  With --entity it writes that entity's items as
// CSV instead.
//
//   nsdump [--lib <library.so>] [--no-entities] <recording>...
//   nsdump [--lib <library.so>] --entity <n> [--start <i>] [--count <n>]
//          [--from <seconds>] [--to <seconds>] <recording>
//   nsdump --lib <library.so>            (library information only)
//   nsdump --help | --version
//
// Without --lib the library is chosen by each recording's extension (.qrd ->
// libqrdshare.so, .map -> libmapshare.so) and looked for beside nsdump, in
// the build tree and in the install lib folder.  Exit status: 0 when every
// call succeeded, 1 when a library or recording failed, 2 on a usage error.
#include "csv_export.h"
#include "entity_details.h"
#include "library_choice.h"
#include "ns_library.h"
#include "report.h"
#include "result_names.h"

#include "ns_release_version.h"
#include "platform/standard_streams.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace nsdump {
namespace {

struct Options {
    std::string library;  // --lib: used for every recording
    bool listEntities = true;
    std::optional<uint32_t> entity;  // --entity: CSV of this entity
    ItemWindow window;
    std::vector<std::string> recordings;
};

void Usage(std::FILE* out) {
    std::fprintf(out,
                 "usage: nsdump [--lib <library.so>] [--no-entities] <recording>...\n"
                 "       nsdump [--lib <library.so>] --entity <n> [--start <i>] [--count <n>]\n"
                 "              [--from <seconds>] [--to <seconds>] <recording>\n"
                 "       nsdump --lib <library.so>\n"
                 "       nsdump --help | --version\n"
                 "Prints the library information of a Neuroshare reader library and, for each\n"
                 "recording, the file information and every entity with its type, item count,\n"
                 "label and the info record of its type.\n"
                 "--entity writes the items of entity n as CSV to standard output (everything\n"
                 "else goes to standard error): events index,time_s,value; analog samples\n"
                 "index,time_s,value; segments index,time_s,unit,sample_count,samples...;\n"
                 "neural events index,time_s.  --start/--count choose items by index,\n"
                 "--from/--to by time (the first item at or after, the last at or before).\n"
                 "Without --lib, .qrd files are read with " NSDUMP_QRDSHARE_FILE_NAME " and .map files with\n"
                 NSDUMP_MAPSHARE_FILE_NAME ", found beside nsdump, in the build tree or the install lib folder.\n");
}

bool ParseUnsigned(const char* text, uint32_t& value) {
    if (text == nullptr || *text == '\0' || *text == '-') return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || v > 0xFFFFFFFFull) return false;
    value = static_cast<uint32_t>(v);
    return true;
}

bool ParseSeconds(const char* text, double& value) {
    if (text == nullptr || *text == '\0') return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text, &end);
    return errno == 0 && *end == '\0' && value == value;
}

// Parses argv; returns false on a usage error (message already printed).
bool Parse(int argc, char** argv, Options& o, bool& help, bool& version) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
        uint32_t number = 0;
        double seconds = 0;
        if (a == "--help" || a == "-h") {
            help = true;
        } else if (a == "--version") {
            version = true;
        } else if (a == "--lib") {
            if (next == nullptr) {
                std::fprintf(stderr, "nsdump: --lib needs a library path\n");
                return false;
            }
            o.library = argv[++i];
        } else if (a == "--no-entities") {
            o.listEntities = false;
        } else if (a == "--entity" || a == "--start" || a == "--count") {
            if (!ParseUnsigned(next, number)) {
                std::fprintf(stderr, "nsdump: %s needs a number from 0 to 4294967295\n", a.c_str());
                return false;
            }
            ++i;
            if (a == "--entity") o.entity = number;
            if (a == "--start") o.window.start = number;
            if (a == "--count") o.window.count = number;
        } else if (a == "--from" || a == "--to") {
            if (!ParseSeconds(next, seconds)) {
                std::fprintf(stderr, "nsdump: %s needs a time in seconds\n", a.c_str());
                return false;
            }
            ++i;
            (a == "--from" ? o.window.fromSeconds : o.window.toSeconds) = seconds;
        } else if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "nsdump: unknown option %s\n", a.c_str());
            return false;
        } else {
            o.recordings.push_back(a);
        }
    }
    if (help || version) return true;
    if (o.library.empty() && o.recordings.empty()) {
        std::fprintf(stderr, "nsdump: name a library (--lib) or at least one recording\n");
        return false;
    }
    const bool windowGiven = o.window.start || o.window.count || o.window.fromSeconds || o.window.toSeconds;
    if (windowGiven && !o.entity) {
        std::fprintf(stderr, "nsdump: --start, --count, --from and --to choose items of an --entity\n");
        return false;
    }
    if (o.entity && o.recordings.size() != 1) {
        std::fprintf(stderr, "nsdump: --entity exports from exactly one recording\n");
        return false;
    }
    return true;
}

// Libraries are loaded once each and kept for the whole run; their
// information goes to `info` when they are loaded.
class Libraries {
public:
    // quiet: only failures are printed (the CSV export keeps its log short).
    Libraries(std::FILE* info, bool quiet) : info_(info), quiet_(quiet) {}

    NsLibrary* Get(const std::string& path) {
        auto it = loaded_.find(path);
        if (it != loaded_.end()) return it->second.get();
        auto lib = std::make_unique<NsLibrary>();
        if (!lib->Load(path)) {
            std::fprintf(info_, "cannot load %s: %s\n", path.c_str(), lib->error().c_str());
            loaded_[path] = nullptr;
            return nullptr;
        }
        ns_LIBRARYINFO info;
        std::memset(&info, 0, sizeof info);
        const ns_RESULT r = lib->GetLibraryInfo(&info, sizeof info);
        if (r == ns_OK) {
            if (!quiet_) {
                std::fprintf(info_, "== %s\n", path.c_str());
                PrintLibraryInfo(info_, info);
            }
        } else {
            std::fprintf(info_, "== %s\n", path.c_str());
            PrintFailure(info_, *lib, "ns_GetLibraryInfo", r);
        }
        NsLibrary* raw = lib.get();
        loaded_[path] = std::move(lib);
        return raw;
    }

private:
    std::FILE* info_;
    bool quiet_;
    std::map<std::string, std::unique_ptr<NsLibrary>> loaded_;
};

// Opens the recording, runs `work` on it and closes it again.
template <typename Work>
bool WithRecording(std::FILE* out, bool quiet, NsLibrary& lib, const std::string& path, Work work) {
    if (!quiet) std::fprintf(out, "\n== %s\n", path.c_str());
    uint32_t hFile = 0;
    ns_RESULT r = lib.OpenFile(path.c_str(), &hFile);
    if (r != ns_OK) {
        if (quiet) std::fprintf(out, "nsdump: %s\n", path.c_str());
        PrintFailure(out, lib, "ns_OpenFile", r);
        return false;
    }
    bool ok = work(hFile);
    r = lib.CloseFile(hFile);
    if (r != ns_OK) {
        PrintFailure(out, lib, "ns_CloseFile", r);
        ok = false;
    }
    return ok;
}

bool DumpRecording(NsLibrary& lib, const std::string& path, const Options& o) {
    return WithRecording(stdout, false, lib, path, [&](uint32_t hFile) {
        std::printf("  identifier   %u\n", hFile);
        ns_FILEINFO info;
        std::memset(&info, 0, sizeof info);
        const ns_RESULT r = lib.GetFileInfo(hFile, &info, sizeof info);
        if (r != ns_OK) {
            PrintFailure(stdout, lib, "ns_GetFileInfo", r);
            return false;
        }
        PrintFileInfo(stdout, info);
        return o.listEntities ? PrintEntityDetails(stdout, lib, hFile, info.dwEntityCount) : true;
    });
}

bool ExportRecording(NsLibrary& lib, const std::string& path, const Options& o) {
    return WithRecording(stderr, true, lib, path, [&](uint32_t hFile) {
        return ExportEntityCsv(stdout, stderr, lib, hFile, *o.entity, o.window);
    });
}

int Run(int argc, char** argv) {
    Options o;
    bool help = false;
    bool version = false;
    if (!Parse(argc, argv, o, help, version)) {
        Usage(stderr);
        return 2;
    }
    if (help) {
        Usage(stdout);
        return 0;
    }
    if (version) {
        std::printf("nsdump %s\n", NS_RELEASE_VERSION);
        return 0;
    }
    // With --entity standard output carries only the CSV.
    std::FILE* info = o.entity ? stderr : stdout;
    Libraries libraries(info, o.entity.has_value());
    bool ok = true;
    if (!o.library.empty() && libraries.Get(o.library) == nullptr) return 1;

    const std::string programFolder = ProgramFolder();
    for (const std::string& recording : o.recordings) {
        std::string libraryPath = o.library;
        if (libraryPath.empty()) {
            const std::string name = LibraryNameForFile(recording);
            if (name.empty()) {
                std::fprintf(info, "\n== %s\n  no library reads this extension; name one with --lib\n",
                             recording.c_str());
                ok = false;
                continue;
            }
            libraryPath = FindLibrary(name, programFolder);
            if (libraryPath.empty()) {
                std::fprintf(info, "\n== %s\n  %s not found beside nsdump, in the build tree or in %s\n",
                             recording.c_str(), name.c_str(), NSDUMP_INSTALL_FULL_LIBDIR);
                ok = false;
                continue;
            }
        }
        NsLibrary* lib = libraries.Get(libraryPath);
        if (lib == nullptr) {
            ok = false;
            continue;
        }
        ok = (o.entity ? ExportRecording(*lib, recording, o) : DumpRecording(*lib, recording, o)) && ok;
    }
    return ok ? 0 : 1;
}

}  // namespace
}  // namespace nsdump

int main(int argc, char** argv) {
    // Reports and CSV are the same bytes on every system.
    nsplatform::UseBinaryStandardStreams();
    return nsdump::Run(argc, argv);
}
