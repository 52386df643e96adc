#include "foundation/process_user.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "foundation/utilities.h"
#include "platform/computer_name.h"
#include "platform/process_identity.h"
#include "testing/os_for_tests.h"

namespace ruzd::foundation {
namespace {

TEST(GetProcessUserName, NamesTheAccountOfTheCallingProcess) {
    const std::string expected = testing::EffectiveUserName();
    ASSERT_FALSE(expected.empty()) << "the test needs a user with a name";
    std::string user;
    std::string domain;
    ASSERT_TRUE(CUtilities::GetProcessUserName(0, user, domain));
    EXPECT_EQ(user, expected);
    // Windows names the domain of a local account after the machine.
    EXPECT_EQ(domain, platform::ComputerName());

    std::string by_id_user;
    std::string by_id_domain;
    ASSERT_TRUE(
        CUtilities::GetProcessUserName(platform::CurrentProcessId(), by_id_user, by_id_domain));
    EXPECT_EQ(by_id_user, user);
    EXPECT_EQ(by_id_domain, domain);
}

TEST(GetProcessUserName, AProcessThatDoesNotExistLeavesTheTextsAlone) {
    std::ifstream limit_file("/proc/sys/kernel/pid_max");
    uint32_t pid_max = 0;
    limit_file >> pid_max;
    ASSERT_GT(pid_max, 0u);
    std::string user = "unchanged user";
    std::string domain = "unchanged domain";
    EXPECT_FALSE(CUtilities::GetProcessUserName(pid_max + 1, user, domain));
    EXPECT_EQ(user, "unchanged user");
    EXPECT_EQ(domain, "unchanged domain");
}

}  // namespace
}  // namespace ruzd::foundation
