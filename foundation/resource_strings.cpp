#include "foundation/resource_strings.h"

#include "foundation/guarded_map.h"

namespace ruzd::foundation {
namespace {

GuardedMap<uint32_t, std::string>& TheTable() {
    static GuardedMap<uint32_t, std::string> table;
    return table;
}

}  // namespace

void ResourceStrings::Register(uint32_t id, std::string text) {
    TheTable().Set(id, std::move(text));
}

void ResourceStrings::Unregister(uint32_t id) {
    TheTable().Erase(id);
}

std::optional<std::string> ResourceStrings::Find(uint32_t id) {
    return TheTable().Find(id);
}

}  // namespace ruzd::foundation
