#include "platform/root.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "testing/temp_root.h"

namespace ruzd::platform {
namespace {

TEST(Root, FollowsTheEnvironmentAndMakesSubfoldersOnDemand) {
    testing::TempRoot root;
    EXPECT_EQ(Root(), root.path());
    EXPECT_FALSE(std::filesystem::exists(root.path() / "run"));
    EXPECT_EQ(RootSubdir("run"), root.path() / "run");
    EXPECT_TRUE(std::filesystem::is_directory(root.path() / "run"));

    unsetenv("RUZD_VENDOR_DIR");
    EXPECT_EQ(VendorDir(), root.path() / "vendor");
    setenv("RUZD_VENDOR_DIR", "/opt/elsewhere", 1);
    EXPECT_EQ(VendorDir(), "/opt/elsewhere");
    unsetenv("RUZD_VENDOR_DIR");
}

TEST(Root, DefaultsToTheMachineFolder) {
    const char* saved = getenv("RUZD_ROOT");
    const std::string keep = saved ? saved : "";
    unsetenv("RUZD_ROOT");
    EXPECT_EQ(Root(), "/var/lib/ruzd");
    setenv("RUZD_ROOT", "", 1);
    EXPECT_EQ(Root(), "/var/lib/ruzd") << "an empty value counts as unset";
    if (saved)
        setenv("RUZD_ROOT", keep.c_str(), 1);
}

}  // namespace
}  // namespace ruzd::platform
