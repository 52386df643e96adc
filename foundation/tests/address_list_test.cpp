#include "foundation/address_list.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/once_per_interval.h"

namespace ruzd::foundation {
namespace {

TEST(AddressListTest, AddressesAndRangesLetInTheirPeersOnlyAndAnEmptyListLetsInEveryone) {
    const std::optional<AddressList> list =
        AddressList::Parse(" 10.1.2.3,192.168.7.9/16;\t172.16.0.0/12  0.0.0.0/32 ");
    ASSERT_TRUE(list);
    EXPECT_FALSE(list->empty());
    EXPECT_TRUE(list->Allows("10.1.2.3"));
    EXPECT_FALSE(list->Allows("10.1.2.4"));
    // A range written with host bits set means its network.
    EXPECT_TRUE(list->Allows("192.168.0.1"));
    EXPECT_TRUE(list->Allows("192.168.255.255"));
    EXPECT_FALSE(list->Allows("192.169.0.1"));
    EXPECT_TRUE(list->Allows("172.31.255.1"));
    EXPECT_FALSE(list->Allows("172.32.0.1"));
    EXPECT_TRUE(list->Allows("0.0.0.0"));
    // What is no address is no peer of the list.
    EXPECT_FALSE(list->Allows(""));
    EXPECT_FALSE(list->Allows("10.1.2.3.4"));

    const std::optional<AddressList> everyone = AddressList::Parse(" ,; ");
    ASSERT_TRUE(everyone);
    EXPECT_TRUE(everyone->empty());
    EXPECT_TRUE(everyone->Allows("203.0.113.5"));
    EXPECT_TRUE(everyone->Allows("not an address"));
    EXPECT_TRUE(AddressList::Parse("0.0.0.0/0")->Allows("255.255.255.255"));
}

TEST(AddressListTest, AnEntryThatIsNeitherRefusesTheWholeListAndIsNamed) {
    for (const std::string bad :
         {"10.0.0", "10.0.0.256", "10.0.0.1/33", "10.0.0.1/", "/8", "1.2.3.4/x", "01234.1.1.1",
          "a.b.c.d", "10.0.0.1.", "host", "10..0.1", "-1.0.0.0", "10.0.0.1/008"}) {
        std::string named;
        EXPECT_FALSE(AddressList::Parse("10.9.9.9, " + bad + ",10.8.8.8", &named)) << bad;
        EXPECT_EQ(named, bad);
    }
}

TEST(OncePerIntervalTest, AKeyPassesOncePerIntervalAndTheKeysKeptStayBounded) {
    OncePerInterval limiter(60000, 2);
    EXPECT_TRUE(limiter.Due("10.0.0.1", 1000));
    EXPECT_FALSE(limiter.Due("10.0.0.1", 60999));
    EXPECT_TRUE(limiter.Due("10.0.0.1", 61000));
    EXPECT_TRUE(limiter.Due("10.0.0.2", 61000));
    // Full: a third key waits until an old one's interval is over.
    EXPECT_FALSE(limiter.Due("10.0.0.3", 62000));
    EXPECT_FALSE(limiter.Due("10.0.0.2", 62000));
    EXPECT_TRUE(limiter.Due("10.0.0.3", 121000));
    EXPECT_FALSE(limiter.Due("10.0.0.3", 121001));
}

}  // namespace
}  // namespace ruzd::foundation
