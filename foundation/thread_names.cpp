#include "foundation/thread_names.h"

#include <atomic>
#include <unordered_map>

#include "platform/critical_section.h"
#include "platform/text.h"
#include "platform/thread.h"

namespace ruzd::foundation {
namespace {

struct NameMap {
    platform::CriticalSection lock;
    std::unordered_map<uint32_t, std::string> names;
};

// Never destroyed: threads may name themselves while the process is exiting.
NameMap& Map() {
    static auto* map = new NameMap();
    return *map;
}

std::atomic<uint64_t> announcements{0};

}  // namespace

void ThreadNames::Set(uint32_t thread_id, const std::string& name) {
    NameMap& map = Map();
    {
        platform::CriticalSectionLock lock(map.lock);
        if (name.empty()) {
            map.names.erase(thread_id);
            return;
        }
        auto [it, inserted] = map.names.try_emplace(thread_id, name);
        if (!inserted) {
            if (it->second == name) {
                return;
            }
            it->second = name;
        }
    }
    announcements.fetch_add(1);
    if (thread_id == platform::CurrentThreadId()) {
        platform::SetCurrentThreadSystemName(name);
    }
}

std::string ThreadNames::DisplayName(uint32_t thread_id) {
    const std::string name = Get(thread_id);
    if (name.empty()) {
        return platform::Format("Thread ID %u", thread_id);
    }
    return platform::Format("%s (Thread ID %u)", name.c_str(), thread_id);
}

std::string ThreadNames::Get(uint32_t thread_id) {
    NameMap& map = Map();
    platform::CriticalSectionLock lock(map.lock);
    const auto it = map.names.find(thread_id);
    return it != map.names.end() ? it->second : std::string();
}

void ThreadNames::Clear() {
    NameMap& map = Map();
    platform::CriticalSectionLock lock(map.lock);
    map.names.clear();
}

uint64_t ThreadNames::AnnouncementCount() {
    return announcements.load();
}

}  // namespace ruzd::foundation
