#include "platform/ipv4_text.h"

#include <arpa/inet.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ruzd::platform {
namespace {

TEST(ParseIpv4, ReadsFourDottedDecimalNumbersAndWritesThemBack) {
    for (const char* text : {"0.0.0.0", "127.0.0.1", "10.1.2.3", "192.0.2.255", "224.0.0.1",
                             "239.255.255.250", "255.255.255.254", "1.10.100.200"}) {
        const uint32_t address = ParseIpv4(text);
        EXPECT_NE(address, kNoIpv4Address) << text;
        EXPECT_EQ(Ipv4Text(address), text);
    }
    // Network byte order: the first number is the first byte.
    EXPECT_EQ(ParseIpv4("127.0.0.1"), htonl(0x7F000001));
}

TEST(ParseIpv4, RefusesEveryOtherText) {
    const std::vector<std::string> refused = {"",
                                              "1",
                                              "1.2",
                                              "1.2.3",
                                              "127.1",
                                              "2130706433",
                                              "1.2.3.4.5",
                                              "256.1.1.1",
                                              "1.2.3.256",
                                              "01.2.3.4",
                                              "1.2.3.04",
                                              "1.2.3.00",
                                              "0x7f.0.0.1",
                                              "1.2.3.4 ",
                                              " 1.2.3.4",
                                              "1.2.3.4\n",
                                              "1..2.3",
                                              ".1.2.3",
                                              "1.2.3.",
                                              "1.2.3.-4",
                                              "+1.2.3.4",
                                              "1.2.3.1234",
                                              "1.2.3.a",
                                              "host.example",
                                              "::1",
                                              std::string("1.2.3.4\0", 8),
                                              "255.255.255.255"};
    for (const std::string& text : refused) {
        EXPECT_EQ(ParseIpv4(text), kNoIpv4Address) << '"' << text << '"';
    }
}

TEST(ParseIpv4Destination, IsAnAddressThatNamesAHost) {
    EXPECT_EQ(ParseIpv4Destination("0.0.0.0"), kNoIpv4Address);
    EXPECT_EQ(ParseIpv4Destination("1.2"), kNoIpv4Address);
    // Multicast groups are destinations.
    for (const char* text : {"127.0.0.1", "0.0.0.1", "224.0.0.1", "239.1.2.3"}) {
        EXPECT_EQ(ParseIpv4Destination(text), ParseIpv4(text)) << text;
    }
}

}  // namespace
}  // namespace ruzd::platform
