#include "foundation/dialogic_install.h"

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "platform/text.h"
#include "platform/win_error.h"
#include "testing/temp_root.h"

namespace ruzd::foundation {
namespace {

using platform::RegAccess;
using platform::RegistryKey;

// What the vendor's installation writes: text values under HKEY_LOCAL_MACHINE.
void Install(const std::string& keyPath, std::string_view name, std::string_view text) {
    RegistryKey key;
    ASSERT_EQ(RegistryKey::LocalMachine().CreateSubKey(keyPath, RegAccess::kAllAccess, &key),
              platform::kErrorSuccess);
    const std::string bytes = platform::Utf8ToUtf16leBytes(text) + std::string(2, '\0');
    ASSERT_EQ(
        key.SetValue(name, platform::kRegSz, bytes.data(), static_cast<uint32_t>(bytes.size())),
        platform::kErrorSuccess);
}

const std::string kConfiguration = "Software\\Dialogic\\Configuration";
const std::string kSystemInformation = "Software\\Dialogic\\System Information";

TEST(DialogicInstall, NothingInstalled) {
    testing::TempRoot root;
    std::string path = "stale";
    EXPECT_FALSE(GetDialogicSdkDir(path));
    EXPECT_EQ(path, "");
    path = "stale";
    EXPECT_FALSE(GetDialogicConfigPath(path));
    EXPECT_EQ(path, "");
    EXPECT_EQ(GetDialogicSystemRelease(), "");
    EXPECT_FALSE(GetDialogicVersion().found);
    EXPECT_EQ(GetDialogicVersionString(), "");

    // The key alone, without its values, is no better.
    RegistryKey key;
    ASSERT_EQ(RegistryKey::LocalMachine().CreateSubKey(kConfiguration, RegAccess::kRead, &key),
              platform::kErrorSuccess);
    EXPECT_FALSE(GetDialogicSdkDir(path));
    EXPECT_EQ(path, "");
}

TEST(DialogicInstall, DirectoriesEndInABackslash) {
    testing::TempRoot root;
    Install(kConfiguration, "DNASDKDIR", "C:\\Program Files\\Dialogic");
    Install(kConfiguration, "DLCFGPATH", "C:\\Program Files\\Dialogic\\cfg\\");
    std::string path;
    EXPECT_TRUE(GetDialogicSdkDir(path));
    EXPECT_EQ(path, "C:\\Program Files\\Dialogic\\");
    EXPECT_TRUE(GetDialogicConfigPath(path));
    EXPECT_EQ(path, "C:\\Program Files\\Dialogic\\cfg\\");

    Install(kConfiguration, "DNASDKDIR", "");
    EXPECT_TRUE(GetDialogicSdkDir(path));
    EXPECT_EQ(path, "\\");
}

TEST(DialogicInstall, DirectoriesLongerThanAPathAreRefused) {
    testing::TempRoot root;
    std::string path;
    Install(kConfiguration, "DNASDKDIR", std::string(259, 'd'));  // 260 with its null: fits
    EXPECT_TRUE(GetDialogicSdkDir(path));
    EXPECT_EQ(path, std::string(259, 'd') + "\\");
    Install(kConfiguration, "DNASDKDIR", std::string(260, 'd'));
    EXPECT_FALSE(GetDialogicSdkDir(path));
    EXPECT_EQ(path, "");
}

TEST(DialogicInstall, TheActiveReleaseGivesNameAndVersion) {
    testing::TempRoot root;
    Install(kSystemInformation, "ActiveSystemRelease", "Release 6");
    Install(kSystemInformation, "ActiveMaintenanceRelease", "Release 5");
    Install(kSystemInformation + "\\Release 6", "Product Name", "Dialogic System Release 6.0");
    Install(kSystemInformation + "\\Release 6", "Product Version", "6.0");
    Install(kSystemInformation + "\\Release 6", "Build Number", "157");
    Install(kSystemInformation + "\\Release 5", "Product Version", "5.1");

    EXPECT_EQ(GetDialogicSystemRelease(), "Dialogic System Release 6.0");
    const DialogicVersion version = GetDialogicVersion();
    EXPECT_TRUE(version.found);
    EXPECT_EQ(version.version, "6.0");
    EXPECT_EQ(version.build, "157");
    EXPECT_EQ(GetDialogicVersionString(), "6.0.157");
}

TEST(DialogicInstall, AMaintenanceReleaseStandsInForAMissingSystemRelease) {
    testing::TempRoot root;
    Install(kSystemInformation, "ActiveMaintenanceRelease", "SP1");
    Install(kSystemInformation + "\\SP1", "Product Version", "5.1.1");
    // A version without a build number has no dot after it.
    EXPECT_EQ(GetDialogicVersionString(), "5.1.1");
    EXPECT_EQ(GetDialogicVersion().build, "");
    EXPECT_EQ(GetDialogicSystemRelease(), "");

    // A release name too long for its buffer counts as missing.
    Install(kSystemInformation, "ActiveSystemRelease", std::string(129, 'r'));
    EXPECT_EQ(GetDialogicVersionString(), "5.1.1");
    Install(kSystemInformation, "ActiveSystemRelease", std::string(128, 'r'));
    EXPECT_EQ(GetDialogicVersionString(), "");  // its key does not exist
}

TEST(DialogicInstall, AReleaseWithoutAVersionIsNotFound) {
    testing::TempRoot root;
    Install(kSystemInformation, "ActiveSystemRelease", "R");
    Install(kSystemInformation + "\\R", "Build Number", "12");
    EXPECT_FALSE(GetDialogicVersion().found);
    EXPECT_EQ(GetDialogicVersion().build, "");
    EXPECT_EQ(GetDialogicVersionString(), "");
}

}  // namespace
}  // namespace ruzd::foundation
