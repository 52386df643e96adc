#include "platform/host_name.h"

#include <gtest/gtest.h>

#include <string>

namespace ruzd::platform {
namespace {

TEST(HostNameTest, AcceptsHostNamesAndAddresses) {
    for (const char* text : {"central", "central-1", "Central.Example.COM", "example.com.", "a",
                             "1host", "x--y.z", "127.0.0.1", "10.20.30.40", "::1", "fe80::1",
                             "2001:db8::ff00:42:8329", "::ffff:192.0.2.1"}) {
        EXPECT_TRUE(IsHostNameOrAddress(text)) << text;
    }
}

TEST(HostNameTest, RefusesWhatCouldBeReadAsAnOptionOrSplitOrInterpreted) {
    for (const char* text :
         {"",         "a;b",      "-x",           "/set",  "a b",       "a\tb",      "host\"",
          "\"host\"", "a|b",      "$(reboot)",    "`id`",  "a&b",       "a>b",       "..",
          ".a",       "a..b",     "-a.b",         "a-.b",  "a_b",       "\\\\host",  "host\\x",
          "a/b",      "[::1]",    "fe80::1%eth0", "1.2.3", "256.1.1.1", "010.1.1.1", "0x7f.0.0.1",
          "0x7f",     "1.2.3.4.", "héllo",        "a\nb"}) {
        EXPECT_FALSE(IsHostNameOrAddress(text)) << text;
    }
}

TEST(HostNameTest, LengthLimits) {
    const std::string label63(63, 'a');
    EXPECT_TRUE(IsHostName(label63));
    EXPECT_FALSE(IsHostName(label63 + "a"));
    // 4 labels of 63 and the dots: 255 characters, beyond the 253 a name may have.
    const std::string tooLong = label63 + "." + label63 + "." + label63 + "." + label63;
    EXPECT_FALSE(IsHostName(tooLong));
    EXPECT_TRUE(IsHostName(tooLong.substr(0, 253)));
}

TEST(HostNameTest, AddressesAreOnlyTheStrictForms) {
    EXPECT_TRUE(IsIpAddress("192.168.0.1"));
    EXPECT_TRUE(IsIpAddress("::"));
    EXPECT_FALSE(IsIpAddress("192.168.1"));
    EXPECT_FALSE(IsIpAddress("localhost"));
    EXPECT_FALSE(IsIpAddress(std::string("127.0.0.1\0x", 11)));
}

}  // namespace
}  // namespace ruzd::platform
