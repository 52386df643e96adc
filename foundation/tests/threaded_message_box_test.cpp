// The threaded message box with a presenter that holds each box until the test answers it.

#include "foundation/threaded_message_box.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "foundation/app_hooks.h"
#include "foundation/tests/debug_log_fixture.h"
#include "platform/message_box.h"
#include "testing/eventually.h"

namespace ruzd::foundation {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Shows one box at a time and keeps it until Answer().
class HeldPresenter {
public:
    HeldPresenter()
        : previous_(platform::SetMessageBoxPresenter(
              [this](const std::string& text, const std::string& caption, uint32_t style) {
                  return Present(text, caption, style);
              })) {}
    // A box still held is answered with its default button, so that no worker waits forever.
    ~HeldPresenter() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closing_ = true;
            changed_.notify_all();
        }
        platform::SetMessageBoxPresenter(previous_);
    }

    // Whether the box with this text comes to be shown.
    bool WaitShown(const std::string& text) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, testing::kPatience, [&] { return showing_ == text; });
    }
    void Answer(int answer) {
        std::lock_guard<std::mutex> lock(mutex_);
        answer_ = answer;
        changed_.notify_all();
    }
    std::vector<std::string> Shown() {
        std::lock_guard<std::mutex> lock(mutex_);
        return shown_;
    }

private:
    int Present(const std::string& text, const std::string& caption, uint32_t style) {
        std::unique_lock<std::mutex> lock(mutex_);
        shown_.push_back(caption + "|" + text + "|" + std::to_string(style));
        showing_ = text;
        changed_.notify_all();
        changed_.wait(lock, [&] { return answer_.has_value() || closing_; });
        const int answer = answer_.value_or(platform::DefaultButtonAnswer(style));
        answer_.reset();
        showing_.reset();
        return answer;
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<std::string> showing_;
    std::optional<int> answer_;
    bool closing_ = false;
    std::vector<std::string> shown_;
    platform::MessageBoxPresenter previous_;
};

MessageBoxAnswer NewWord() {
    return std::make_shared<std::atomic<uint32_t>>(0);
}

class ThreadedMessageBoxTest : public DebugLogTest {
protected:
    AppHooks app_{kRunModeService, "Pelwix"};
    ScopedApp installed_{app_};
};

TEST_F(ThreadedMessageBoxTest, BoxesAreShownOneAfterAnotherWithTheProgramsTitle) {
    StartDebugLog(kPrefix, 0, true, 0);
    HeldPresenter presenter;
    const MessageBoxAnswer first = NewWord();
    const MessageBoxAnswer second = NewWord();
    ThreadedMessageBox(0, "Continue?", "Question", platform::kMbYesNo, first);
    ThreadedMessageBox(0, "Board missing", "Warning", platform::kMbIconWarning, second);
    ThreadedMessageBox("No answer word");

    ASSERT_TRUE(presenter.WaitShown("Continue?"));
    EXPECT_EQ(first->load(), kMessageBoxShowing);
    EXPECT_EQ(second->load(), kMessageBoxWaiting);
    presenter.Answer(platform::kIdYes);
    ASSERT_TRUE(testing::Eventually([&] { return second->load() == kMessageBoxShowing; }));
    EXPECT_EQ(first->load(), static_cast<uint32_t>(platform::kIdYes));
    presenter.Answer(platform::kIdOk);
    ASSERT_TRUE(presenter.WaitShown("No answer word"));
    presenter.Answer(platform::kIdOk);
    StopThreadedMessageBox();  // waits for the idle worker's end
    EXPECT_EQ(second->load(), static_cast<uint32_t>(platform::kIdOk));
    EXPECT_THAT(presenter.Shown(), ElementsAre("Pelwix|Continue?|4", "Pelwix|Board missing|48",
                                               "Pelwix|No answer word|0"));

    StopDebugLog();
    std::string log;
    for (const std::string& line : LogLines("Tav12081405.deb")) {
        log += AfterThread(line) + "\n";
    }
    EXPECT_THAT(log, HasSubstr(":---------:--     1 --- GUI: Queuing ThreadedMessageBox to user: "
                               "Text='Continue?', Type=4=YESNO"));
    EXPECT_THAT(log, HasSubstr("GUI: Showing ThreadedMessageBox to user: Text='Board missing', "
                               "Type=48=OK"));
    EXPECT_THAT(log, HasSubstr("GUI: User responded to MessageBox: Text='Continue?', "
                               "Type=4=YESNO, Result=6=YES"));
}

TEST_F(ThreadedMessageBoxTest, AStopDropsTheQueueAndWritesNothingAfterIt) {
    HeldPresenter presenter;
    const MessageBoxAnswer shown = NewWord();
    const MessageBoxAnswer queued = NewWord();
    ThreadedMessageBox(0, "First", "", platform::kMbOkCancel, shown);
    ThreadedMessageBox(0, "Second", "", platform::kMbOk, queued);
    ASSERT_TRUE(presenter.WaitShown("First"));

    // The worker is inside a box: the stop does not wait for it.
    StopThreadedMessageBox();
    presenter.Answer(platform::kIdCancel);

    // Still the one worker: a box queued now is shown once the first has returned.
    const MessageBoxAnswer later = NewWord();
    ThreadedMessageBox(0, "Later", "", platform::kMbOk, later);
    ASSERT_TRUE(presenter.WaitShown("Later"));
    EXPECT_EQ(shown->load(), kMessageBoxShowing);
    EXPECT_EQ(queued->load(), kMessageBoxWaiting);
    presenter.Answer(platform::kIdOk);
    EXPECT_TRUE(testing::Eventually(
        [&] { return later->load() == static_cast<uint32_t>(platform::kIdOk); }));
    StopThreadedMessageBox();
    EXPECT_THAT(presenter.Shown(), ElementsAre("Pelwix|First|1", "Pelwix|Later|0"));
}

TEST(MessageBoxNamesTest, NamesOfTypesAndAnswers) {
    EXPECT_STREQ(MessageBoxTypeName(platform::kMbCancelTryContinue | platform::kMbIconError),
                 "CANCELTRYCONTINUE");
    EXPECT_STREQ(MessageBoxTypeName(7), "<unknown>");
    EXPECT_STREQ(MessageBoxResultName(11), "CONTINUE");
    EXPECT_STREQ(MessageBoxResultName(kMessageBoxTimedOut), "TIMEOUT");
    EXPECT_STREQ(MessageBoxResultName(12), "<unknown>");
}

}  // namespace
}  // namespace ruzd::foundation
