#include "platform/computer_name.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace ruzd::platform {
namespace {

TEST(ComputerName, IsTheHostNamesFirstLabelInCapitalsAtMost15Characters) {
    EXPECT_EQ(ComputerNameOf("pbx-07.site.example"), "PBX-07");
    EXPECT_EQ(ComputerNameOf("voice-gateway-nord-2"), "VOICE-GATEWAY-N");
    EXPECT_EQ(ComputerNameOf("Node1"), "NODE1");

    // The host name is the kernel's, and the machine's computer name follows from it.
    std::ifstream kernel("/proc/sys/kernel/hostname");
    std::string expected;
    std::getline(kernel, expected);
    ASSERT_EQ(HostName(), expected);
    EXPECT_EQ(ComputerName(), ComputerNameOf(expected));
}

}  // namespace
}  // namespace ruzd::platform
