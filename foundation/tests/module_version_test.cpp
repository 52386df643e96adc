#include "foundation/module_version.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "foundation/project_version.h"
#include "platform/running_program.h"
#include "platform/text.h"

namespace ruzd::foundation {
namespace {

std::string ProjectVersionText() {
    return platform::Format("%d.%d.%d.%d", RUZD_VERSION_MAJOR, RUZD_VERSION_MINOR,
                            RUZD_VERSION_PATCH, RUZD_VERSION_TWEAK);
}

VersionRecord RecordWithVersion(uint32_t ms, uint32_t ls, uint32_t flags) {
    VersionRecord record;
    record.fixed.signature = kFixedFileInfoSignature;
    record.fixed.fileVersionMS = ms;
    record.fixed.fileVersionLS = ls;
    record.fixed.fileFlags = flags;
    return record;
}

TEST(ModuleVersion, TheRunningProgramCarriesTheProjectVersion) {
    CModuleVersion version;
    ASSERT_TRUE(version.Load());
    EXPECT_EQ(version.signature, kFixedFileInfoSignature);
    EXPECT_EQ(version.fileVersionMS >> 16, unsigned{RUZD_VERSION_MAJOR});
    EXPECT_EQ(version.productVersionMS, version.fileVersionMS);
    EXPECT_EQ(version.productVersionLS, version.fileVersionLS);
#ifdef NDEBUG
    EXPECT_EQ(version.GetFileVersionString(), ProjectVersionText());
#else
    EXPECT_EQ(version.GetFileVersionString(), ProjectVersionText() + "d");
#endif

    const std::string program = platform::RunningProgramPath().filename().string();
    EXPECT_EQ(version.GetValue("FileVersion"), ProjectVersionText());
    EXPECT_EQ(version.GetValue("ProductVersion"), ProjectVersionText());
    EXPECT_EQ(version.GetValue("CompanyName"), RUZD_PROJECT_NAME);
    EXPECT_EQ(version.GetValue("ProductName"), "foundation_module_version_test");
    EXPECT_EQ(version.GetValue("OriginalFilename"), program);
    EXPECT_EQ(version.GetValue("productname"), "foundation_module_version_test");
    EXPECT_EQ(version.GetValue("PrivateBuild"), "");
    EXPECT_EQ(version.translation().language, 0x0409);
    EXPECT_EQ(version.translation().codePage, 1200);
}

TEST(ModuleVersion, OnlyTheRunningProgramCanBeNamed) {
    const std::string program = platform::RunningProgramPath().filename().string();
    CModuleVersion version;
    EXPECT_TRUE(version.Load(program.c_str()));
    EXPECT_TRUE(version.Load(platform::AsciiUpper(program).c_str()));
    EXPECT_TRUE(version.Load((program + ".exe").c_str()));
    EXPECT_TRUE(version.Load(platform::RunningProgramPath().c_str()));

    CModuleVersion other;
    EXPECT_FALSE(other.Load("libc.so.6"));  // loaded, but no version block
    EXPECT_FALSE(other.Load("NoSuchModule.dll"));
    EXPECT_EQ(other.GetValue("FileVersion"), "");
    EXPECT_EQ(other.fileVersionMS, 0u);
}

TEST(ModuleVersion, NothingLoadedGivesEmptyValues) {
    CModuleVersion version;
    EXPECT_EQ(version.GetValue("FileVersion"), "");
    EXPECT_EQ(version.GetFileVersionString(), "0.0.0.0");
}

TEST(ModuleVersion, FileVersionStringAppendsFlagLettersInOrder) {
    CModuleVersion version;
    ASSERT_TRUE(version.LoadRecord(
        RecordWithVersion(10u << 16 | 6, 0, kFileFlagDebug | kFileFlagPrivateBuild)));
    EXPECT_EQ(version.GetFileVersionString(), "10.6.0.0dp");

    ASSERT_TRUE(version.LoadRecord(
        RecordWithVersion(1u << 16 | 2, 3u << 16 | 65535,
                          kFileFlagSpecialBuild | kFileFlagPrivateBuild | kFileFlagPrerelease |
                              kFileFlagDebug | kFileFlagPatched | kFileFlagInfoInferred)));
    EXPECT_EQ(version.GetFileVersionString(), "1.2.3.65535dbps");
}

TEST(ModuleVersion, WithoutTranslationValuesAreReadUnderCodePage1252) {
    VersionRecord record = RecordWithVersion(0, 0, 0);
    record.stringTables.push_back({"000004e4", {{"ProductName", "Plain"}}});
    record.stringTables.push_back({"040704E4", {{"ProductName", "German"}}});

    CModuleVersion version;
    ASSERT_TRUE(version.LoadRecord(record));
    EXPECT_EQ(version.translation().codePage, 1252);
    EXPECT_EQ(version.GetValue("ProductName"), "Plain");

    // A later block without translation keeps the language the previous one set.
    VersionRecord german = record;
    german.translations.push_back({0x0407, 1200});
    ASSERT_TRUE(version.LoadRecord(german));
    EXPECT_EQ(version.GetValue("ProductName"), "");
    ASSERT_TRUE(version.LoadRecord(record));
    EXPECT_EQ(version.translation().language, 0x0407);
    EXPECT_EQ(version.GetValue("ProductName"), "German");
}

TEST(ModuleVersion, ABadSignatureFailsButTheBlockStaysReadable) {
    VersionRecord record = RecordWithVersion(1u << 16, 0, 0);
    record.fixed.signature = 0;
    record.translations.push_back({0x0409, 1252});
    record.stringTables.push_back({"040904e4", {{"Comments", "kept"}}});
    CModuleVersion version;
    EXPECT_FALSE(version.LoadRecord(record));
    EXPECT_EQ(version.GetValue("Comments"), "kept");
}

TEST(ModuleVersion, FrameworkVersionTexts) {
    CModuleVersion version;
    EXPECT_EQ(version.GetMfcVersionString(), "ve.00");
    EXPECT_EQ(version.GetMfcBuildInfo(), "");
}

TEST(DllGetVersion, CallsTheLibraryEntryPoint) {
    DllVersionInfo info{};
    ASSERT_TRUE(CModuleVersion::DllGetVersion(RUZD_VERSION_PROBE, &info));
    EXPECT_EQ(info.size, 20u);
    EXPECT_EQ(info.majorVersion, 6u);
    EXPECT_EQ(info.minorVersion, 1u);
    EXPECT_EQ(info.buildNumber, 7601u);
    EXPECT_EQ(info.platformId, 2u);
}

TEST(DllGetVersion, FailsWithoutLibraryEntryPointOrSuccess) {
    DllVersionInfo info{};
    EXPECT_FALSE(CModuleVersion::DllGetVersion("/nonexistent/libnothing.so", &info));
    EXPECT_FALSE(CModuleVersion::DllGetVersion("libc.so.6", &info));
    EXPECT_FALSE(CModuleVersion::DllGetVersion(nullptr, &info));
    EXPECT_FALSE(CModuleVersion::DllGetVersion(RUZD_VERSION_PROBE, nullptr));

    setenv("RUZD_VERSION_PROBE_FAIL", "1", 1);
    EXPECT_FALSE(CModuleVersion::DllGetVersion(RUZD_VERSION_PROBE, &info));
    unsetenv("RUZD_VERSION_PROBE_FAIL");
}

}  // namespace
}  // namespace ruzd::foundation
