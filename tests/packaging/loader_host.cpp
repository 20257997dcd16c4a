// A C++ host that loads a reader library at run time through the
// header-only loader (nsapi::loader) and resolves all seventeen functions.
//   loader_host <library file> <recording>
#include "summary_host.h"

#include <nsapi/nsapi_loader.h>

#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: loader_host <library> <recording>\n");
        return 2;
    }
    std::string why;
    void* handle = nsapi::OpenLibrary(argv[1], &why);
    if (handle == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", argv[1], why.c_str());
        return 1;
    }
    nsapi::Functions fns;
    if (const char* missing = nsapi::ResolveFunctions(handle, fns)) {
        std::fprintf(stderr, "%s does not export %s\n", argv[1], missing);
        nsapi::CloseLibrary(handle);
        return 1;
    }
    const SummaryCalls calls = {fns.GetLibraryInfo, fns.OpenFile,      fns.GetFileInfo,   fns.CloseFile,
                                fns.GetEntityInfo,  fns.GetAnalogData, fns.GetTimeByIndex};
    const int status = PrintSummary(&calls, argv[2]);
    nsapi::CloseLibrary(handle);
    return status;
}
