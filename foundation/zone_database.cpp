#include "foundation/zone_database.h"

#include <optional>
#include <set>
#include <sstream>
#include <vector>

namespace ruzd::foundation {
namespace {

std::string FoldAscii(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return folded;
}

// The zone id of a line: between the first two double quotes when the line starts with one,
// else everything before the first comma. None for a line without either end.
std::optional<std::string> ZoneIdOfLine(std::string_view line) {
    if (!line.empty() && line.front() == '"') {
        const size_t closing = line.find('"', 1);
        if (closing == std::string_view::npos) {
            return std::nullopt;
        }
        return std::string(line.substr(1, closing - 1));
    }
    const size_t comma = line.find(',');
    if (comma == std::string_view::npos) {
        return std::nullopt;
    }
    return std::string(line.substr(0, comma));
}

std::vector<std::string> SplitAtTabs(std::string_view line) {
    std::vector<std::string> fields;
    for (;;) {
        const size_t tab = line.find('\t');
        fields.emplace_back(line.substr(0, tab));
        if (tab == std::string_view::npos) {
            return fields;
        }
        line.remove_prefix(tab + 1);
    }
}

}  // namespace

ZoneDatabase& ZoneDatabase::Instance() {
    // Never destroyed, like the other process-wide tables reached from any thread.
    static ZoneDatabase* database = new ZoneDatabase();
    return *database;
}

bool ZoneDatabase::Load(const std::string& text) {
    boost::local_time::tz_database database;
    std::set<std::string> ids;
    try {
        std::istringstream in(text);
        std::string line;
        std::getline(in, line);  // the header
        database.load_from_stream(in);

        std::istringstream again(text);
        std::getline(again, line);
        while (std::getline(again, line)) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            if (line.empty()) {
                continue;
            }
            if (std::optional<std::string> id = ZoneIdOfLine(line)) {
                ids.insert(std::move(*id));
            }
        }
    } catch (const std::exception&) {
        return false;
    }
    std::lock_guard lock(lock_);
    database_ = std::move(database);
    ids_.clear();
    index_by_folded_id_.clear();
    zones_.clear();
    int32_t index = 0;
    for (const std::string& id : ids) {
        ids_[++index] = id;
        index_by_folded_id_[FoldAscii(id)] = index;
    }
    return true;
}

void ZoneDatabase::LoadMapping(const std::string& text) {
    std::lock_guard lock(lock_);
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            continue;
        }
        const std::vector<std::string> fields = SplitAtTabs(line);
        if (fields.size() == 3) {
            mapping_[fields[0]][fields[1]] = fields[2];
        }
    }
}

int32_t ZoneDatabase::IndexOfLocked(std::string_view zone_id) const {
    const auto it = index_by_folded_id_.find(FoldAscii(zone_id));
    return it != index_by_folded_id_.end() ? it->second : -1;
}

int32_t ZoneDatabase::IndexOf(std::string_view zone_id) const {
    std::lock_guard lock(lock_);
    return IndexOfLocked(zone_id);
}

std::string ZoneDatabase::IdOf(int32_t index) const {
    std::lock_guard lock(lock_);
    const auto it = ids_.find(index);
    return it != ids_.end() ? it->second : std::string();
}

std::map<int32_t, std::string> ZoneDatabase::Ids() const {
    std::lock_guard lock(lock_);
    return ids_;
}

boost::local_time::time_zone_ptr ZoneDatabase::Zone(int32_t index) {
    std::lock_guard lock(lock_);
    if (const auto cached = zones_.find(index); cached != zones_.end()) {
        return cached->second;
    }
    const auto id = ids_.find(index);
    if (id == ids_.end()) {
        return nullptr;
    }
    boost::local_time::time_zone_ptr zone = database_.time_zone_from_region(id->second);
    zones_[index] = zone;
    return zone;
}

int32_t ZoneDatabase::IndexForRegion(const std::string& windows_zone_name,
                                     const std::string& territory) const {
    std::lock_guard lock(lock_);
    const auto name = mapping_.find(windows_zone_name);
    if (name == mapping_.end()) {
        return -1;
    }
    auto entry = name->second.find(territory);
    if (entry == name->second.end()) {
        entry = name->second.find("001");
    }
    return entry != name->second.end() ? IndexOfLocked(entry->second) : -1;
}

bool ZoneDatabase::MapsName(const std::string& windows_zone_name) const {
    std::lock_guard lock(lock_);
    return mapping_.count(windows_zone_name) != 0;
}

}  // namespace ruzd::foundation
