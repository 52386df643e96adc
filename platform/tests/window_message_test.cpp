// Window messages between processes: endpoint names, finding windows, sending with a reply,
// posting, and what a dead, hung or destroyed window does to a sender.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/event.h"
#include "platform/message_queue.h"
#include "platform/message_window.h"
#include "platform/root.h"
#include "platform/thread.h"
#include "platform/win_error.h"
#include "platform/window_endpoint.h"
#include "platform/window_message.h"
#include "testing/child_program.h"
#include "testing/temp_root.h"

namespace ruzd::platform {
namespace {

namespace fs = std::filesystem;
using ruzd::testing::ChildProgram;
using ::testing::Optional;

constexpr uint32_t kHeartbeat = 0x160F;
constexpr uint32_t kReplyTimeoutMs = 10000;

// The child that plays a window of another process; ready once its window exists.
class WindowChild : public ChildProgram {
public:
    WindowChild(const std::string& className, const std::string& title, const std::string& reply,
                bool hang = false)
        : ChildProgram("platform_message_window_child",
                       hang ? std::vector<std::string>{className, title, reply, "hang"}
                            : std::vector<std::string>{className, title, reply}) {
        EXPECT_THAT(ReadLine(), Optional(std::string("ready")));
    }
};

// A window of this process, owned by a thread of its own that answers every sent message
// with `reply` and counts what it took.
class OwnedWindow {
public:
    OwnedWindow(const std::string& className, const std::string& title, intptr_t reply)
        : thread_("WindowOwner") {
        thread_.Start([this, className, title, reply] {
            created_ = window_.Create(className, title);
            ready_.Set();
            if (!created_) {
                return;
            }
            RunMessageLoop([this, reply](Message& message) {
                ++taken_;
                if (message.id != kWmClose) {
                    second_reply_refused_ =
                        ReplyMessage(message, reply) && !ReplyMessage(message, reply + 1);
                }
            });
        });
        ready_.Wait(kInfinite);
    }
    ~OwnedWindow() { Stop(); }

    // Ends the owner's loop and waits for its thread.
    void Stop() {
        PostThreadMessage(thread_.id(), kWmQuit);
        thread_.Join();
    }

