// The settings file that sits next to the library.
//
// A host cannot pass options to a Neuroshare library, so qrdshare reads them
// once at load from an INI file with the library's own folder and base name
// and the extension ".ini" (libqrdshare.so -> libqrdshare.ini, qrdshare.dll ->
// qrdshare.ini), section
// "Settings":
//   BaseIsPressedStart   integer (decimal, or hexadecimal with 0x); when not 0
//                        item times are measured from the file time instead of
//                        the recording start.
//   IndexCacheDirectory  text; folder for chunk index cache files.
//   CacheSizeMB          decimal megabytes that all open files' caches of
//                        decoded samples share; 0 turns the cache off.  The
//                        default is an eighth of physical memory, at most
//                        4 GiB (nscommon::DefaultCacheBudgetBytes).
// A missing, unreadable or malformed file leaves every setting at its default
// and reports nothing.
#pragma once

#include <cstdint>
#include <string>

#include "common/cache_budget.h"

namespace qrd {

struct LibrarySettings {
    int32_t baseIsPressedStart = 0;
    std::string indexCacheDirectory;  // empty: no index cache
    uint64_t cacheBudgetBytes = nscommon::DefaultCacheBudgetBytes();  // budget of the decoded-span caches
};

// Longest settings path accepted, in characters without the terminating NUL.
// Longer paths are not read at all, so the settings keep their defaults.
constexpr size_t kMaxSettingsPathLength = 259;

// The settings path for a library file: same folder and base name, the
// extension (from the last dot of the file name) replaced by ".ini".  Empty
// when the library path is empty or the result would be longer than
// kMaxSettingsPathLength.
std::string SettingsPathForLibrary(const std::string& libraryPath);

// Reads the INI file at iniPath; section and key names match regardless of
// letter case.  Defaults when the file cannot be loaded.
LibrarySettings ReadLibrarySettings(const std::string& iniPath);

// The path of the file (shared library or program) that holds this code, or
// an empty string when the loader cannot tell.
std::string OwnModulePath();

// What the registry reads at load: the settings file of OwnModulePath().
LibrarySettings LoadSettingsBesideLibrary();

}  // namespace qrd
