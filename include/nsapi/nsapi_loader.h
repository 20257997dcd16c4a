/*
 * For C++ hosts that load a Neuroshare library at run time: loading and
 * unloading the library file (dlopen, or LoadLibraryA on Windows), a table of
 * the seventeen function pointers, their exported names, and one call that
 * looks every name up in the loaded library.  Header-only, so a host needs
 * nothing beyond nsapi.h and the system's loader (libdl, kernel32).
 *
 * On Windows this header includes <windows.h> for LoadLibraryA and
 * GetProcAddress, with NOMINMAX (std::min and std::max keep working) and
 * WIN32_LEAN_AND_MEAN (no "byte" and the like from the RPC headers).  A host
 * that needs the parts WIN32_LEAN_AND_MEAN leaves out includes <windows.h>
 * itself before this header.
 *
 * C hosts resolve the names themselves (see README); this header is C++ only.
 */
#ifndef NSAPI_NSAPI_LOADER_H
#define NSAPI_NSAPI_LOADER_H

#ifndef __cplusplus
#  error "nsapi_loader.h is C++ only; C hosts include nsapi.h and call dlsym or GetProcAddress for each ns_ name"
#endif

#include "nsapi.h"

#if defined(_WIN32)
#  ifndef NOMINMAX
#    define NOMINMAX
#    define NSAPI_LOADER_DEFINED_NOMINMAX
#  endif
#  ifndef WIN32_LEAN_AND_MEAN
#    define WIN32_LEAN_AND_MEAN
#    define NSAPI_LOADER_DEFINED_LEAN_AND_MEAN
#  endif
#  include <windows.h>
#  ifdef NSAPI_LOADER_DEFINED_NOMINMAX
#    undef NOMINMAX
#    undef NSAPI_LOADER_DEFINED_NOMINMAX
#  endif
#  ifdef NSAPI_LOADER_DEFINED_LEAN_AND_MEAN
#    undef WIN32_LEAN_AND_MEAN
#    undef NSAPI_LOADER_DEFINED_LEAN_AND_MEAN
#  endif
#else
#  include <dlfcn.h>
#endif

#include <cstddef>
#include <cstring>
#include <string>

/*
 * The one list of the seventeen functions, in the order of nsapi.h: pointer
 * type and name without the ns_ prefix.  The struct members, the name table
 * and the resolver below are all generated from it, so a name can never get
 * paired with the wrong pointer type.  Undefined again at the end of this
 * header.
 */
#define NSAPI_LOADER_FUNCTIONS(X)                       \
    X(NS_GETLIBRARYINFO, GetLibraryInfo)                \
    X(NS_OPENFILE, OpenFile)                            \
    X(NS_GETFILEINFO, GetFileInfo)                      \
    X(NS_CLOSEFILE, CloseFile)                          \
    X(NS_GETENTITYINFO, GetEntityInfo)                  \
    X(NS_GETEVENTINFO, GetEventInfo)                    \
    X(NS_GETEVENTDATA, GetEventData)                    \
    X(NS_GETANALOGINFO, GetAnalogInfo)                  \
    X(NS_GETANALOGDATA, GetAnalogData)                  \
    X(NS_GETSEGMENTINFO, GetSegmentInfo)                \
    X(NS_GETSEGMENTSOURCEINFO, GetSegmentSourceInfo)    \
    X(NS_GETSEGMENTDATA, GetSegmentData)                \
    X(NS_GETNEURALINFO, GetNeuralInfo)                  \
    X(NS_GETNEURALDATA, GetNeuralData)                  \
    X(NS_GETINDEXBYTIME, GetIndexByTime)                \
    X(NS_GETTIMEBYINDEX, GetTimeByIndex)                \
    X(NS_GETLASTERRORMSG, GetLastErrorMsg)

namespace nsapi {

// The seventeen entry points of a loaded library; null until resolved.  Hosts
// derive from it or hold one, and call through the members by their API name.
struct Functions {
#define NSAPI_LOADER_MEMBER(type, name) type name = nullptr;
    NSAPI_LOADER_FUNCTIONS(NSAPI_LOADER_MEMBER)
#undef NSAPI_LOADER_MEMBER
};

// The exported names, ns_GetLibraryInfo to ns_GetLastErrorMsg.  A Neuroshare
// library exports exactly these.
inline constexpr const char* kFunctionNames[] = {
#define NSAPI_LOADER_NAME(type, name) "ns_" #name,
    NSAPI_LOADER_FUNCTIONS(NSAPI_LOADER_NAME)
#undef NSAPI_LOADER_NAME
};
inline constexpr std::size_t kFunctionCount = sizeof kFunctionNames / sizeof kFunctionNames[0];
static_assert(kFunctionCount == 17, "a Neuroshare library exports seventeen functions");

// Loads the library file at path; null when it cannot be loaded, with the
// system's reason in *why when why is given.  Each successful call must be
// paired with CloseLibrary.
inline void* OpenLibrary(const char* path, std::string* why = nullptr) {
#if defined(_WIN32)
    void* handle = reinterpret_cast<void*>(LoadLibraryA(path));
    if (handle == nullptr && why != nullptr)
        *why = std::string("LoadLibrary failed with error ") + std::to_string(GetLastError());
#else
    // RTLD_LOCAL: the library's own symbols never satisfy another library's.
    void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr && why != nullptr) {
        const char* reason = dlerror();
        *why = reason ? reason : "dlopen failed";
    }
#endif
    return handle;
}

// Unloads a library loaded with OpenLibrary; null is ignored.
inline void CloseLibrary(void* handle) {
    if (handle == nullptr) return;
#if defined(_WIN32)
    FreeLibrary(reinterpret_cast<HMODULE>(handle));
#else
    dlclose(handle);
#endif
}

namespace detail {

template <typename Fn>
bool ResolveOne(void* handle, const char* name, Fn& out) {
#if defined(_WIN32)
    const FARPROC symbol = GetProcAddress(reinterpret_cast<HMODULE>(handle), name);
#else
    void* symbol = dlsym(handle, name);
#endif
    if (symbol == nullptr) return false;
    // The system hands out the address as a generic pointer type; copying
    // the bits avoids relying on the compiler accepting a cast between
    // unrelated pointer types.
    static_assert(sizeof out == sizeof symbol, "function and symbol pointers differ in size");
    std::memcpy(&out, &symbol, sizeof out);
    return true;
}

}  // namespace detail

// Looks up all seventeen names in handle (from OpenLibrary, dlopen or
// LoadLibrary) and stores them in out.
// Returns nullptr when every name resolved, otherwise the first missing name
// (a string literal, so it outlives the handle).  The names after it are still
// looked up, so out holds whatever the library does export; a host should
// nevertheless refuse a library that lacks any of them.
inline const char* ResolveFunctions(void* handle, Functions& out) {
    const char* missing = nullptr;
#define NSAPI_LOADER_RESOLVE(type, name) \
    if (!detail::ResolveOne(handle, "ns_" #name, out.name) && missing == nullptr) missing = "ns_" #name;
    NSAPI_LOADER_FUNCTIONS(NSAPI_LOADER_RESOLVE)
#undef NSAPI_LOADER_RESOLVE
    return missing;
}

}  // namespace nsapi

#undef NSAPI_LOADER_FUNCTIONS

#endif /* NSAPI_NSAPI_LOADER_H */
