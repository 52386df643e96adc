// The conference boards' DSP list over the simulated boards: which DSPs are kept, which one a
// new conference gets, the lookups by index, and what a lock held too long answers.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "telephony/dcb_resources.h"
#include "telephony/tests/facade_fixture.h"

namespace ruzd::telephony {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class DcbResourcesTest : public FacadeBoardsimTest {
protected:
    // Two conference boards of two DSPs each; a test that wants others writes its own.
    void Load(const std::string& boards = "conference 2 2 8\n") {
        WriteConfig(boards);
        hardware_ = std::make_unique<TestFacade>();
        PublishHardware(hardware_.get());
    }

    void TearDown() override {
        CloseAllDCBResources();
        SetDcbLockPatience(std::chrono::milliseconds(2000));
        PublishHardware(nullptr);
    }

    int32_t Handle(const std::string& device) {
        const std::string answer = Control("query device " + device);
        const size_t at = answer.find("handle=");
        return at == std::string::npos ? -1 : std::stoi(answer.substr(at + 7));
    }

    std::unique_ptr<TestFacade> hardware_;
};

TEST_F(DcbResourcesTest, EveryDspIsKeptClearedAndTheBoardsAreClosed) {
    Load();
    ASSERT_EQ(Control("query calls dcb_DeleteAllConferences"), "OK 0");
    ForgetLines();
    EXPECT_TRUE(OpenAllDCBResources());
    EXPECT_TRUE(AreDCBResourcesOpen());
    EXPECT_THAT(NewTexts(), ElementsAre("Number of Intel DCB Boards detected: 2",
                                        "DCB board dcbB1D1 has 8 conference parties.",
                                        "DCB board dcbB1D2 has 8 conference parties.",
                                        "DCB board dcbB2D1 has 8 conference parties.",
                                        "DCB board dcbB2D2 has 8 conference parties."));
    EXPECT_EQ(Control("query calls dcb_DeleteAllConferences"), "OK 4");
    EXPECT_EQ(Control("query calls dcb_setbrdparm"), "OK 2");
    // Only the DSPs stay open, in the order they were opened.
    EXPECT_TRUE(Control("query device dcbB1").starts_with("ERR"));
    int32_t device = 0;
    ASSERT_TRUE(GetDCBDevice(4, &device));
    EXPECT_EQ(device, Handle("dcbB2D2"));

    ForgetLines();
    EXPECT_FALSE(GetDCBDevice(0, &device));
    EXPECT_FALSE(GetDCBDevice(5, &device));
    EXPECT_THAT(NewTexts(), ElementsAre("ERROR invallid index 0 for GetDCBDevice.",
                                        "ERROR invallid index 5 for GetDCBDevice."));

    CloseAllDCBResources();
    EXPECT_FALSE(AreDCBResourcesOpen());
    EXPECT_TRUE(Control("query device dcbB2D2").starts_with("ERR"));
}

TEST_F(DcbResourcesTest, TheFirstDspWithThreeFreeResourcesTakesTheConference) {
    Load("conference 1 2\n");
    ASSERT_TRUE(OpenAllDCBResources());
    ASSERT_EQ(Control("resources dcbB1D1 2"), "OK");
    ASSERT_EQ(Control("resources dcbB1D2 5"), "OK");
    const int32_t first = Handle("dcbB1D1");
    const int32_t second = Handle("dcbB1D2");

    ForgetLines();
    EXPECT_EQ(GetFreeConferenceDCBDevice(), second);
    EXPECT_EQ(GetFreeConferenceDCBDeviceIndex(), 2);
    const std::string short_line = "Conference board 0 (dev=" + std::to_string(first) +
                                   ") has only 2 free resources.  Minimum 3 required.";
    EXPECT_THAT(NewTexts(), ElementsAre(short_line, short_line));

    // Given -1, the conference goes to the DSP chosen, which the caller learns.
    MS_CDT party{384, 16, 1};
    int32_t dsp = -1;
    int32_t id = 0;
    EXPECT_EQ(hardware_->dcb_estconf(&dsp, &party, 1, 0, &id), 0);
    EXPECT_EQ(dsp, second);
    EXPECT_EQ(Control("query conferences"),
              "OK dcbb1d2 id=1 parties=384/16/1/" + std::to_string(party.chan_attr));

    // Both busy: none is given.
    ASSERT_EQ(Control("resources dcbB1D2 3"), "OK");
    ForgetLines();
    EXPECT_EQ(GetFreeConferenceDCBDeviceIndex(), -1);
    EXPECT_THAT(NewTexts(), Contains("ERROR Could not find a Free Conference DCBDevice."));
}

TEST_F(DcbResourcesTest, WithoutConferenceBoardsNothingIsOpenedOrGiven) {
    Load("conference 0 0\n");
    ForgetLines();
    EXPECT_FALSE(OpenAllDCBResources());
    EXPECT_EQ(GetFreeConferenceDCBDevice(), -1);
    EXPECT_THAT(NewTexts(), ElementsAre("Number of Intel DCB Boards detected: 0",
                                        "ERROR No conference resources available",
                                        "ERROR Could not find a Free Conference DCBDevice."));
}

TEST_F(DcbResourcesTest, ADspWhoseResourcesCannotBeCountedIsClosedAndNotKept) {
    Load("conference 1 2\n");
    ASSERT_EQ(Control("fail dcb_dsprescount -1 1"), "OK");
    ForgetLines();
    EXPECT_TRUE(OpenAllDCBResources());
    EXPECT_THAT(NewTexts(), Contains("ERROR DCB board dcbB1D1 - Failed to retrieve conference "
                                     "party"));
    EXPECT_TRUE(Control("query device dcbB1D1").starts_with("ERR"));
    int32_t device = 0;
    ASSERT_TRUE(GetDCBDevice(1, &device));
    EXPECT_EQ(device, Handle("dcbB1D2"));
    EXPECT_FALSE(GetDCBDevice(2, &device));
}

TEST_F(DcbResourcesTest, ALockHeldTooLongIsAnsweredWithNothing) {
    Load("conference 1 1\n");
    ASSERT_TRUE(OpenAllDCBResources());
    SetDcbLockPatience(std::chrono::milliseconds(1));
    std::promise<void> held;
    std::promise<void> release;
    std::thread holder([&] {
        std::lock_guard hold(DcbListLock());
        held.set_value();
        release.get_future().wait();
    });
    held.get_future().wait();

    ForgetLines();
    int32_t device = 0;
    EXPECT_FALSE(GetDCBDevice(1, &device));
    EXPECT_EQ(GetFreeConferenceDCBDevice(), -1);
    EXPECT_TRUE(AreDCBResourcesOpen());
    CloseAllDCBResources();
    EXPECT_THAT(NewTexts(), ElementsAre("ERROR Could not get lock on GetDCBDevice.",
                                        "ERROR Could not get lock on GetFreeConferenceDCBDevice.",
                                        "ERROR Could not get lock on AreDCBResourcesOpen.",
                                        "ERROR Could not get lock on CloseAllDCBResources."));
    release.set_value();
    holder.join();
    // The close did not happen: the DSP is still kept.
    EXPECT_TRUE(GetDCBDevice(1, &device));
}

}  // namespace
}  // namespace ruzd::telephony
