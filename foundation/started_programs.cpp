#include "foundation/started_programs.h"

#include <map>
#include <mutex>

namespace ruzd::foundation {
namespace {

struct Table {
    std::mutex lock;
    std::map<uint32_t, uint32_t> processes;
};

Table& TheTable() {
    static Table table;
    return table;
}

}  // namespace

void StartedPrograms::Add(uint32_t worker_thread, uint32_t process_id) {
    Table& table = TheTable();
    std::lock_guard lock(table.lock);
    table.processes[worker_thread] = process_id;
}

void StartedPrograms::Remove(uint32_t worker_thread) {
    Table& table = TheTable();
    std::lock_guard lock(table.lock);
    table.processes.erase(worker_thread);
}

std::optional<uint32_t> StartedPrograms::Find(uint32_t worker_thread) {
    Table& table = TheTable();
    std::lock_guard lock(table.lock);
    const auto found = table.processes.find(worker_thread);
    if (found == table.processes.end()) {
        return std::nullopt;
    }
    return found->second;
}

}  // namespace ruzd::foundation
