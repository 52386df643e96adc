#include "foundation/debug_log.h"

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "foundation/debug_message_thread.h"
#include "platform/clock.h"
#include "platform/thread_slot.h"

namespace ruzd::foundation {
namespace {

// A thread's pin: the log it uses at the moment, if any. A cache line of its own, so that
// threads pinning at once do not contend for one.
struct alignas(64) Pin {
    std::atomic<CDebugFile*> log{nullptr};
};

void FreePin(void* pin);

// Never destroyed: static objects that log while the process exits still find them.
struct DebugLogGlobals {
    // Start and stop of the log.
    std::mutex log_mutex;
    std::shared_ptr<CDebugFile> log;
    // The same log for the pins and GetDebugFile, changed with it under the log mutex.
    std::atomic<CDebugFile*> pinnable{nullptr};

    // The pins of the living threads that used one.
    std::mutex pins_mutex;
    std::unordered_set<Pin*> pins;
    platform::ThreadSlot pin_slot{&FreePin};

    // Start and stop of the writer thread, which must not overlap.
    std::mutex thread_mutex;
    std::unique_ptr<CDebugMessageThread> writer;

    std::mutex call_id_mutex;
    std::unordered_map<int, std::unordered_map<int32_t, int32_t>> call_ids;
};

DebugLogGlobals& Globals() {
    static auto* globals = new DebugLogGlobals();
    return *globals;
}

void FreePin(void* pin) {
    {
        std::lock_guard lock(Globals().pins_mutex);
        Globals().pins.erase(static_cast<Pin*>(pin));
    }
    delete static_cast<Pin*>(pin);
}

Pin& ThisThreadsPin() {
    DebugLogGlobals& globals = Globals();
    auto* pin = static_cast<Pin*>(globals.pin_slot.Get());
    if (pin == nullptr) {
        pin = new Pin();
        {
            std::lock_guard lock(globals.pins_mutex);
            globals.pins.insert(pin);
        }
        globals.pin_slot.Set(pin);
    }
    return *pin;
}

// Returns once no thread has `log` pinned; a pin made from now on finds the log gone.
void WaitForPinsToGo(const CDebugFile* log) {
    DebugLogGlobals& globals = Globals();
    for (;;) {
        bool pinned = false;
        {
            std::lock_guard lock(globals.pins_mutex);
            for (const Pin* pin : globals.pins)
                pinned = pinned || pin->log.load() == log;
        }
        if (!pinned)
            return;
        // A pin lasts as long as one line takes to compose and queue.
        std::this_thread::yield();
    }
}

}  // namespace

PinnedDebugFile::PinnedDebugFile() {
    Pin& pin = ThisThreadsPin();
    previous_ = pin.log.load(std::memory_order_relaxed);
    // Pinned, then checked again: a stop that took the log away before the pin was seen waits
    // for it; one that took it away after is seen here.
    CDebugFile* log = Globals().pinnable.load();
    for (;;) {
        pin.log.store(log);
        CDebugFile* again = Globals().pinnable.load();
        if (again == log)
            break;
        log = again;
    }
    log_ = log;
}

PinnedDebugFile::~PinnedDebugFile() {
    ThisThreadsPin().log.store(previous_);
}

void StartDebugLog(const std::string& folder_prefix, uint32_t interval, bool enabled,
                   uint32_t max_files, uint64_t max_folder_bytes) {
    if (std::shared_ptr<CDebugFile> log = GetDebugFile()) {
        log->SetInterval(interval);
        log->SetMaxFiles(max_files);
        log->SetMaxFolderBytes(max_folder_bytes);
        log->SetFolder(folder_prefix);
        return;
    }
    auto log = std::make_shared<CDebugFile>(folder_prefix, interval, false, max_files);
    log->SetMaxFolderBytes(max_folder_bytes);
    log->SetEnabled(enabled);
    {
        std::lock_guard lock(Globals().log_mutex);
        Globals().log = std::move(log);
        Globals().pinnable.store(Globals().log.get());
    }
    StartDebugMessageThread();
    // A program that leaves without stopping the log still gets its queued lines written and
    // its file closed, and does not wait at exit for a writer thread that never ends. Registered
    // after the log's first file was opened and the system clock made, so that the
    // function-local statics the stop uses are destroyed only after it has run.
    static std::once_flag stop_at_exit;
    std::call_once(stop_at_exit, [] {
        platform::SystemClock();
        std::atexit(&StopDebugLog);
    });
}

void StopDebugLog() {
    StopDebugMessageThread();
    std::shared_ptr<CDebugFile> released;
    {
        std::lock_guard lock(Globals().log_mutex);
        Globals().pinnable.store(nullptr);
        released = std::move(Globals().log);
    }
    if (released)
        WaitForPinsToGo(released.get());
}

std::shared_ptr<CDebugFile> GetDebugFile() {
    // Through a pin rather than the log mutex, which every thread would queue for.
    const PinnedDebugFile log;
    return log.get() != nullptr ? log->shared_from_this() : nullptr;
}

void StartDebugMessageThread() {
    std::lock_guard lock(Globals().thread_mutex);
    if (Globals().writer)
        return;
    std::shared_ptr<CDebugFile> log = GetDebugFile();
    if (!log)
        return;
    auto thread = std::make_unique<CDebugMessageThread>(std::move(log));
    if (thread->Start())
        Globals().writer = std::move(thread);
}

void StopDebugMessageThread() {
    std::lock_guard lock(Globals().thread_mutex);
    if (!Globals().writer)
        return;
    Globals().writer->Stop();
    Globals().writer.reset();
}

void SetLineCallId(EDebugChannelType channel, int32_t line, int32_t call_id) {
    std::lock_guard lock(Globals().call_id_mutex);
    Globals().call_ids[channel][line] = call_id;
}

int32_t GetLineCallId(EDebugChannelType channel, int32_t line) {
    std::lock_guard lock(Globals().call_id_mutex);
    const auto& call_ids = Globals().call_ids;
    const auto by_channel = call_ids.find(channel);
    if (by_channel == call_ids.end())
        return kDebugNone;
    const auto found = by_channel->second.find(line);
    return found == by_channel->second.end() ? kDebugNone : found->second;
}

}  // namespace ruzd::foundation
