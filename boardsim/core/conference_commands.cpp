#include "boardsim/core/conference_commands.h"

#include <cctype>
#include <cstdio>

namespace ruzd::boardsim {
namespace {

// A device by its catalogue name, or by an open device that stands for one.
std::string CatalogueName(Machine& machine, const std::string& word) {
    std::string lower = word;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (machine.devices().Exists(lower))
        return lower;
    const std::optional<DeviceInfo> info = machine.devices().Find(DeviceHandle(machine, word));
    return info ? info->device : std::string();
}

std::string Id(const ConferenceRooms::Conference& conference) {
    char text[16];
    std::snprintf(text, sizeof text, conference.device.starts_with("msi") ? "0x%X" : "%d",
                  static_cast<unsigned>(conference.id));
    return text;
}

std::string Describe(const ConferenceRooms::Conference& conference) {
    std::string parties;
    for (const ConferenceRooms::Party& party : conference.parties)
        parties += (parties.empty() ? "" : ",") + std::to_string(party.channel) + "/" +
                   std::to_string(party.selector) + "/" + std::to_string(party.attribute) + "/" +
                   std::to_string(party.listen_slot);
    return conference.device + " id=" + Id(conference) +
           " parties=" + (parties.empty() ? "none" : parties);
}

// Puts the station's hook up or down and tells an open station's handle.
std::string Hook(Machine& machine, const std::vector<Word>& words) {
    if (words.size() != 3 || (words[2].text != "off" && words[2].text != "on"))
        return Err("usage: hook <station> off|on");
    const std::string station = CatalogueName(machine, words[1].text);
    if (station.empty() || !station.starts_with("msi") || station.find('c') == std::string::npos)
        return Err("no station " + words[1].text);
    const bool off = words[2].text == "off";
    machine.stations().SetOffHook(station, off);
    const int32_t handle = machine.devices().HandleOf(station);
    if (handle < 0)
        return Ok("events=0");
    const uint16_t bits = off ? MS_HOOK_OFF_BITS : MS_HOOK_ON_BITS;
    machine.events().Put(handle, MSEV_SIGNAL, Bytes(bits));
    return Ok("events=1");
}

}  // namespace

std::optional<std::string> ExecuteConferenceCommand(Machine& machine,
                                                    const std::vector<Word>& words) {
    const std::string& command = words[0].text;
    if (command == "hook")
        return Hook(machine, words);
    if (command == "resources") {
        const std::optional<int64_t> count =
            words.size() == 3 ? Number(words[2].text) : std::nullopt;
        if (!count || *count < 0)
            return Err("usage: resources <board or DSP> <n>");
        if (!machine.conferences().SetResources(CatalogueName(machine, words[1].text),
                                                static_cast<int32_t>(*count)))
            return Err("no conference resources on " + words[1].text);
        return Ok();
    }
    return std::nullopt;
}

std::optional<std::string> QueryConferences(Machine& machine, const std::vector<Word>& words) {
    const std::string& what = words[1].text;
    if (what == "conferences" && words.size() <= 3) {
        const std::string device =
            words.size() == 3 ? CatalogueName(machine, words[2].text) : std::string();
        if (words.size() == 3 && device.empty())
            return Err("no device " + words[2].text);
        std::string detail;
        for (const ConferenceRooms::Conference& conference :
             machine.conferences().Conferences(device))
            detail += (detail.empty() ? "" : "; ") + Describe(conference);
        return Ok(detail);
    }
    if (what == "station" && words.size() == 3) {
        const std::string device = CatalogueName(machine, words[2].text);
        if (device.empty())
            return Err("no device " + words[2].text);
        return Ok(machine.stations().Describe(device));
    }
    return std::nullopt;
}

}  // namespace ruzd::boardsim
