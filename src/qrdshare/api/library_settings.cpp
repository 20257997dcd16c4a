#include "api/library_settings.h"

// Only the 8-bit reader is used, so no wide-character converter is needed
// (Debian ships none for SimpleIni), and the reader's template code is
// compiled here rather than taken from the packaged shared library, which
// would pull in ICU.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <climits>
#include <vector>

#include "common/cache_budget.h"
#include "container/binary_file.h"
#include "platform/file_system.h"
#include "platform/module_path.h"

namespace qrd {

namespace {

const char kSection[] = "Settings";
const char kBaseIsPressedStartKey[] = "BaseIsPressedStart";
const char kIndexCacheDirectoryKey[] = "IndexCacheDirectory";
const char kCacheSizeKey[] = "CacheSizeMB";

// A settings file holds a handful of keys; anything larger is not one of
// ours and is not read into memory.  This also keeps out paths that are not
// regular files: a folder reports a nonsensical size.
constexpr uint64_t kMaxSettingsFileSize = 1 << 20;

// The INI reader's long lookup yields a 64-bit long here; the setting is a
// 32-bit value.  Out-of-range values saturate rather than wrap, so that a
// large non-zero value can never turn into 0 (which would silently switch the
// setting off).
int32_t ClampToInt32(long v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

}  // namespace

std::string SettingsPathForLibrary(const std::string& libraryPath) {
    if (libraryPath.empty()) return std::string();
    const size_t nameStart = nsplatform::FileNameStart(libraryPath);
    const size_t dot = libraryPath.find_last_of('.');
    const size_t baseEnd = (dot != std::string::npos && dot >= nameStart) ? dot : libraryPath.size();
    std::string path = libraryPath.substr(0, baseEnd) + ".ini";
    if (path.size() > kMaxSettingsPathLength) return std::string();
    return path;
}

LibrarySettings ReadLibrarySettings(const std::string& iniPath) {
    LibrarySettings settings;
    if (iniPath.empty()) return settings;
    // The file is read here rather than by the INI reader, whose own loader
    // allocates whatever size the file system reports.
    BinaryFile file;
    if (!file.OpenRead(iniPath) || file.Size() > kMaxSettingsFileSize) return settings;
    std::vector<char> text(static_cast<size_t>(file.Size()));
    if (!text.empty() && !file.Read(text.data(), text.size())) return settings;
    file.Close();

    // 8-bit text, one value per key, no multi-line values; CSimpleIniA
    // compares section and key names without regard to letter case.
    CSimpleIniA ini(/*a_bIsUtf8=*/false, /*a_bMultiKey=*/false, /*a_bMultiLine=*/false);
    if (ini.LoadData(text.data(), text.size()) != SI_OK) return settings;
    // The lookup reads "0x"/"0X" values as hexadecimal and others as signed
    // decimal; an empty value, characters after the number or a value of 64
    // characters or more give the default.
    settings.baseIsPressedStart = ClampToInt32(ini.GetLongValue(kSection, kBaseIsPressedStartKey, 0));
    const char* cacheDir = ini.GetValue(kSection, kIndexCacheDirectoryKey, nullptr);
    if (cacheDir) settings.indexCacheDirectory = cacheDir;
    // Megabytes; a malformed value keeps the default.
    settings.cacheBudgetBytes =
        nscommon::CacheBudgetFromMegabytes(ini.GetValue(kSection, kCacheSizeKey, nullptr), settings.cacheBudgetBytes);
    return settings;
}

std::string OwnModulePath() {
    // The module that holds this very function: the shared library when the
    // code runs inside it, the program when a test links it directly.
    return nsplatform::ModulePathOf(reinterpret_cast<const void*>(&OwnModulePath));
}

LibrarySettings LoadSettingsBesideLibrary() {
    return ReadLibrarySettings(SettingsPathForLibrary(OwnModulePath()));
}

}  // namespace qrd
