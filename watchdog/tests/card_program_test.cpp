// The hardware watchdog card as the watchdog drives it: a file plays the card and keeps every
// register access in order.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/stop_signals.h"
#include "platform/window_message.h"
#include "testing/eventually.h"
#include "testing/temp_root.h"
#include "testing/tormbel_program.h"

namespace ruzd::watchdog {
namespace {

using testing::Eventually;

constexpr uint32_t kHeartbeat = 0x160F;
constexpr uint32_t kQueryOpen = 0x0013;

const std::string kStart =
    "R 7 0x00\nW 3 0xB0\nW 2 0x00\nW 2 0x00\nW 3 0x74\nW 1 0xD0\nW 1 0x00\nW 3 0x36\n"
    "W 0 0xFF\nW 0 0xFF\nW 3 0xB0\nW 7 0x00\n";
const std::string kStop = "R 7 0x00\nW 3 0xB0\nW 2 0x00\nW 2 0x00\nW 7 0x00\n";
const std::string kReload = "W 3 0x74\nW 1 0xD0\nW 1 0x00\nW 3 0x36\nW 0 0xFF\nW 0 0xFF\n";

TEST(CardProgramTest, StartedTwiceKickedInTurnsAndStoppedOnPauseAndOnTheEnd) {
    testing::TempRoot root;
    testing::TempDir work;
    const std::filesystem::path card = work.path() / "card";
    std::ofstream(card).flush();
    testing::TormbelProcess dog(root.path(), work.path() / "dog", {"-I60", "-U", "-D"},
                                {"RUZD_WATCHDOG_DEVICE=" + card.string()});
    const auto accesses = [&card] { return testing::ReadWholeFile(card); };
    // Once when counting begins, once more on the first counting tick.
    ASSERT_TRUE(Eventually([&] { return accesses() == kStart + kStart; })) << accesses();

    platform::WindowHandle window = platform::FindWindow("Tormbel");
    ASSERT_TRUE(window);
    const auto send = [&window](uint32_t message) {
        intptr_t result = 0;
        EXPECT_TRUE(platform::SendMessageTimeout(window, message, 0, 0, 10000, &result));
        return result;
    };
    // Status bit 7 clear: counter 2 is cleared; the next kick reloads counters 1 and 0.
    std::string expected = kStart + kStart + "R 4 0x00\n" + kStop;
    EXPECT_EQ(send(kHeartbeat), 1);
    EXPECT_EQ(accesses(), expected);
    EXPECT_EQ(send(kHeartbeat), 1);
    expected += "R 7 0x00\n" + kReload + "W 3 0xB0\nW 7 0x00\n";
    EXPECT_EQ(accesses(), expected);
    // With bit 7 set the reload goes without the sequence register.
    std::ofstream(card, std::ios::app) << "S 4 0x80\n";
    expected += "S 4 0x80\n";
    EXPECT_EQ(send(kHeartbeat), 1);
    expected += "R 4 0x80\n" + kReload;
    EXPECT_EQ(accesses(), expected);

    EXPECT_EQ(send(kQueryOpen), 0);
    expected += kStop;
    EXPECT_EQ(accesses(), expected);
    dog.Signal(platform::SignalNumber(platform::StopSignal::kTerminate));
    EXPECT_EQ(dog.WaitForExit(), 0);
    EXPECT_EQ(accesses(), expected + kStop);
}

}  // namespace
}  // namespace ruzd::watchdog
