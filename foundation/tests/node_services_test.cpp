// What the lower layers get from the node manager: the published manager and its lifetime, the
// fatal error box, the copy into fixed narrow buffers, the map of opened station boards, and
// the fake manager the tests of those layers use.

#include "foundation/node_services.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "foundation/app_hooks.h"
#include "platform/message_box.h"
#include "testing/fake_node_services.h"

namespace ruzd::foundation {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class ClosingApp : public AppHooks {
public:
    ClosingApp() : AppHooks(kRunModeWindow, "Pelwix") {}
    void RequestMainWindowClose() override { ++close_requests; }
    int close_requests = 0;
};

TEST(NodeServicesTest, ThePublishedManagerIsReachableOnlyWhileItLives) {
    EXPECT_EQ(LockNodeServices(), nullptr);
    auto manager = std::make_shared<ruzd::testing::FakeNodeServices>();
    {
        ruzd::testing::FakeNodeServices::Publication publication(manager);
        std::shared_ptr<NodeServices> locked = LockNodeServices();
        ASSERT_EQ(locked.get(), manager.get());
        // A locked pointer keeps the manager alive for the length of the call.
        std::weak_ptr<ruzd::testing::FakeNodeServices> watch = manager;
        manager.reset();
        EXPECT_FALSE(watch.expired());
        locked->OnOrvanthellaFileSocketClose();
        locked.reset();
        EXPECT_TRUE(watch.expired());
        EXPECT_EQ(LockNodeServices(), nullptr);
    }
    EXPECT_EQ(LockNodeServices(), nullptr);
}

TEST(NodeServicesTest, TheFatalErrorBoxShowsTheCodeAndClosesTheMainWindow) {
    ClosingApp app;
    ScopedApp scope(app);
    std::vector<std::string> shown;
    platform::MessageBoxPresenter previous = platform::SetMessageBoxPresenter(
        [&](const std::string& text, const std::string& caption, uint32_t style) {
            shown.push_back(caption + "|" + text + "|" + std::to_string(style));
            // The window is asked to close only after its box was answered.
            EXPECT_EQ(app.close_requests, static_cast<int>(shown.size()) - 1);
            return platform::kIdOk;
        });
    FatalErrorBox(30);
    FatalErrorBox(31);
    platform::SetMessageBoxPresenter(previous);
    EXPECT_THAT(shown, ElementsAre("Pelwix|Error 30|0", "Pelwix|Error 31|0"));
    EXPECT_EQ(app.close_requests, 2);
}

TEST(NodeServicesTest, CopyToCharBufferConvertsCutsAndAlwaysEndsWithZero) {
    char buffer[6];
    std::memset(buffer, 'x', sizeof(buffer));
    const std::string short_text = "S\xC3\xA9";  // "Sé"
    CopyToCharBuffer(buffer, &short_text, sizeof(buffer));
    EXPECT_STREQ(buffer, "S\xE9");

    const std::string long_text = "sip.example.org";
    CopyToCharBuffer(buffer, &long_text, sizeof(buffer));
    EXPECT_EQ(std::string(buffer, sizeof(buffer)), std::string("sip.e\0", 6));

    std::memset(buffer, 'x', sizeof(buffer));
    CopyToCharBuffer(buffer, nullptr, sizeof(buffer));
    EXPECT_EQ(std::string(buffer, sizeof(buffer)), std::string(6, '\0'));

    // Nothing fits in no room at all, not even the end.
    buffer[0] = 'x';
    CopyToCharBuffer(buffer, &short_text, 0);
    EXPECT_EQ(buffer[0], 'x');
    CopyToCharBuffer(buffer, &short_text, 1);
    EXPECT_EQ(buffer[0], '\0');
}

TEST(NodeServicesTest, OpenedStationBoardsComeInTheOrderOfTheirLineDevices) {
    OpenedStationBoards boards;
    EXPECT_THAT(boards.Handles(), IsEmpty());
    boards.Add(1000002, 52);
    boards.Add(1000001, 51);
    boards.Add(1000003, 53);
    EXPECT_THAT(boards.Handles(), ElementsAre(51, 52, 53));
    boards.Add(1000001, 61);
    boards.Remove(1000002);
    EXPECT_THAT(boards.Handles(), ElementsAre(61, 53));
    boards.Clear();
    EXPECT_THAT(boards.Handles(), IsEmpty());
    EXPECT_EQ(&StationBoards(), &StationBoards());
}

TEST(NodeServicesTest, TheFakeManagerKeepsPerHandleTablesAsTheManagerDoes) {
    ruzd::testing::FakeNodeServices fake;
    EXPECT_EQ(fake.GetProsodyStream(5), -1);
    fake.SetProsodyStream(5, 2);
    fake.SetProsodyStream(5, 3);
    EXPECT_EQ(fake.GetProsodyStream(5), 3);
    EXPECT_EQ(fake.GetProsodyTimeslot(5), -1);

    auto* channel = reinterpret_cast<tSMChannelId_struct*>(0x1000);
    fake.SetEchoCancelIn(5, channel);
    EXPECT_EQ(fake.GetEchoCancelIn(5), channel);
    EXPECT_EQ(fake.GetEchoCancelOut(5), nullptr);
    fake.SetEchoCancelIn(5, nullptr);
    EXPECT_EQ(fake.GetEchoCancelIn(5), nullptr);

    int32_t handle = 0;
    EXPECT_FALSE(fake.GetIPDeviceHandle(1000001, &handle));
    EXPECT_EQ(handle, -1);
    fake.SetIPDeviceHandle(1000001, 77);
    EXPECT_TRUE(fake.GetIPDeviceHandle(1000001, &handle));
    EXPECT_EQ(handle, 77);

    bool found = true;
    EXPECT_EQ(fake.GetDeviceHandle(3, kNodeDeviceNetworkLine, &found), 0);
    EXPECT_FALSE(found);
    fake.SetDeviceHandle(3, kNodeDeviceNetworkLine, 12);
    EXPECT_EQ(fake.GetDeviceHandle(3, kNodeDeviceNetworkLine, &found), 12);
    EXPECT_TRUE(found);

    fake.RemoveFileFromCache("PROMPTS\\HELLO.WAV");
    EXPECT_THAT(fake.RemovedFiles(), ElementsAre("PROMPTS\\HELLO.WAV"));
}

}  // namespace
}  // namespace ruzd::foundation
