#include "foundation/address_gate.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ruzd::foundation {
namespace {

uint32_t Address(const char* dotted) {
    uint32_t address = 0;
    EXPECT_TRUE(AddressGate::ParseDotted(dotted, &address)) << dotted;
    return address;
}

TEST(AddressGate, EntriesAreAddressesAndRangesAndAnythingElseLetsNobodyIn) {
    EXPECT_TRUE(AddressGate("").AdmitsEveryone());
    EXPECT_TRUE(AddressGate(" ,; \t").Admits(Address("203.0.113.9")));

    const AddressGate gate("192.168.7.0/24;10.1.2.3\t172.16.0.0/12,");
    EXPECT_FALSE(gate.AdmitsEveryone());
    EXPECT_TRUE(gate.Admits(Address("192.168.7.0")));
    EXPECT_TRUE(gate.Admits(Address("192.168.7.255")));
    EXPECT_FALSE(gate.Admits(Address("192.168.8.1")));
    EXPECT_TRUE(gate.Admits(Address("10.1.2.3")));
    EXPECT_FALSE(gate.Admits(Address("10.1.2.4")));
    EXPECT_TRUE(gate.Admits(Address("172.31.255.255")));
    EXPECT_FALSE(gate.Admits(Address("172.32.0.0")));
    EXPECT_TRUE(gate.BadEntries().empty());

    EXPECT_TRUE(AddressGate("0.0.0.0/0").Admits(Address("255.255.255.255")));

    // Never widened: the bad entries name nobody, and a list of only those admits nobody.
    const AddressGate bad("127.1 10.0.0.1/33 1.2.3.4.5 256.0.0.1 1.2.3.4/ host");
    EXPECT_THAT(bad.BadEntries(), ::testing::ElementsAre("127.1", "10.0.0.1/33", "1.2.3.4.5",
                                                         "256.0.0.1", "1.2.3.4/", "host"));
    EXPECT_FALSE(bad.Admits(Address("127.0.0.1")));
    EXPECT_FALSE(bad.Admits(Address("10.0.0.1")));
}

TEST(AddressGate, ARefusalIsLoggedOncePerAddressPerMinute) {
    AddressGate gate("10.0.0.1");
    const uint32_t stranger = Address("10.0.0.2");
    EXPECT_TRUE(gate.ShouldLogRefusal(stranger, 1000));
    EXPECT_FALSE(gate.ShouldLogRefusal(stranger, 60999));
    EXPECT_TRUE(gate.ShouldLogRefusal(Address("10.0.0.3"), 2000));
    EXPECT_TRUE(gate.ShouldLogRefusal(stranger, 61000));
    // Many addresses cannot grow what the gate remembers without end.
    for (uint32_t i = 0; i < 3 * AddressGate::kRememberedRefusals; ++i) {
        EXPECT_TRUE(gate.ShouldLogRefusal(0x0B000000 + i, 100000));
    }
}

}  // namespace
}  // namespace ruzd::foundation
