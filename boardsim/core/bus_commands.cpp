#include "boardsim/core/bus_commands.h"

#include <cctype>
#include <cstdio>

#include "boardsim/core/behaviour/bus_devices.h"
#include "boardsim/core/machine.h"

namespace ruzd::boardsim {
namespace {

// A bus device by its catalogue name, or by an open device that stands for one.
std::optional<std::string> BusDevice(Machine& machine, const std::string& word) {
    std::string lower = word;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (machine.bus().SlotOf(lower))
        return lower;
    const int32_t handle = DeviceHandle(machine, word);
    if (handle < 0)
        return std::nullopt;
    return AnyBusDeviceOf(handle);
}

std::string Heard(Machine& machine, int32_t slot) {
    return machine.bus().TransmitterOf(slot).value_or("none");
}

std::string OutputText(const AculabSystem::Output& output) {
    if (output.mode == CONNECT_MODE)
        return "mode=2 input=" + std::to_string(output.input_stream) + ":" +
               std::to_string(output.input_slot);
    char pattern[16];
    std::snprintf(pattern, sizeof pattern, "0x%02X", static_cast<unsigned>(output.pattern));
    return std::string("mode=1 pattern=") + pattern;
}

}  // namespace

std::optional<std::string> QueryBus(Machine& machine, const std::vector<Word>& words) {
    const std::string& what = words[1].text;
    if ((what == "slot" || what == "listen") && words.size() == 3) {
        const std::optional<std::string> device = BusDevice(machine, words[2].text);
        if (!device)
            return Err("no device on the bus " + words[2].text);
        if (what == "slot")
            return Ok("slot=" + std::to_string(*machine.bus().SlotOf(*device)));
        const std::optional<int32_t> slot = machine.bus().Listening(*device);
        if (!slot)
            return Ok("slot=none hears=none");
        return Ok("slot=" + std::to_string(*slot) + " hears=" + Heard(machine, *slot));
    }
    if (what == "routes" && words.size() == 2) {
        std::string detail;
        for (const auto& [device, slot] : machine.bus().Listeners())
            detail += (detail.empty() ? "" : " ") + device + "=" + std::to_string(slot) + ":" +
                      Heard(machine, slot);
        return Ok(detail);
    }
    if (what == "aculab" && words.size() == 3) {
        const std::optional<std::string> card = machine.aculab().Describe(words[2].text);
        if (!card)
            return Err("no Aculab card " + words[2].text);
        return Ok(*card);
    }
    if (what == "output" && words.size() == 5) {
        const std::optional<int64_t> card = Number(words[2].text);
        const std::optional<int64_t> stream = Number(words[3].text);
        const std::optional<int64_t> slot = Number(words[4].text);
        if (!card || !stream || !slot)
            return Err("usage: query output <card id> <stream> <slot>");
        const std::optional<AculabSystem::Output> output =
            machine.aculab().OutputOf(static_cast<int32_t>(*card), static_cast<int32_t>(*stream),
                                      static_cast<int32_t>(*slot));
        return Ok(output ? OutputText(*output) : "none");
    }
    return std::nullopt;
}

}  // namespace ruzd::boardsim
