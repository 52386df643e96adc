#include "telephony/pdll.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "telephony/lib_dxxmt.h"
#include "telephony/tests/stubs/stub_value.h"
#include "telephony/tests/vendor_stub_fixture.h"
#include "telephony/vendor_call.h"

namespace ruzd::telephony {
namespace {

using stubs::StubNumber;
using ::testing::IsEmpty;

class PdllTest : public VendorStubTest {};

TEST_F(PdllTest, AMissingLibraryLeavesAnEmptyTableThatCallsNothing) {
    CLibDXXMT table;
    EXPECT_FALSE(table.IsLoaded());
    EXPECT_TRUE(table.AllFunctionsLoaded());
    EXPECT_EQ(table.GetName(), "libdxxmt.dll");
    EXPECT_EQ(table.dx_open, nullptr);
    EXPECT_EQ(table.ATDX_LINEST, nullptr);
    EXPECT_EQ(VendorCall(&table, &CLibDXXMT::dx_open, "dxxxB1C1", 0), 0);
    DX_CAP cap{};
    VendorCall(&table, &CLibDXXMT::dx_clrcap, &cap);
    EXPECT_THAT(Texts(), IsEmpty()) << "the facade reports a missing library, not the table";
}

TEST_F(PdllTest, ATableLoadsWhenMadeAndLeavesTheCountAtZero) {
    Install("stub_libdxxmt", "libdxxmt");
    CLibDXXMT table;
    EXPECT_TRUE(table.IsLoaded());
    EXPECT_TRUE(table.AllFunctionsLoaded());
    EXPECT_EQ(table.GetLoadCount(), 0u);
    EXPECT_EQ(VendorCall(&table, &CLibDXXMT::dx_open, "dxxxB1C1", 0), StubNumber("dx_open"));
    EXPECT_THAT(Texts(), IsEmpty());
}

TEST_F(PdllTest, LoadTwiceLoadsOnceAndCountsTwice) {
    Install("stub_libdxxmt", "libdxxmt");
    PDLL dll;
    EXPECT_FALSE(dll.Load()) << "no name yet";
    dll.Release();
    ASSERT_TRUE(dll.SetName("libdxxmt.dll"));
    EXPECT_TRUE(dll.Load());
    EXPECT_EQ(dll.GetLoadCount(), 1u);
    EXPECT_TRUE(dll.IsLoaded());
    EXPECT_FALSE(dll.Load());
    EXPECT_EQ(dll.GetLoadCount(), 2u);
    EXPECT_TRUE(dll.IsLoaded());
}

TEST_F(PdllTest, LoadOfAMissingFileCountsButFails) {
    PDLL dll;
    ASSERT_TRUE(dll.SetName("libdxxmt.dll"));
    EXPECT_FALSE(dll.Load());
    EXPECT_EQ(dll.GetLoadCount(), 1u);
    EXPECT_FALSE(dll.IsLoaded());
}

TEST_F(PdllTest, TheNameCannotChangeWhileLoaded) {
    Install("stub_libdxxmt", "libdxxmt");
    PDLL dll;
    ASSERT_TRUE(dll.SetName("libdxxmt.dll"));
    ASSERT_TRUE(dll.Load());
    EXPECT_FALSE(dll.SetName("libother.dll"));
    EXPECT_EQ(dll.GetName(), "libdxxmt.dll");
    dll.Release();
    EXPECT_FALSE(dll.IsLoaded());
    EXPECT_EQ(dll.GetName(), "") << "the name goes with the library";
    EXPECT_TRUE(dll.SetName(nullptr));
}

TEST_F(PdllTest, ReleaseFreesWhenTheLastUserGoes) {
    Install("stub_libdxxmt", "libdxxmt");
    PDLL dll;
    dll.SetName("libdxxmt.dll");
    dll.Load();
    dll.Load();
    dll.Release();
    EXPECT_TRUE(dll.IsLoaded());
    EXPECT_TRUE(LoadedInProcess("libdxxmt"));
    dll.Release();
    EXPECT_FALSE(dll.IsLoaded());
    EXPECT_FALSE(LoadedInProcess("libdxxmt"));
}

TEST_F(PdllTest, DestroyingATableFreesItsLibraryWhateverItsCount) {
    Install("stub_libdxxmt", "libdxxmt");
    {
        CLibDXXMT table;
        table.Load();  // count 1, a second reference to the library
        table.Load();  // count 2
        ASSERT_TRUE(table.IsLoaded());
    }
    EXPECT_FALSE(LoadedInProcess("libdxxmt"));
}

TEST_F(PdllTest, LoadFromWithoutANameLoadsTheStoredOne) {
    Install("stub_libdxxmt", "libdxxmt");
    PDLL dll;
    dll.LoadFrom(nullptr);
    EXPECT_FALSE(dll.IsLoaded());
    dll.SetName("libdxxmt.dll");
    dll.LoadFrom(nullptr);
    EXPECT_TRUE(dll.IsLoaded());
    EXPECT_EQ(dll.GetLoadCount(), 0u);
}

}  // namespace
}  // namespace ruzd::telephony
