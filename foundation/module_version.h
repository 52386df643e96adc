#pragma once

// The version of a program, for the about box and for telling the central server which
// version runs. The object starts with the fixed record's fields, followed by the version block
// it was loaded from and the translation that addresses string values.
//
// A Linux executable has no version block; the running program's is the record compiled into
// it (version_record.h). A module named explicitly is found only when the name is the running
// program's own (its file name, that name with ".exe", or its full path): other shared objects
// carry no version block, so loading them fails as it does for a module without one.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/fixed_file_info.h"
#include "foundation/version_record.h"

namespace ruzd::foundation {

// What a library's "DllGetVersion" entry point fills in: 20 bytes, the size first.
struct DllVersionInfo {
    uint32_t size;
    uint32_t majorVersion;
    uint32_t minorVersion;
    uint32_t buildNumber;
    uint32_t platformId;
};

static_assert(sizeof(DllVersionInfo) == 20, "the entry point expects 20 bytes");

class CModuleVersion : public FixedFileInfo {
public:
    CModuleVersion();
    virtual ~CModuleVersion();

    // Loads the version of `moduleName`; null names the running program. True when a block was
    // found and its fixed record carries the valid signature.
    bool Load(const char* moduleName = nullptr);
    // The steps of Load once a module's block is at hand: the translation falls back to the
    // code page 1252 under the current language when the block has none.
    bool LoadRecord(const VersionRecord& record);

    // The string value `name` under the translation; "" when nothing is loaded or there is no
    // such value.
    std::string GetValue(std::string_view name) const;
    // "1.2.3.4" followed by "d" (debug), "b" (prerelease), "p" (private build) and "s" (special
    // build) for the flags that are set.
    std::string GetFileVersionString() const;
    // The application framework version the programs keep reporting: 14.0 as "v%x.%02x".
    std::string GetMfcVersionString() const;
    // Always "".
    std::string GetMfcBuildInfo() const;

    const VersionTranslation& translation() const { return translation_; }

    // Loads the shared object `moduleName` (a path, or a plain name as platform::FindModule finds
    // it; it stays loaded) and calls its "DllGetVersion" entry point with a zeroed `info` whose
    // size field is 20. False when the object or the entry point is missing, `info` is null or the
    // entry point returns a negative result.
    static bool DllGetVersion(const char* moduleName, DllVersionInfo* info);

private:
    std::optional<VersionRecord> block_;
    VersionTranslation translation_{0, 0};
};

}  // namespace ruzd::foundation
