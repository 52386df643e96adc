#pragma once

// The named zones behind TimeTools' zone indexes: the zones of a file in boost's CSV format,
// numbered from 1 in the byte order of their ids, the zone objects made on first use (a missing
// one remembered as such), and a mapping of Windows zone names and territories to zone ids.
// Every call takes the one lock, so loads and lookups from several threads are serialised.

#include <boost/date_time/local_time/local_time.hpp>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace ruzd::foundation {

class ZoneDatabase {
public:
    // The one database of the process.
    static ZoneDatabase& Instance();

    // Replaces the zones with those of a file's text (a header line, then one zone a line);
    // false, changing nothing, when boost refuses the text.
    bool Load(const std::string& text);
    // Adds the lines "name<TAB>territory<TAB>zone id" of a mapping file's text.
    void LoadMapping(const std::string& text);

    int32_t IndexOf(std::string_view zone_id) const;
    std::string IdOf(int32_t index) const;
    std::map<int32_t, std::string> Ids() const;
    boost::local_time::time_zone_ptr Zone(int32_t index);
    // -1 when the mapping lacks the name, or both the territory and "001" under it, or the
    // zone mapped there is not loaded.
    int32_t IndexForRegion(const std::string& windows_zone_name,
                           const std::string& territory) const;
    bool MapsName(const std::string& windows_zone_name) const;

private:
    ZoneDatabase() = default;
    int32_t IndexOfLocked(std::string_view zone_id) const;

    mutable std::mutex lock_;
    boost::local_time::tz_database database_;
    std::map<int32_t, std::string> ids_;
    std::map<std::string, int32_t> index_by_folded_id_;
    std::map<int32_t, boost::local_time::time_zone_ptr> zones_;
    // Windows zone name, then territory, to zone id: looked up when asked, so that a zone file
    // loaded later numbers the mapped zones anew.
    std::map<std::string, std::map<std::string, std::string>> mapping_;
};

}  // namespace ruzd::foundation
