#include "foundation/version_record.h"

#include <filesystem>

#include "foundation/project_version.h"
#include "platform/running_program.h"
#include "platform/text.h"

namespace ruzd::foundation {
namespace {

static_assert(RUZD_VERSION_MAJOR <= 0xFFFF && RUZD_VERSION_MINOR <= 0xFFFF &&
                  RUZD_VERSION_PATCH <= 0xFFFF && RUZD_VERSION_TWEAK <= 0xFFFF,
              "each part of the version must fit the 16 bits the version record gives it");

constexpr uint32_t kVersionMS = uint32_t{RUZD_VERSION_MAJOR} << 16 | RUZD_VERSION_MINOR;
constexpr uint32_t kVersionLS = uint32_t{RUZD_VERSION_PATCH} << 16 | RUZD_VERSION_TWEAK;
constexpr uint32_t kStructVersion = 0x00010000;
constexpr uint32_t kAllFileFlags = 0x3F;
// A build without NDEBUG is marked as a debug build, as the version block of a debug build is.
#ifdef NDEBUG
constexpr uint32_t kBuildFlags = 0;
#else
constexpr uint32_t kBuildFlags = kFileFlagDebug;
#endif

}  // namespace

VersionRecord ProjectVersionRecord(std::string_view programFileName) {
    VersionRecord record;
    FixedFileInfo& fixed = record.fixed;
    fixed.signature = kFixedFileInfoSignature;
    fixed.structVersion = kStructVersion;
    fixed.fileVersionMS = kVersionMS;
    fixed.fileVersionLS = kVersionLS;
    fixed.productVersionMS = kVersionMS;
    fixed.productVersionLS = kVersionLS;
    fixed.fileFlagsMask = kAllFileFlags;
    fixed.fileFlags = kBuildFlags;
    fixed.fileType = kFileTypeApplication;

    record.translations.push_back(kProjectTranslation);
    const std::string version =
        platform::Format("%u.%u.%u.%u", kVersionMS >> 16, kVersionMS & 0xFFFF, kVersionLS >> 16,
                         kVersionLS & 0xFFFF);
    const std::string fileName(programFileName);
    const std::string baseName = std::filesystem::path(fileName).stem().string();
    record.stringTables.push_back(
        VersionStringTable{platform::Format("%04x%04x", unsigned{kProjectTranslation.language},
                                            unsigned{kProjectTranslation.codePage}),
                           {
                               {"CompanyName", RUZD_PROJECT_NAME},
                               {"FileDescription", baseName},
                               {"FileVersion", version},
                               {"InternalName", baseName},
                               {"OriginalFilename", fileName},
                               {"ProductName", baseName},
                               {"ProductVersion", version},
                           }});
    return record;
}

VersionRecord RunningProgramVersionRecord() {
    return ProjectVersionRecord(platform::RunningProgramPath().filename().string());
}

}  // namespace ruzd::foundation
