#include "foundation/started_programs.h"

#include "foundation/guarded_map.h"

namespace ruzd::foundation {
namespace {

GuardedMap<uint32_t, uint32_t>& TheMap() {
    static GuardedMap<uint32_t, uint32_t> map;
    return map;
}

}  // namespace

void StartedPrograms::Add(uint32_t worker_thread, uint32_t process_id) {
    TheMap().Set(worker_thread, process_id);
}

void StartedPrograms::Remove(uint32_t worker_thread) {
    TheMap().Erase(worker_thread);
}

std::optional<uint32_t> StartedPrograms::Find(uint32_t worker_thread) {
    return TheMap().Find(worker_thread);
}

}  // namespace ruzd::foundation
