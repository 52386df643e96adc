#include "foundation/resource_strings.h"

#include <map>
#include <mutex>

namespace ruzd::foundation {
namespace {

struct Table {
    std::mutex lock;
    std::map<uint32_t, std::string> texts;
};

Table& TheTable() {
    static Table table;
    return table;
}

}  // namespace

void ResourceStrings::Register(uint32_t id, std::string text) {
    Table& table = TheTable();
    std::lock_guard lock(table.lock);
    table.texts[id] = std::move(text);
}

void ResourceStrings::Unregister(uint32_t id) {
    Table& table = TheTable();
    std::lock_guard lock(table.lock);
    table.texts.erase(id);
}

std::optional<std::string> ResourceStrings::Find(uint32_t id) {
    Table& table = TheTable();
    std::lock_guard lock(table.lock);
    const auto found = table.texts.find(id);
    if (found == table.texts.end()) {
        return std::nullopt;
    }
    return found->second;
}

}  // namespace ruzd::foundation
