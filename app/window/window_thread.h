#pragma once

// Calls for the window's thread from any thread. The toolkit's calls belong on the thread that
// runs its loop; another thread hands its call to the loop and waits for the answer. Calls are
// taken from the window's creation (they wait for the loop to start) until its loop ends; outside
// that time nothing is handed on and the caller gets no answer, so that no thread waits for a
// loop that will not come round.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace ruzd::app::window {

// The shell: once the toolkit has started, and again when the loop has ended or the window goes.
void SetWindowTakesCalls(bool takes);
bool WindowTakesCalls();

// True on the thread that runs the toolkit.
bool OnWindowThread();

// Hands `work` to the loop; false, and the work dropped, when calls are not taken.
bool PostToWindowLoop(std::function<void()> work);

// A wait without a limit.
inline constexpr std::chrono::milliseconds kNoTimeLimit = std::chrono::milliseconds::max();

// Runs `work` on the window's thread and gives its result: at once on that thread; from another
// thread through the loop, waiting up to `patience`. None when calls are not taken, the loop ends
// before it ran the work, or does not come round in time; the work may then still run later, so it
// holds what it needs by value, never the caller's variables.
template <typename Result>
std::optional<Result> CallOnWindowThread(std::function<Result()> work,
                                         std::chrono::milliseconds patience) {
    if (OnWindowThread()) {
        return work();
    }
    struct Answer {
        std::mutex lock;
        std::condition_variable given;
        std::optional<Result> result;
    };
    auto answer = std::make_shared<Answer>();
    if (!PostToWindowLoop([answer, work = std::move(work)] {
            Result result = work();
            std::lock_guard lock(answer->lock);
            answer->result.emplace(std::move(result));
            answer->given.notify_all();
        })) {
        return std::nullopt;
    }
    // The end of the loop is seen within a look.
    constexpr std::chrono::milliseconds kLook(100);
    const auto start = std::chrono::steady_clock::now();
    std::unique_lock lock(answer->lock);
    while (!answer->result) {
        if (!WindowTakesCalls() ||
            (patience != kNoTimeLimit && std::chrono::steady_clock::now() - start >= patience)) {
            return std::nullopt;
        }
        answer->given.wait_for(lock, kLook);
    }
    return std::move(answer->result);
}

}  // namespace ruzd::app::window
