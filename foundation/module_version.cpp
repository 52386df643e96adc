#include "foundation/module_version.h"

#include <cstring>
#include <filesystem>

#include "platform/dynamic_library.h"
#include "platform/loaded_modules.h"
#include "platform/running_program.h"
#include "platform/text.h"

namespace ruzd::foundation {
namespace {

constexpr uint16_t kDefaultCodePage = 1252;
constexpr unsigned kFrameworkVersionMajor = 14;
constexpr unsigned kFrameworkVersionMinor = 0;

// Module names are compared as the original platform does: without regard to case, and a
// program may be named with its ".exe".
bool NamesRunningProgram(std::string_view name) {
    const std::filesystem::path program = platform::RunningProgramPath();
    if (program.empty()) {
        return false;
    }
    const std::string fileName = program.filename().string();
    return name == program.string() || platform::EqualsIgnoreCase(name, fileName) ||
           platform::EqualsIgnoreCase(name, fileName + ".exe");
}

using DllGetVersionEntry = int32_t(DllVersionInfo*);

}  // namespace

CModuleVersion::CModuleVersion() : FixedFileInfo{} {}

CModuleVersion::~CModuleVersion() = default;

bool CModuleVersion::Load(const char* moduleName) {
    translation_.codePage = kDefaultCodePage;
    static_cast<FixedFileInfo&>(*this) = FixedFileInfo{};
    if (moduleName != nullptr && !NamesRunningProgram(moduleName)) {
        return false;
    }
    return LoadRecord(RunningProgramVersionRecord());
}

bool CModuleVersion::LoadRecord(const VersionRecord& record) {
    translation_.codePage = kDefaultCodePage;
    block_ = record;
    static_cast<FixedFileInfo&>(*this) = block_->fixed;
    if (!block_->translations.empty()) {
        translation_ = block_->translations.front();
    }
    return signature == kFixedFileInfoSignature;
}

std::string CModuleVersion::GetValue(std::string_view name) const {
    if (!block_) {
        return {};
    }
    const std::string key = platform::Format("%04x%04x", unsigned{translation_.language},
                                             unsigned{translation_.codePage});
    for (const VersionStringTable& table : block_->stringTables) {
        if (!platform::EqualsIgnoreCase(table.key, key)) {
            continue;
        }
        for (const auto& [valueName, value] : table.values) {
            if (platform::EqualsIgnoreCase(valueName, name)) {
                return value;
            }
        }
    }
    return {};
}

std::string CModuleVersion::GetFileVersionString() const {
    std::string text = platform::Format("%u.%u.%u.%u", fileVersionMS >> 16, fileVersionMS & 0xFFFF,
                                        fileVersionLS >> 16, fileVersionLS & 0xFFFF);
    if (fileFlags & kFileFlagDebug) {
        text += 'd';
    }
    if (fileFlags & kFileFlagPrerelease) {
        text += 'b';
    }
    if (fileFlags & kFileFlagPrivateBuild) {
        text += 'p';
    }
    if (fileFlags & kFileFlagSpecialBuild) {
        text += 's';
    }
    return text;
}

std::string CModuleVersion::GetMfcVersionString() const {
    return platform::Format("v%x.%02x", kFrameworkVersionMajor, kFrameworkVersionMinor);
}

std::string CModuleVersion::GetMfcBuildInfo() const {
    return {};
}

bool CModuleVersion::DllGetVersion(const char* moduleName, DllVersionInfo* info) {
    if (moduleName == nullptr || info == nullptr) {
        return false;
    }
    const std::optional<std::filesystem::path> file = platform::FindModule(moduleName);
    std::error_code ignored;
    platform::DynamicLibrary library;
    if (!file || !library.LoadFile(std::filesystem::absolute(*file, ignored))) {
        return false;
    }
    DllGetVersionEntry* entry = library.Bind<DllGetVersionEntry>("DllGetVersion");
    // Left loaded: unloading a library whose load and unload run code of its own is riskier
    // than keeping it.
    library.KeepLoaded();
    if (entry == nullptr) {
        return false;
    }
    std::memset(info, 0, sizeof(*info));
    info->size = sizeof(*info);
    return entry(info) >= 0;
}

}  // namespace ruzd::foundation
