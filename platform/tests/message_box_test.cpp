#include "platform/message_box.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "testing/temp_root.h"

namespace ruzd::platform {
namespace {

// Sends stderr to a file for the lifetime of the object.
class CapturedStderr {
public:
    CapturedStderr() : file_(dir_.path() / "stderr.txt") {
        saved_ = ::dup(STDERR_FILENO);
        const int fd = ::open(file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ::dup2(fd, STDERR_FILENO);
        ::close(fd);
    }
    ~CapturedStderr() {
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
    }

    std::vector<std::string> Lines() const {
        std::ifstream in(file_);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

private:
    ruzd::testing::TempDir dir_;
    std::filesystem::path file_;
    int saved_ = -1;
};

// Restores the default presenter whatever a test installed.
class MessageBoxTest : public ::testing::Test {
protected:
    ~MessageBoxTest() override { SetMessageBoxPresenter(nullptr); }
};

TEST(DefaultButtonAnswer, IsTheSelectedOrFirstButton) {
    const struct {
        uint32_t style;
        int answer;
    } table[] = {
        {kMbOk, kIdOk},
        {kMbOk | kMbDefaultButton2, kIdOk},  // only one button
        {kMbOkCancel, kIdOk},
        {kMbOkCancel | kMbDefaultButton2, kIdCancel},
        {kMbAbortRetryIgnore | kMbDefaultButton3, kIdIgnore},
        {kMbYesNoCancel | kMbDefaultButton3, kIdCancel},
        {kMbYesNo | kMbIconWarning, kIdYes},
        {kMbYesNo | kMbDefaultButton2 | kMbIconError, kIdNo},
        {kMbYesNo | kMbDefaultButton4, kIdYes},
        {kMbRetryCancel, kIdRetry},
        {kMbCancelTryContinue | kMbDefaultButton2, kIdTryAgain},
        {0x7, kIdOk},
    };
    for (const auto& row : table) {
        EXPECT_EQ(DefaultButtonAnswer(row.style), row.answer) << std::hex << row.style;
    }
}

TEST_F(MessageBoxTest, TheDefaultPresenterLogsOneLineAndAnswersAtOnce) {
    CapturedStderr captured;
    EXPECT_EQ(ShowMessageBox("Could not load XDSlibsc.dll\nAmtelco traffic is disabled", "Pelwix",
                             kMbOk | kMbIconError),
              kIdOk);
    EXPECT_EQ(
        ShowMessageBox("Restart now?\r\nAll calls drop.", "Pelwix", kMbYesNo | kMbDefaultButton2),
        kIdNo);
    EXPECT_EQ(ShowMessageBox("Error 30", "", kMbOk), kIdOk);
    EXPECT_EQ(captured.Lines(),
              (std::vector<std::string>{
                  "Pelwix: Could not load XDSlibsc.dll Amtelco traffic is disabled",
                  "Pelwix: Restart now? All calls drop.",
                  "Error: Error 30",
              }));
}

TEST_F(MessageBoxTest, ALaidOutTextKeepsItsLinesAndTabsHeadlessAndGoesWholeToAPresenter) {
    const std::string usage = "Usage : Tool -Aa\nwhere A\t= an address\r\nwhere B\t= a board";
    {
        CapturedStderr captured;
        EXPECT_EQ(ShowLaidOutMessageBox(usage, "Tool", kMbOkCancel | kMbDefaultButton2), kIdCancel);
        EXPECT_EQ(ShowLaidOutMessageBox("ends in a break\n", "", kMbOk), kIdOk);
        EXPECT_EQ(captured.Lines(), (std::vector<std::string>{
                                        "Tool: Usage : Tool -Aa",
                                        "where A\t= an address",
                                        "where B\t= a board",
                                        "Error: ends in a break",
                                    }));
    }
    std::string shown;
    SetMessageBoxPresenter([&](const std::string& text, const std::string&, uint32_t) {
        shown = text;
        return kIdOk;
    });
    EXPECT_EQ(ShowLaidOutMessageBox(usage, "Tool", kMbOk), kIdOk);
    EXPECT_EQ(shown, usage);
}

TEST_F(MessageBoxTest, AnInstalledPresenterAnswersAndCanBeRestored) {
    std::string seen;
    const MessageBoxPresenter previous = SetMessageBoxPresenter(
        [&](const std::string& text, const std::string& caption, uint32_t style) {
            seen = caption + "|" + text + "|" + std::to_string(style);
            return kIdCancel;
        });
    EXPECT_FALSE(previous);  // the default was in place
    EXPECT_EQ(ShowMessageBox("Really?", "Tormbel", kMbOkCancel | kMbIconWarning), kIdCancel);
    EXPECT_EQ(seen, "Tormbel|Really?|49");

    const MessageBoxPresenter replaced = SetMessageBoxPresenter(
        [](const std::string&, const std::string&, uint32_t) { return kIdRetry; });
    ASSERT_TRUE(replaced);
    EXPECT_EQ(ShowMessageBox("x", "y", kMbRetryCancel), kIdRetry);
    SetMessageBoxPresenter(replaced);
    EXPECT_EQ(ShowMessageBox("x", "y", kMbOk), kIdCancel);

    SetMessageBoxPresenter(nullptr);
    CapturedStderr captured;
    EXPECT_EQ(ShowMessageBox("back", "Default", kMbYesNo), kIdYes);
    EXPECT_EQ(captured.Lines(), std::vector<std::string>{"Default: back"});
}

TEST_F(MessageBoxTest, ManyThreadsShowBoxesWhilePresentersAreReplaced) {
    std::atomic<int> shown_by_first{0};
    std::atomic<int> shown_by_second{0};
    const MessageBoxPresenter first = [&](const std::string&, const std::string&, uint32_t) {
        ++shown_by_first;
        return kIdYes;
    };
    const MessageBoxPresenter second = [&](const std::string&, const std::string&, uint32_t) {
        ++shown_by_second;
        return kIdYes;
    };
    SetMessageBoxPresenter(first);
    constexpr int kThreads = 8;
    constexpr int kBoxesEach = 200;
    std::atomic<bool> done{false};
    std::thread replacer([&] {
        for (int i = 0; !done; ++i) {
            SetMessageBoxPresenter(i % 2 == 0 ? second : first);
        }
    });
    std::vector<std::thread> callers;
    std::atomic<int> wrong_answers{0};
    for (int t = 0; t < kThreads; ++t) {
        callers.emplace_back([&] {
            for (int i = 0; i < kBoxesEach; ++i) {
                if (ShowMessageBox("question", "caption", kMbYesNo) != kIdYes) {
                    ++wrong_answers;
                }
            }
        });
    }
    for (std::thread& caller : callers) {
        caller.join();
    }
    done = true;
    replacer.join();
    EXPECT_EQ(wrong_answers, 0);
    EXPECT_EQ(shown_by_first + shown_by_second, kThreads * kBoxesEach);
}

// A presenter waiting for its user holds up neither the replacement of the presenter nor boxes
// shown from inside it.
TEST_F(MessageBoxTest, AWaitingPresenterBlocksNobodyElse) {
    std::promise<void> user_answers;
    std::shared_future<void> answered = user_answers.get_future().share();
    std::promise<void> showing;
    SetMessageBoxPresenter([&, answered](const std::string& text, const std::string&, uint32_t) {
        if (text == "nested") {
            return kIdOk;
        }
        showing.set_value();
        answered.wait();
        return ShowMessageBox("nested", "inner", kMbOk) == kIdOk ? kIdNo : kIdCancel;
    });
    auto waiting =
        std::async(std::launch::async, [] { return ShowMessageBox("Stop?", "Pelwix", kMbYesNo); });
    showing.get_future().wait();

    SetMessageBoxPresenter([](const std::string&, const std::string&, uint32_t) { return kIdOk; });
    EXPECT_EQ(ShowMessageBox("meanwhile", "other thread", kMbOkCancel), kIdOk);

    user_answers.set_value();
    // The nested box went to the presenter installed meanwhile; the waiting call finished with
    // the presenter it started with.
    EXPECT_EQ(waiting.get(), kIdNo);
}

TEST_F(MessageBoxTest, DefaultLinesOfSeveralThreadsNeverMix) {
    CapturedStderr captured;
    constexpr int kThreads = 8;
    constexpr int kBoxesEach = 50;
    const std::string long_text(3000, 'x');
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kBoxesEach; ++i) {
                ShowMessageBox(long_text, "T" + std::to_string(t), kMbOk);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    const std::vector<std::string> lines = captured.Lines();
    ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kBoxesEach));
    for (const std::string& line : lines) {
        const size_t colon = line.find(": ");
        ASSERT_NE(colon, std::string::npos) << line.substr(0, 40);
        EXPECT_EQ(line.substr(colon + 2), long_text);
    }
}

}  // namespace
}  // namespace ruzd::platform

namespace ruzd::platform {
namespace {

TEST_F(MessageBoxTest, ADetachedBoxLeavesTheCallerFreeWhileTheUserThinks) {
    std::promise<void> userAnswers;
    std::shared_future<void> answered = userAnswers.get_future().share();
    std::promise<std::string> shown;
    std::promise<void> done;
    SetMessageBoxPresenter(
        [&, answered](const std::string& text, const std::string& caption, uint32_t) {
            shown.set_value(caption + ": " + text);
            answered.wait();
            done.set_value();
            return kIdOk;
        });
    // Returns although the presenter waits for an answer that only comes below.
    ShowMessageBoxDetached("Please upgrade.", "Pelwix", kMbOk);
    EXPECT_EQ(shown.get_future().get(), "Pelwix: Please upgrade.");
    userAnswers.set_value();
    done.get_future().wait();
}

}  // namespace
}  // namespace ruzd::platform
