#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <memory>
#include <thread>
#include <vector>

#include "platform/child_output.h"
#include "platform/child_process.h"
#include "platform/critical_section.h"
#include "platform/event.h"
#include "platform/thread.h"
#include "platform/timed_mutex.h"
#include "testing/child_program.h"

namespace ruzd::platform {
namespace {

TEST(Event, ManualResetReleasesEveryWaiterUntilReset) {
    Event event(true);
    EXPECT_EQ(event.Wait(0), kWaitTimeout);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i) {
        waiters.emplace_back([&] {
            if (event.Wait(kInfinite) == kWaitObject0)
                ++released;
        });
    }
    event.Set();
    for (auto& t : waiters)
        t.join();
    EXPECT_EQ(released, 4);
    EXPECT_EQ(event.Wait(0), kWaitObject0);
    event.Reset();
    EXPECT_EQ(event.Wait(10), kWaitTimeout);
}

TEST(Event, AutoResetReleasesOneWaiterPerSet) {
    Event event(false);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i) {
        waiters.emplace_back([&] {
            if (event.Wait(kInfinite) == kWaitObject0)
                ++released;
        });
    }
    for (int i = 0; i < 3; ++i) {
        event.Set();
        while (released.load() < i + 1)
            std::this_thread::yield();
        EXPECT_EQ(released.load(), i + 1);
    }
    for (auto& t : waiters)
        t.join();
    EXPECT_FALSE(event.IsSet());
}

TEST(WaitForMultiple, AnyReturnsTheSignalledIndexAndAllWaitsForEvery) {
    Event a(true), b(false), c(true);
    Waitable* objects[] = {&a, &b, &c};
    EXPECT_EQ(WaitForMultiple(objects, false, 0), kWaitTimeout);
    b.Set();
    EXPECT_EQ(WaitForMultiple(objects, false, 0), 1u);
    EXPECT_FALSE(b.IsSet()) << "an auto-reset event resets when a wait takes it";

    b.Set();
    a.Set();
    EXPECT_EQ(WaitForMultiple(objects, true, 0), kWaitTimeout);
    std::thread late([&] { c.Set(); });
    EXPECT_EQ(WaitForMultiple(objects, true, kInfinite), kWaitObject0);
    late.join();
    EXPECT_FALSE(b.IsSet());
    EXPECT_TRUE(a.IsSet());
}

TEST(CriticalSection, CanBeEnteredAgainByItsOwner) {
    CriticalSection section;
    CriticalSectionLock outer(section);
    CriticalSectionLock inner(section);
    SUCCEED();
}

// A holder on another thread keeps both kinds out until it unlocks, however often it locked;
// what it wrote under the lock is seen by the next holder.
TEST(TimedMutex, GivesUpWhileAnotherThreadHoldsItAndTheRecursiveOneCounts) {
    TimedMutex plain;
    RecursiveTimedMutex recursive;
    int guarded = 0;
    Event held(true);
    Event release(true);
    std::thread holder([&] {
        std::lock_guard outer(recursive);
        std::lock_guard inner(recursive);
        std::lock_guard hold(plain);
        guarded = 1;
        held.Set();
        release.Wait(kInfinite);
    });
    held.Wait(kInfinite);
    EXPECT_FALSE(plain.try_lock());
    EXPECT_FALSE(plain.try_lock_for(std::chrono::milliseconds(5)));
    EXPECT_FALSE(recursive.try_lock_for(std::chrono::milliseconds(5)));
    release.Set();
    ASSERT_TRUE(plain.try_lock_for(std::chrono::seconds(30)));
    EXPECT_EQ(guarded, 1);
    plain.unlock();
    std::lock_guard again(recursive);
    EXPECT_TRUE(recursive.try_lock());
    recursive.unlock();
    holder.join();
}

