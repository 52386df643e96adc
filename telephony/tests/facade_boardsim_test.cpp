// The facade over the simulated boards, loaded from the build's vendor folder exactly as the
// node loads the vendors' libraries: every library loads with all its exports, and calls reach
// the simulated machine.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "telephony/tests/facade_fixture.h"

namespace ruzd::telephony {
namespace {

using ::testing::IsEmpty;

TEST_F(FacadeBoardsimTest, TheSimulatedLibrariesLoadCompleteThroughTheFacade) {
    TestFacade hardware;
    EXPECT_TRUE(hardware.IsIntelAvailable());
    EXPECT_TRUE(hardware.IsAmtelcoAvailable());
    EXPECT_FALSE(hardware.IsAculabAvailable());
    EXPECT_THAT(Boxes(), IsEmpty());
    for (const LoggedLine& line : Lines())
        EXPECT_EQ(line.text.find("not loaded"), std::string::npos) << line.text;

    NCM_DLGSRV_STATE state = 0;
    EXPECT_EQ(hardware.NCM_GetDlgSrvStateEx(&state), NCM_SUCCESS);
    EXPECT_EQ(state, NCM_DLGSRV_RUNNING);

    int32_t voice_boards = 0;
    EXPECT_EQ(hardware.sr_getboardcnt(SR_CLASS_VOICE, &voice_boards), 0);
    EXPECT_EQ(voice_boards, 1);

    const int32_t channel = hardware.dx_open(1, "dxxxB1C1", 0);
    EXPECT_GT(channel, 0);
    EXPECT_EQ(hardware.ATDV_NAMEP(channel), "dxxxB1C1");
    EXPECT_EQ(hardware.dx_close(channel), 0);

    // Nothing came: the wait times out.
    EXPECT_EQ(hardware.sr_waitevt(0), SR_TMOUT);
}

}  // namespace
}  // namespace ruzd::telephony
