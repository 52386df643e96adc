// The Amtelco board set-up and the waits for the Dialogic service and the Aculab cards, against
// a scripted facade.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "node/hardware_startup.h"

#include "foundation/app_hooks.h"
#include "platform/message_queue.h"
#include "platform/thread.h"

namespace ruzd::node {
namespace {

using ::testing::ElementsAre;

// Records every call and answers from a script; an empty script answers success.
struct ScriptedHardware {
    int32_t Answer() {
        if (results.empty()) {
            return 0;
        }
        const int32_t result = results.front();
        results.pop_front();
        return result;
    }
    std::string Args(std::initializer_list<int> values) {
        std::string text;
        for (int value : values) {
            text += (text.empty() ? "" : ",") + std::to_string(value);
        }
        return text;
    }

    int32_t xds_board_reset(uint8_t board) {
        calls.push_back("reset " + Args({board}));
        return Answer();
    }
    int32_t xds_mc3_ring_mode(uint8_t board, uint8_t mode) {
        calls.push_back("ring " + Args({board, mode}));
        return Answer();
    }
    int32_t xds_set_ctbus_rate(uint8_t board, uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
        calls.push_back("rate " + Args({board, a, b, c, d}));
        return Answer();
    }
    int32_t xds_set_encoding(uint8_t board, uint8_t encoding) {
        calls.push_back("encoding " + Args({board, encoding}));
        return Answer();
    }
    int32_t xds_set_ct_clock_mode(uint8_t board, uint8_t a, uint8_t b, uint8_t c, uint8_t d,
                                  uint8_t e) {
        calls.push_back("clock " + Args({board, a, b, c, d, e}));
        return Answer();
    }
    NCMRetCode NCM_GetDlgSrvStateEx(NCM_DLGSRV_STATE* state) {
        calls.push_back("state");
        if (states.empty()) {
            return NCM_GENERAL;
        }
        *state = states.front();
        states.pop_front();
        return NCM_SUCCESS;
    }
    NCMRetCode NCM_StartDlgSrv() {
        calls.push_back("start");
        return NCM_SUCCESS;
    }

    int32_t acu_prosody_ip_get_registered_cards(ACU_PROSODY_IP_REGISTERED_CARDS_PARMS* parms) {
        calls.push_back("registered");
        parms->count = static_cast<uint32_t>(serials.size());
        for (size_t i = 0; i < serials.size(); ++i) {
            serials[i].copy(parms->serial_no[i], sizeof parms->serial_no[i] - 1);
        }
        return Answer();
    }
    // Each card answers the next state of its script; a card without one cannot be asked.
    int32_t acu_prosody_ip_card_status(ACU_PROSODY_IP_CARD_STATUS_PARMS* parms) {
        const std::string serial = parms->serial_no;
        calls.push_back("status " + serial);
        std::deque<std::string>& script = card_states[serial];
        if (parms->size != sizeof *parms || script.empty()) {
            return -1;
        }
        script.front().copy(parms->state, sizeof parms->state - 1);
        script.pop_front();
        return 0;
    }