TEST(Thread, RunsNamedWithRunFlagAndSignalsItsEnd) {
    Thread thread("a thread with a long descriptive name");
    Event go(true);
    std::atomic<uint32_t> seen_id{0};
    char system_name[16] = {};
    ASSERT_TRUE(thread.Start([&] {
        seen_id = CurrentThreadId();
        pthread_getname_np(pthread_self(), system_name, sizeof system_name);
        while (thread.ShouldRun())
            go.Wait(5);
    }));
    EXPECT_NE(thread.id(), 0u);
    EXPECT_FALSE(thread.Start([] {})) << "a thread starts once";
    EXPECT_FALSE(thread.WaitForEnd(20));
    thread.RequestStop();
    EXPECT_TRUE(thread.WaitForEnd(kInfinite));
    EXPECT_EQ(seen_id.load(), thread.id());
    EXPECT_STREQ(system_name, "a thread with a");
    EXPECT_EQ(thread.name(), "a thread with a long descriptive name");
}

TEST(Thread, MayBeDestroyedOnItsOwnThread) {
    // At once, while Start may still be returning: Start must not touch the freed object.
    for (int round = 0; round < 100; ++round) {
        Event done(true);
        auto* thread = new Thread("self-destroying");
        ASSERT_TRUE(thread->Start([&] {
            delete thread;  // must not join itself
            done.Set();
        }));
        ASSERT_EQ(done.Wait(kInfinite), kWaitObject0);
    }
}

TEST(ChildProcess, EndIsWaitableWithExitCodeOrSignal) {
    const pid_t quick =
        ruzd::testing::StartProgram({.program = "/bin/sh", .arguments = {"-c", "exit 7"}});
    ASSERT_GT(quick, 0);
    ChildProcess exited(quick);
    EXPECT_EQ(exited.ended().Wait(kInfinite), kWaitObject0);
    EXPECT_EQ(exited.ExitCode(), 7);
    EXPECT_FALSE(exited.TermSignal().has_value());

    // A child that runs until it is killed.
    const pid_t waiter =
        ruzd::testing::StartProgram({.program = "/bin/sleep", .arguments = {"600"}});
    ASSERT_GT(waiter, 0);
    ChildProcess killed(waiter);
    EXPECT_EQ(killed.ended().Wait(20), kWaitTimeout);
    ruzd::testing::SendSignal(waiter, SIGKILL);
    EXPECT_EQ(killed.ended().Wait(kInfinite), kWaitObject0);
    EXPECT_EQ(killed.TermSignal(), SIGKILL);
    EXPECT_FALSE(killed.ExitCode().has_value());
}

// The pipe of a child's output never reaches its end while the parent holds its writing ends,
// so a wait for output must also end with the child: a silent child that ends is seen at once,
// not after the wait's whole time (which would exceed the test's own).
TEST(ChildProcess, AWaitForOutputEndsWithTheChild) {
    ChildOutput output;
    ASSERT_EQ(output.Open(), ChildOutput::OpenResult::kOpened);
    ChildStart start;
    start.arguments = {"/bin/sh", "-c", "exit 0"};
    start.output = &output;
    const std::unique_ptr<ChildProcess> silent = ChildProcess::Start(start);
    ASSERT_NE(silent, nullptr);
    EXPECT_FALSE(silent->WaitForOutputOrEnd(output, 600000));
    EXPECT_TRUE(silent->HasEnded());

    start.arguments = {"/bin/sh", "-c", "echo hello; exec sleep 600"};
    const std::unique_ptr<ChildProcess> talking = ChildProcess::Start(start);
    ASSERT_NE(talking, nullptr);
    EXPECT_TRUE(talking->WaitForOutputOrEnd(output, 600000));
    char text[16] = {};
    EXPECT_EQ(output.Read(text, sizeof text), 6);
    EXPECT_STREQ(text, "hello\n");
    ruzd::testing::SendSignal(talking->pid(), SIGKILL);
    EXPECT_EQ(talking->ended().Wait(kInfinite), kWaitObject0);
}

}  // namespace
}  // namespace ruzd::platform