    bool created() const { return created_; }
    MessageWindow& window() { return window_; }
    int taken() const { return taken_.load(); }
    bool secondReplyRefused() const { return second_reply_refused_.load(); }
    uint32_t thread_id() const { return thread_.id(); }

private:
    MessageWindow window_;
    Thread thread_;
    Event ready_{true};
    std::atomic<bool> created_{false};
    std::atomic<int> taken_{0};
    std::atomic<bool> second_reply_refused_{false};
};

TEST(WindowEndpointName, ClassNamesFoldCaseAndEscapeEverythingButLettersDigitsAndDashes) {
    using window_endpoint::EncodeClassName;
    EXPECT_EQ(EncodeClassName("Tormbel"), EncodeClassName("TORMBEL"));
    EXPECT_THAT(EncodeClassName("Afx:Frame.1 x"), Optional(std::string("afx%3Aframe%2E1%20x")));
    EXPECT_EQ(EncodeClassName(""), std::nullopt);
    EXPECT_EQ(EncodeClassName(std::string(49, 'a')), std::nullopt);
    EXPECT_TRUE(EncodeClassName(std::string(48, 'a')).has_value());
}

TEST(WindowEndpointName, OnlyWellFormedNamesAreEndpoints) {
    using window_endpoint::ParseEndpointName;
    const auto parts = ParseEndpointName(window_endpoint::EndpointName("tormbel", 4321, 7));
    ASSERT_TRUE(parts.has_value());
    EXPECT_EQ(parts->encoded_class, "tormbel");
    EXPECT_EQ(parts->pid, 4321);
    EXPECT_EQ(parts->serial, 7u);
    for (const char* other :
         {"vesmarin.lock", "window.tormbel.12", "window..12.1", "window.tormbel.0.1",
          "window.tormbel.12.1.2", "window.tormbel.x.1", "window.tormbel.99999999999.1"}) {
        EXPECT_EQ(ParseEndpointName(other), std::nullopt) << other;
    }
}

TEST(WindowMessages, FindsAWindowOfAnotherProcessByClassInAnyCaseAndByTitle) {
    ruzd::testing::TempRoot root;
    WindowChild child("Tormbel", "Tormbel : 60s", "1");
    const WindowHandle window = FindWindow("tormbel");
    ASSERT_TRUE(window);
    EXPECT_EQ(FindWindow("TORMBEL"), window);
    EXPECT_EQ(FindWindow("Tormbel", "tormbel : 60S"), window);
    EXPECT_FALSE(FindWindow("Tormbel", "Tormbel : 59s"));
    EXPECT_FALSE(FindWindow("Glimbor"));
    EXPECT_EQ(FindWindow("", "Tormbel : 60s"), window);
    std::string title;
    EXPECT_TRUE(GetWindowText(window, title));
    EXPECT_EQ(title, "Tormbel : 60s");

    child.WriteLine("title Tormbel - PAUSED");
    EXPECT_THAT(child.ReadLine(), Optional(std::string("titled")));
    EXPECT_EQ(FindWindow("Tormbel", "Tormbel - PAUSED"), window);
    EXPECT_FALSE(FindWindow("Tormbel", "Tormbel : 60s"));
}

TEST(WindowMessages, SendWaitsForTheOwnersReplyAndCarriesBothParameters) {
    ruzd::testing::TempRoot root;
    WindowChild child("Tormbel", "Tormbel", "2");
    const WindowHandle window = FindWindow("Tormbel");
    ASSERT_TRUE(window);

    intptr_t result = -7;
    ASSERT_TRUE(SendMessageTimeout(window, kHeartbeat, 0, 0, kReplyTimeoutMs, &result));
    EXPECT_EQ(result, 2);
    EXPECT_THAT(child.ReadLine(), Optional(std::string("sent 0x160F 0 0")));

    ASSERT_TRUE(SendMessageTimeout(window, 0x47B, 12345, -9, kReplyTimeoutMs, &result));
    EXPECT_THAT(child.ReadLine(), Optional(std::string("sent 0x47B 12345 -9")));
}

TEST(WindowMessages, AMessageLeftUnansweredAnswersZero) {
    ruzd::testing::TempRoot root;
    WindowChild child("Tormbel", "Tormbel", "none");
    intptr_t result = -7;
    ASSERT_TRUE(
        SendMessageTimeout(FindWindow("Tormbel"), kHeartbeat, 0, 0, kReplyTimeoutMs, &result));
    EXPECT_EQ(result, 0);
}

TEST(WindowMessages, PostsArriveInOrderWithoutAReplyAndBeforeALaterSend) {
    ruzd::testing::TempRoot root;
    WindowChild child("Orvanthella", "Central Orvanthella", "5");
    const WindowHandle window = FindWindow("Orvanthella");
    ASSERT_TRUE(window);
    EXPECT_TRUE(PostMessage(window, kWmClose));
    EXPECT_TRUE(PostMessage(window, 0x47B, 1, 2));
    intptr_t result = 0;
    ASSERT_TRUE(SendMessageTimeout(window, kHeartbeat, 0, 0, kReplyTimeoutMs, &result));
    EXPECT_THAT(child.ReadLine(), Optional(std::string("posted 0x10 0 0")));
    EXPECT_THAT(child.ReadLine(), Optional(std::string("posted 0x47B 1 2")));
    EXPECT_THAT(child.ReadLine(), Optional(std::string("sent 0x160F 0 0")));
}

TEST(WindowMessages, AKilledOwnersLeftoverEndpointIsNotFoundAndIsRemoved) {
    ruzd::testing::TempRoot root;
    WindowChild child("Tormbel", "Tormbel", "1");
    const WindowHandle window = FindWindow("Tormbel");
    ASSERT_TRUE(window);
    const fs::path file = RootSubdir("run") / window.endpoint();
    child.Kill();
    child.Wait();
    ASSERT_TRUE(fs::exists(file)) << "a killed process leaves its endpoint behind";

    EXPECT_FALSE(FindWindow("Tormbel"));
    EXPECT_FALSE(fs::exists(file));
    EXPECT_FALSE(IsWindow(window));
    intptr_t result = -7;
    EXPECT_FALSE(SendMessageTimeout(window, kHeartbeat, 0, 0, kReplyTimeoutMs, &result));
    EXPECT_EQ(GetLastError(), kErrorInvalidWindowHandle);
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(PostMessage(window, kHeartbeat));
    EXPECT_EQ(GetLastError(), kErrorInvalidWindowHandle);
}

TEST(WindowMessages, AnEndpointNobodyListensOnIsSkippedWhileItsProcessLives) {
    ruzd::testing::TempRoot root;
    // A socket file of this (live) process that no longer listens: skipped, but left alone,
    // since its owner may still be about to use it.
    const std::string name = window_endpoint::EndpointName("tormbel", ::getpid(), 999999);
    const int fd = window_endpoint::Listen(name);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_FALSE(FindWindow("Tormbel"));
    EXPECT_TRUE(EnumWindows().empty());
    EXPECT_TRUE(fs::exists(RootSubdir("run") / name));

    WindowChild child("Tormbel", "Tormbel", "1");
    EXPECT_TRUE(FindWindow("Tormbel"));
}

TEST(WindowMessages, AHungWindowIsFoundButASendGivesUpAtItsTimeOut) {
    ruzd::testing::TempRoot root;
    WindowChild child("Tormbel", "Tormbel : 60s", "1", /*hang=*/true);
    // Its title is still answered, as Windows reads it without asking the hung thread.
    const WindowHandle window = FindWindow("Tormbel", "Tormbel : 60s");
    ASSERT_TRUE(window);
    intptr_t result = -7;
    EXPECT_FALSE(SendMessageTimeout(window, kHeartbeat, 0, 0, 200, &result));
    EXPECT_EQ(GetLastError(), kErrorTimeout);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(PostMessage(window, kHeartbeat)) << "a post never waits for the owner";
}

TEST(WindowMessages, AStoppedProcessTimesOutEvenForItsTitle) {
    ruzd::testing::TempRoot root;
    WindowChild child("Tormbel", "Tormbel", "1");
    const WindowHandle window = FindWindow("Tormbel");
    ASSERT_TRUE(window);
    child.Suspend();
    std::string title;
    EXPECT_FALSE(GetWindowText(window, title, 200));
    EXPECT_EQ(GetLastError(), kErrorTimeout);
    EXPECT_FALSE(SendMessageTimeout(window, kHeartbeat, 0, 0, 200, nullptr));
    EXPECT_EQ(GetLastError(), kErrorTimeout);
    child.Resume();
}

TEST(WindowMessages, TwoProcessesWithWindowsOfOneClassAreToldApartByTitle) {
    ruzd::testing::TempRoot root;
    WindowChild first("Tormbel", "first", "1");
    WindowChild second("Tormbel", "second", "2");
    EXPECT_EQ(EnumWindows().size(), 2u);
    intptr_t result = 0;
    ASSERT_TRUE(SendMessageTimeout(FindWindow("Tormbel", "second"), kHeartbeat, 0, 0,
                                   kReplyTimeoutMs, &result));
    EXPECT_EQ(result, 2);
    EXPECT_THAT(second.ReadLine(), Optional(std::string("sent 0x160F 0 0")));
}

TEST(WindowMessages, AWindowOfThisProcessRepliesOnceFromItsOwnersQueue) {
    ruzd::testing::TempRoot root;
    OwnedWindow owned("Pelwix", "Pelwix", 42);
    ASSERT_TRUE(owned.created());
    EXPECT_EQ(owned.window().owner_thread(), owned.thread_id());
    intptr_t result = 0;
    ASSERT_TRUE(SendMessageTimeout(FindWindow("pelwix"), 0x401, 1, 2, kReplyTimeoutMs, &result));
    EXPECT_EQ(result, 42);
    owned.Stop();
    EXPECT_EQ(owned.taken(), 1);
    EXPECT_TRUE(owned.secondReplyRefused());
}

TEST(WindowMessages, ADestroyedWindowIsGoneWithItsEndpoint) {
    ruzd::testing::TempRoot root;
    OwnedWindow owned("Pelwix", "Pelwix", 1);
    ASSERT_TRUE(owned.created());
    const WindowHandle window = FindWindow("Pelwix");
    ASSERT_TRUE(window);
    owned.window().Destroy();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(FindWindow("Pelwix"));
    EXPECT_FALSE(fs::exists(RootSubdir("run") / window.endpoint()));
    EXPECT_FALSE(SendMessageTimeout(window, 0x401, 0, 0, kReplyTimeoutMs, nullptr));
    EXPECT_EQ(GetLastError(), kErrorInvalidWindowHandle);
}

TEST(WindowMessages, AWindowWhoseThreadEndedRefusesMessages) {
    ruzd::testing::TempRoot root;
    MessageWindow window;
    {
        Thread owner("ShortLived");
        owner.Start([&window] { window.Create("Pelwix", "Pelwix"); });
        owner.Join();
    }
    ASSERT_TRUE(window.IsCreated());
    const WindowHandle handle(window.endpoint());
    EXPECT_FALSE(SendMessageTimeout(handle, 0x401, 0, 0, kReplyTimeoutMs, nullptr));
    EXPECT_EQ(GetLastError(), kErrorInvalidWindowHandle);
    EXPECT_FALSE(PostMessage(handle, 0x401));
    EXPECT_EQ(GetLastError(), kErrorInvalidWindowHandle);
}

TEST(WindowMessages, CreateRefusesBadClassNamesAndASecondCreate) {
    ruzd::testing::TempRoot root;
    MessageWindow window;
    EXPECT_FALSE(window.Create("", "x"));
    EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
    EXPECT_FALSE(window.Create(std::string(60, 'a'), "x"));
    EXPECT_EQ(GetLastError(), kErrorFilenameExcedRange);
    ASSERT_TRUE(window.Create("Pelwix", "x"));
    EXPECT_FALSE(window.Create("Pelwix", "x"));
    EXPECT_EQ(GetLastError(), kErrorAlreadyExists);
}

TEST(WindowMessages, WorkUnderARootTooDeepForASocketAddress) {
    ruzd::testing::TempDir base;
    fs::path deep = base.path();
    while (deep.string().size() < 2 * sizeof(sockaddr_un::sun_path)) {
        deep /= "a-rather-long-folder-name";
    }
    fs::create_directories(deep);
    const char* previous = std::getenv("RUZD_ROOT");
    const std::string saved = previous != nullptr ? previous : "";
    ::setenv("RUZD_ROOT", deep.c_str(), 1);
    {
        WindowChild child("Tormbel", "Tormbel", "1");
        intptr_t result = 0;
        EXPECT_TRUE(
            SendMessageTimeout(FindWindow("Tormbel"), kHeartbeat, 0, 0, kReplyTimeoutMs, &result));
        EXPECT_EQ(result, 1);
    }
    if (previous != nullptr) {
        ::setenv("RUZD_ROOT", saved.c_str(), 1);
    } else {
        ::unsetenv("RUZD_ROOT");
    }
}

}  // namespace
}  // namespace ruzd::platform