    std::deque<int32_t> results;
    std::deque<NCM_DLGSRV_STATE> states;
    std::vector<std::string> serials;
    std::map<std::string, std::deque<std::string>> card_states;
    std::vector<std::string> calls;
};

TEST(AmtelcoBoardSetUp, MasterOnTheCtBusRunsEveryStep) {
    ScriptedHardware hardware;
    ManagerSettings settings;
    settings.amtelcoBoard = 3;
    ConfigureAmtelcoBoard(hardware, settings);
    EXPECT_THAT(hardware.calls, ElementsAre("reset 3", "ring 3,1", "rate 3,2,2,2,2",
                                            "encoding 3,65", "clock 3,2,4,0,0,3"));
}

TEST(AmtelcoBoardSetUp, ClockModesOfEachBusAndRole) {
    const struct {
        bool master;
        bool ct;
        const char* rate;
        const char* clock;
    } cases[] = {{true, false, "rate 16,1,1,1,1", "clock 16,2,4,2,0,3"},
                 {false, true, "rate 16,2,2,2,2", "clock 16,1,0,0,0,0"},
                 {false, false, "rate 16,1,1,1,1", "clock 16,1,3,0,0,0"}};
    for (const auto& each : cases) {
        ScriptedHardware hardware;
        ManagerSettings settings;
        settings.busClockMaster = each.master;
        settings.ctBus = each.ct;
        ConfigureAmtelcoBoard(hardware, settings);
        ASSERT_EQ(hardware.calls.size(), 5u);
        EXPECT_EQ(hardware.calls[2], each.rate);
        EXPECT_EQ(hardware.calls[4], each.clock);
    }
}

TEST(AmtelcoBoardSetUp, FirstFailureStopsAndIsFatal) {
    ScriptedHardware hardware;
    hardware.results = {0, 7};
    try {
        ConfigureAmtelcoBoard(hardware, ManagerSettings{});
        FAIL() << "no error";
    } catch (const CExceptionCM& error) {
        EXPECT_STREQ(error.what(), "Could not configure Amtelco!");
        EXPECT_TRUE(error.IsFatal());
    }
    EXPECT_THAT(hardware.calls, ElementsAre("reset 16", "ring 16,1"));
}

TEST(AmtelcoBoardSetUp, FailedClockModeIsFatal) {
    ScriptedHardware hardware;
    hardware.results = {0, 0, 0, 0, -1};
    EXPECT_THROW(ConfigureAmtelcoBoard(hardware, ManagerSettings{}), CExceptionCM);
}

TEST(DialogicServiceWait, StartsAStoppedServiceOnceAndWaitsUntilItRuns) {
    ScriptedHardware hardware;
    hardware.states = {NCM_DLGSRV_STOPPED, NCM_DLGSRV_START_PENDING, NCM_DLGSRV_STOPPED,
                       NCM_DLGSRV_RUNNING};
    int pauses = 0;
    std::vector<std::string> texts;
    WaitForDialogicService(
        hardware, {[&] { ++pauses; }, [&](const std::string& text) { texts.push_back(text); }});
    // Once a start was seen, a stopped service is not started again.
    EXPECT_THAT(hardware.calls, ElementsAre("state", "start", "state", "state", "state"));
    EXPECT_EQ(pauses, 3);
    EXPECT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts.front(), "Waiting on Dialogic drivers to be started");
}

TEST(DialogicServiceWait, AFailingQueryEndsTheWait) {
    ScriptedHardware hardware;
    WaitForDialogicService(hardware, {});
    EXPECT_THAT(hardware.calls, ElementsAre("state"));
}

TEST(DialogicServiceWait, GivesUpWithAFatalErrorAfterTheLastAttempt) {
    ScriptedHardware hardware;
    hardware.states = {NCM_DLGSRV_START_PENDING, NCM_DLGSRV_START_PENDING,
                       NCM_DLGSRV_START_PENDING};
    try {
        WaitForDialogicService(hardware, {}, 3);
        FAIL() << "no error";
    } catch (const CExceptionCM& error) {
        EXPECT_STREQ(error.what(), "Dialogic Service is not running after 10 min.");
        EXPECT_TRUE(error.IsFatal());
    }
}

TEST(AculabCardWait, EndsAtOnceWhenEveryCardThatAnswersIsInService) {
    ScriptedHardware hardware;
    hardware.serials = {"SER-A", "SER-B"};
    hardware.card_states["SER-A"] = {"In service"};
    int pauses = 0;
    WaitForAculabCards(hardware, {[&] { ++pauses; }, {}});
    // A card that cannot be asked does not hold the start up.
    EXPECT_THAT(hardware.calls, ElementsAre("registered", "status SER-A", "status SER-B"));
    EXPECT_EQ(pauses, 0);

    // No card listed, or no list: nothing to wait for.
    ScriptedHardware none;
    WaitForAculabCards(none, {});
    none.results = {-1};
    none.serials = {"SER-A"};
    WaitForAculabCards(none, {});
    EXPECT_THAT(none.calls, ElementsAre("registered", "registered"));
}

TEST(AculabCardWait, WaitsForACardComingLate) {
    ScriptedHardware hardware;
    hardware.serials = {"SER-A", "SER-B"};
    hardware.card_states["SER-A"] = {"In service", "In service", "In service"};
    hardware.card_states["SER-B"] = {"Starting", "Booting", "In service"};
    int pauses = 0;
    std::vector<std::string> texts;
    WaitForAculabCards(
        hardware, {[&] { ++pauses; }, [&](const std::string& text) { texts.push_back(text); }});
    EXPECT_EQ(pauses, 2);
    EXPECT_THAT(texts, ElementsAre("Waiting on Aculab Cards to be in service",
                                   "Waiting on Aculab Cards to be in service"));
    EXPECT_TRUE(hardware.card_states["SER-B"].empty());
}

TEST(AculabCardWait, GivesUpWithAFatalErrorAfterTheLastRound) {
    ScriptedHardware hardware;
    hardware.serials = {"SER-A"};
    hardware.card_states["SER-A"] = {"Starting", "Starting", "Starting", "Starting"};
    int pauses = 0;
    try {
        WaitForAculabCards(hardware, {[&] { ++pauses; }, {}}, 3);
        FAIL() << "no error";
    } catch (const CExceptionCM& error) {
        EXPECT_STREQ(error.what(), "Aculab Cards not all in service after 10 min.");
        EXPECT_TRUE(error.IsFatal());
    }
    // The hooks' pauses are the only waits.
    EXPECT_EQ(pauses, 3);
}

}  // namespace
}  // namespace ruzd::node

namespace ruzd::node {
namespace {

class PumpingApp : public foundation::AppHooks {
public:
    uint32_t ApplicationThreadId() const override { return platform::CurrentThreadId(); }
    void PumpMessage(platform::Message& message) override { pumped.push_back(message.id); }
    std::vector<uint32_t> pumped;
};

TEST(StartupPause, TheApplicationThreadsMessagesMoveAndAQuitStays) {
    PumpingApp app;
    foundation::ScopedApp installed(app);
    platform::EnsureMessageQueue();
    platform::PostThreadMessage(platform::CurrentThreadId(), platform::kWmUser + 1);
    platform::PostThreadMessage(platform::CurrentThreadId(), platform::kWmUser + 2);
    platform::PostQuitMessage(3);
    PauseKeepingMessagesMoving(1);
    EXPECT_THAT(app.pumped, ElementsAre(platform::kWmUser + 1, platform::kWmUser + 2));
    platform::Message message;
    EXPECT_FALSE(platform::GetMessage(message));
    EXPECT_EQ(message.wparam, 3u);
}

}  // namespace
}  // namespace ruzd::node
