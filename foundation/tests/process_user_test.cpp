#include "foundation/process_user.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "foundation/utilities.h"
#include "platform/text.h"

namespace ruzd::foundation {
namespace {

std::string ExpectedUser() {
    const passwd* entry = getpwuid(geteuid());
    return entry != nullptr ? entry->pw_name : "";
}

std::string ExpectedDomain() {
    char host[256] = {};
    gethostname(host, sizeof(host) - 1);
    std::string name(host);
    return platform::AsciiUpper(name.substr(0, name.find('.')));
}

TEST(GetProcessUserName, NamesTheAccountOfTheCallingProcess) {
    const std::string expected = ExpectedUser();
    ASSERT_FALSE(expected.empty()) << "the test needs a user with a name";
    std::string user;
    std::string domain;
    ASSERT_TRUE(CUtilities::GetProcessUserName(0, user, domain));
    EXPECT_EQ(user, expected);
    EXPECT_EQ(domain, ExpectedDomain());

    std::string by_id_user;
    std::string by_id_domain;
    ASSERT_TRUE(
        CUtilities::GetProcessUserName(static_cast<uint32_t>(getpid()), by_id_user, by_id_domain));
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
