// The call references of the line devices: the bounds of the two tables, the separation of the
// network lines from every other device type, and the slots the vendor library writes into.

#include <gtest/gtest.h>

#include <cstdint>

#include "node/call_reference_tables.h"

namespace ruzd::node {
namespace {

constexpr int32_t kNetwork = 3;
constexpr int32_t kIp = 7;

TEST(CallReferenceTables, LineDevicesZeroToFiveHundredHaveAnEntry) {
    CallReferenceTables tables;
    CRN crn = 0;
    EXPECT_FALSE(tables.GetCallRef(0, kNetwork, &crn));

    tables.SetCallRef(0, kNetwork, 10, true);
    tables.SetCallRef(500, kNetwork, 20, true);
    EXPECT_TRUE(tables.GetCallRef(0, kNetwork, &crn));
    EXPECT_EQ(crn, 10);
    EXPECT_TRUE(tables.GetCallRef(500, kNetwork, &crn));
    EXPECT_EQ(crn, 20);

    crn = 77;
    for (int32_t ldev : {501, -1, 100000, INT32_MIN}) {
        tables.SetCallRef(ldev, kNetwork, 30, true);
        tables.SetCallRef(ldev, kIp, 30, true);
        EXPECT_FALSE(tables.GetCallRef(ldev, kNetwork, &crn)) << ldev;
        EXPECT_FALSE(tables.GetCallRef(ldev, kIp, &crn)) << ldev;
        EXPECT_EQ(tables.GetCallRefSlot(ldev, kNetwork), nullptr) << ldev;
        EXPECT_EQ(tables.GetCallRefSlot(ldev, kIp), nullptr) << ldev;
    }
    EXPECT_EQ(crn, 77);
    // Nothing spilled into the neighbouring entries.
    EXPECT_TRUE(tables.GetCallRef(500, kNetwork, &crn));
    EXPECT_EQ(crn, 20);
    EXPECT_FALSE(tables.GetCallRef(0, kIp, &crn));
    EXPECT_FALSE(tables.GetCallRef(500, kIp, &crn));
}

TEST(CallReferenceTables, NetworkLinesAndOtherTypesAreKeptApart) {
    CallReferenceTables tables;
    CRN crn = 0;
    tables.SetCallRef(4, kNetwork, 0x1234, true);
    EXPECT_FALSE(tables.GetCallRef(4, kIp, &crn));
    EXPECT_FALSE(tables.GetCallRef(4, 18, &crn));
    EXPECT_FALSE(tables.GetCallRef(4, 1, &crn));

    tables.SetCallRef(5, kIp, 0x5678, true);
    EXPECT_FALSE(tables.GetCallRef(5, kNetwork, &crn));
    // Every other type shares the second table.
    EXPECT_TRUE(tables.GetCallRef(5, 18, &crn));
    EXPECT_EQ(crn, 0x5678);
}

TEST(CallReferenceTables, AnInvalidEntryIsNotSeenWhateverItsNumber) {
    CallReferenceTables tables;
    CRN crn = 0;
    tables.SetCallRef(6, kNetwork, 99, true);
    tables.SetCallRef(6, kNetwork, 99, false);
    EXPECT_FALSE(tables.GetCallRef(6, kNetwork, &crn));
    // A valid CRN of 0 is still a valid entry.
    tables.SetCallRef(6, kNetwork, 0, true);
    EXPECT_TRUE(tables.GetCallRef(6, kNetwork, &crn));
    EXPECT_EQ(crn, 0);
}

TEST(CallReferenceTables, TheSlotIsTheEntrysCrn) {
    CallReferenceTables tables;
    CRN* slot = tables.GetCallRefSlot(8, kNetwork);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(slot, tables.GetCallRefSlot(8, kNetwork));
    EXPECT_NE(slot, tables.GetCallRefSlot(8, kIp));
    EXPECT_NE(slot, tables.GetCallRefSlot(9, kNetwork));

    // The vendor library writes the new CRN; the command marks the entry valid afterwards.
    *slot = 4242;
    CRN crn = 0;
    EXPECT_FALSE(tables.GetCallRef(8, kNetwork, &crn));
    tables.SetCallRef(8, kNetwork, *slot, true);
    EXPECT_TRUE(tables.GetCallRef(8, kNetwork, &crn));
    EXPECT_EQ(crn, 4242);
}

TEST(CallReferenceTables, MarkingValidKeepsACrnWrittenLater) {
    CallReferenceTables tables;
    tables.SetCallRef(9, kNetwork, 100, false);
    // A make-call marks the entry before the library has written the call's reference.
    tables.SetCallRefValid(9, kNetwork, true);
    *tables.GetCallRefSlot(9, kNetwork) = 4343;
    CRN crn = 0;
    EXPECT_TRUE(tables.GetCallRef(9, kNetwork, &crn));
    EXPECT_EQ(crn, 4343);
    tables.SetCallRefValid(9, kNetwork, false);
    EXPECT_FALSE(tables.GetCallRef(9, kNetwork, &crn));
    EXPECT_EQ(*tables.GetCallRefSlot(9, kNetwork), 4343);
    tables.SetCallRefValid(501, kNetwork, true);
    EXPECT_FALSE(tables.GetCallRef(501, kNetwork, &crn));
}

}  // namespace
}  // namespace ruzd::node
