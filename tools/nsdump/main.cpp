// nsdump: loads a Neuroshare reader library, prints its library information,
// then opens each recording named on the command line and prints what the
// library answers for it.
//
//   nsdump [--lib <library.so>] [--no-entities] <recording>...
//   nsdump --lib <library.so>            (library information only)
//
// Without --lib the library is chosen by each recording's extension (.qrd ->
// libqrdshare.so, .map -> libmapshare.so) and looked for beside nsdump, in
// the build tree and in the install lib folder.  Exit status: 0 when every
// call succeeded, 1 when a library or recording failed, 2 on a usage error.
#include "library_choice.h"
#include "ns_library.h"
#include "report.h"
#include "result_names.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace nsdump {
namespace {

struct Options {
    std::string library;  // --lib: used for every recording
    bool listEntities = true;
    std::vector<std::string> recordings;
};

void Usage(std::FILE* out) {
    std::fprintf(out,
                 "usage: nsdump [--lib <library.so>] [--no-entities] <recording>...\n"
                 "       nsdump --lib <library.so>\n"
                 "Prints the library information of a Neuroshare reader library and, for each\n"
                 "recording, the file information and the entity list the library reports.\n"
                 "Without --lib, .qrd files are read with libqrdshare.so and .map files with\n"
                 "libmapshare.so, found beside nsdump, in the build tree or the install lib folder.\n");
}

// Parses argv; returns false on a usage error (message already printed).
bool Parse(int argc, char** argv, Options& o, bool& help) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            help = true;
        } else if (a == "--lib") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "nsdump: --lib needs a library path\n");
                return false;
            }
            o.library = argv[++i];
        } else if (a == "--no-entities") {
            o.listEntities = false;
        } else if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "nsdump: unknown option %s\n", a.c_str());
            return false;
        } else {
            o.recordings.push_back(a);
        }
    }
    if (!help && o.library.empty() && o.recordings.empty()) {
        std::fprintf(stderr, "nsdump: name a library (--lib) or at least one recording\n");
        return false;
    }
    return true;
}

// Libraries are loaded once each and kept for the whole run.
class Libraries {
public:
    NsLibrary* Get(const std::string& path) {
        auto it = loaded_.find(path);
        if (it != loaded_.end()) return it->second.get();
        auto lib = std::make_unique<NsLibrary>();
        if (!lib->Load(path)) {
            std::printf("cannot load %s: %s\n", path.c_str(), lib->error().c_str());
            loaded_[path] = nullptr;
            return nullptr;
        }
        ns_LIBRARYINFO info;
        std::memset(&info, 0, sizeof info);
        const ns_RESULT r = lib->GetLibraryInfo(&info, sizeof info);
        std::printf("%s== %s\n", loaded_.empty() ? "" : "\n", path.c_str());
        if (r == ns_OK) {
            PrintLibraryInfo(stdout, info);
        } else {
            PrintFailure(stdout, *lib, "ns_GetLibraryInfo", r);
        }
        NsLibrary* raw = lib.get();
        loaded_[path] = std::move(lib);
        return raw;
    }

private:
    std::map<std::string, std::unique_ptr<NsLibrary>> loaded_;
};

bool DumpRecording(NsLibrary& lib, const std::string& path, const Options& o) {
    std::printf("\n== %s\n", path.c_str());
    uint32_t hFile = 0;
    ns_RESULT r = lib.OpenFile(path.c_str(), &hFile);
    if (r != ns_OK) {
        PrintFailure(stdout, lib, "ns_OpenFile", r);
        return false;
    }
    std::printf("  identifier   %u\n", hFile);
    bool ok = true;
    ns_FILEINFO info;
    std::memset(&info, 0, sizeof info);
    r = lib.GetFileInfo(hFile, &info, sizeof info);
    if (r == ns_OK) {
        PrintFileInfo(stdout, info);
        if (o.listEntities) ok = PrintEntityList(stdout, lib, hFile, info.dwEntityCount);
    } else {
        PrintFailure(stdout, lib, "ns_GetFileInfo", r);
        ok = false;
    }
    r = lib.CloseFile(hFile);
    if (r != ns_OK) {
        PrintFailure(stdout, lib, "ns_CloseFile", r);
        ok = false;
    }
    return ok;
}

int Run(int argc, char** argv) {
    Options o;
    bool help = false;
    if (!Parse(argc, argv, o, help)) {
        Usage(stderr);
        return 2;
    }
    if (help) {
        Usage(stdout);
        return 0;
    }
    Libraries libraries;
    bool ok = true;
    if (!o.library.empty() && libraries.Get(o.library) == nullptr) return 1;

    const std::string programFolder = ProgramFolder();
    for (const std::string& recording : o.recordings) {
        std::string libraryPath = o.library;
        if (libraryPath.empty()) {
            const std::string name = LibraryNameForFile(recording);
            if (name.empty()) {
                std::printf("\n== %s\n  no library reads this extension; name one with --lib\n", recording.c_str());
                ok = false;
                continue;
            }
            libraryPath = FindLibrary(name, programFolder);
            if (libraryPath.empty()) {
                std::printf("\n== %s\n  %s not found beside nsdump, in the build tree or in %s\n",
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
        ok = DumpRecording(*lib, recording, o) && ok;
    }
    return ok ? 0 : 1;
}

}  // namespace
}  // namespace nsdump

int main(int argc, char** argv) { return nsdump::Run(argc, argv); }
