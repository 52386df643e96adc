#include "boardsim/core/control_commands.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "boardsim/core/machine.h"
#include "telephony/vendorapi/vendor_api.h"

namespace ruzd::boardsim {
namespace {

struct Word {
    std::string text;
    size_t end;  // offset just past the word in the line
};

std::vector<Word> Split(const std::string& line) {
    std::vector<Word> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            words.push_back({line.substr(start, i - start), i});
    }
    return words;
}

std::optional<int64_t> Number(std::string_view text) {
    bool negative = false;
    if (!text.empty() && text[0] == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    int64_t value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size())
        return std::nullopt;
    return negative ? -value : value;
}

std::optional<std::vector<uint8_t>> HexBytes(std::string_view text) {
    if (text.size() % 2 != 0)
        return std::nullopt;
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < text.size(); i += 2) {
        uint8_t byte = 0;
        const auto [ptr, ec] = std::from_chars(text.data() + i, text.data() + i + 2, byte, 16);
        if (ec != std::errc() || ptr != text.data() + i + 2)
            return std::nullopt;
        bytes.push_back(byte);
    }
    return bytes;
}

template <typename Record>
std::vector<uint8_t> Bytes(const Record& record) {
    std::vector<uint8_t> bytes(sizeof(Record));
    std::memcpy(bytes.data(), &record, sizeof(Record));
    return bytes;
}

std::string Ok(const std::string& detail = std::string()) {
    return detail.empty() ? "OK" : "OK " + detail;
}

std::string Err(const std::string& reason) {
    return "ERR " + reason;
}

// An open device by name, or any handle handed out as "#<handle>"; -1 when there is none.
int32_t DeviceHandle(Machine& machine, const std::string& word) {
    if (word.size() > 1 && word[0] == '#') {
        const std::optional<int64_t> handle = Number(std::string_view(word).substr(1));
        if (handle && machine.devices().Find(static_cast<int32_t>(*handle)))
            return static_cast<int32_t>(*handle);
        return -1;
    }
    return machine.devices().HandleOf(word);
}

std::string Rest(const std::string& line, const std::vector<Word>& words, size_t after) {
    if (words.size() <= after + 1)
        return std::string();
    size_t start = words[after].end;
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t'))
        ++start;
    return line.substr(start);
}

const char* ServiceName(int32_t state) {
    switch (state) {
        case NCM_DLGSRV_STOPPED:
            return "stopped";
        case NCM_DLGSRV_START_PENDING:
            return "pending";
        case NCM_DLGSRV_RUNNING:
            return "running";
        default:
            return "unknown";
    }
}

std::string Query(Machine& machine, const std::vector<Word>& words) {
    if (words.size() < 2)
        return Err("query what?");
    const std::string& what = words[1].text;
    if (what == "devices" && words.size() == 2) {
        std::string detail;
        for (const DeviceInfo& device : machine.devices().OpenDevices())
            detail +=
                (detail.empty() ? "" : " ") + device.name + "=" + std::to_string(device.handle);
        return Ok(detail);
    }
    if (what == "device" && words.size() == 3) {
        const int32_t handle = DeviceHandle(machine, words[2].text);
        const std::optional<DeviceInfo> device = machine.devices().Find(handle);
        if (!device)
            return Err("no open device " + words[2].text);
        return Ok("handle=" + std::to_string(device->handle) + " name=" + device->name +
                  " subdevices=" + std::to_string(device->subdevices) +
                  " open=" + (device->open ? "1" : "0"));
    }
    if (what == "events" && words.size() == 2)
        return Ok(std::to_string(machine.events().Pending()));
    if (what == "calls" && words.size() == 3)
        return Ok(std::to_string(machine.results().Calls(words[2].text)));
    if (what == "boards" && words.size() == 2) {
        std::string detail;
        for (const char* name : {"Voice", "DTI", "MSI", "DCB", "IPT", "IPM"})
            detail += std::string(name) + "=" +
                      std::to_string(machine.devices().BoardCount(name).value_or(0)) + " ";
        return Ok(detail + "Amtelco=" + std::to_string(machine.config().amtelco_boards));
    }
    if (what == "service" && words.size() == 2)
        return Ok(ServiceName(machine.service_state()));
    if (what == "config" && words.size() == 2) {
        std::string detail = "errors=" + std::to_string(machine.config_errors().size());
        for (const std::string& error : machine.config_errors())
            detail += "; " + error;
        return Ok(detail);
    }
    return Err("unknown query");
}

std::string Execute(Machine& machine, const std::string& line) {
    const std::vector<Word> words = Split(line);
    if (words.empty())
        return Err("empty command");
    const std::string& command = words[0].text;

    if (command == "ping")
        return Ok("pong");
    if (command == "query")
        return Query(machine, words);

    if (command == "event") {
        if (words.size() < 3 || words.size() > 4)
            return Err("usage: event <device> <type> [<hex data>]");
        const int32_t device = DeviceHandle(machine, words[1].text);
        const std::optional<int64_t> type = Number(words[2].text);
        std::optional<std::vector<uint8_t>> data = std::vector<uint8_t>();
        if (words.size() == 4)
            data = HexBytes(words[3].text);
        if (device < 0)
            return Err("no open device " + words[1].text);
        if (!type || !data)
            return Err("bad type or data");
        const int32_t handle =
            machine.events().Put(device, static_cast<int32_t>(*type), std::move(*data));
        return Ok("event=" + std::to_string(handle));
    }

    if (command == "call") {
        if (words.size() < 2 || words.size() > 4)
            return Err("usage: call <device> [<dnis> [<ani>]]");
        const int32_t device = DeviceHandle(machine, words[1].text);
        if (device < 0)
            return Err("no open device " + words[1].text);
        const int32_t crn = machine.calls().Offer(device, words.size() > 2 ? words[2].text : "",
                                                  words.size() > 3 ? words[3].text : "");
        machine.events().Put(device, CCEV_OFFERED, Bytes(crn));
        return Ok("crn=" + std::to_string(crn));
    }

    if (command == "hangup") {
        if (words.size() < 2 || words.size() > 3)
            return Err("usage: hangup <device> [<cause>]");
        const int32_t device = DeviceHandle(machine, words[1].text);
        if (device < 0)
            return Err("no open device " + words[1].text);
        const std::optional<int64_t> cause = words.size() == 3
                                                 ? Number(words[2].text)
                                                 : std::optional<int64_t>(CAUSE_NORMAL_CLEARING);
        if (!cause)
            return Err("bad cause");
        const std::optional<SimulatedCall> call = machine.calls().NewestOn(device);
        if (!call)
            return Err("no call on " + words[1].text);
        machine.calls().Remove(call->crn);
        const int32_t data[2] = {call->crn, static_cast<int32_t>(*cause)};
        machine.events().Put(device, CCEV_DISCONNECTED, Bytes(data));
        return Ok("crn=" + std::to_string(call->crn));
    }

    if (command == "digits") {
        if (words.size() != 3)
            return Err("usage: digits <device> <digits>");
        const int32_t device = DeviceHandle(machine, words[1].text);
        if (device < 0)
            return Err("no open device " + words[1].text);
        for (char digit : words[2].text) {
            const DX_CST cst{DE_DIGITS, static_cast<uint16_t>(static_cast<unsigned char>(digit))};
            machine.events().Put(device, TDX_CST, Bytes(cst));
        }
        return Ok("events=" + std::to_string(words[2].text.size()));
    }

    if (command == "alarm") {
        if (words.size() != 3)
            return Err("usage: alarm <device> <alarm number>");
        const int32_t device = DeviceHandle(machine, words[1].text);
        const std::optional<int64_t> alarm = Number(words[2].text);
        if (device < 0)
            return Err("no open device " + words[1].text);
        if (!alarm)
            return Err("bad alarm number");
        machine.events().Put(device, CCEV_ALARM, Bytes(static_cast<int32_t>(*alarm)));
        return Ok();
    }

    if (command == "boardmsg" || command == "boardquery") {
        if (words.size() < 4)
            return Err("usage: " + command + " <board> <group> <type> [<text>]");
        const std::optional<int64_t> board = Number(words[1].text);
        const std::optional<int64_t> group = Number(words[2].text);
        const std::optional<int64_t> type = Number(words[3].text);
        const auto is_byte = [](const std::optional<int64_t>& v) {
            return v && *v >= 0 && *v <= 255;
        };
        if (!is_byte(board) || !is_byte(group) || !is_byte(type))
            return Err("board, group and type are numbers 0 to 255");
        BoardMessage message{static_cast<uint8_t>(*group), static_cast<uint8_t>(*type),
                             Rest(line, words, 3)};
        machine.amtelco().Post(
            command == "boardmsg" ? AmtelcoMailbox::Box::kMessages : AmtelcoMailbox::Box::kQueries,
            static_cast<uint8_t>(*board), std::move(message));
        return Ok();
    }

    if (command == "fail") {
        if (words.size() < 3 || words.size() > 4)
            return Err("usage: fail <function> <result> [<times>]");
        const std::optional<int64_t> result = Number(words[2].text);
        const std::optional<int64_t> times =
            words.size() == 4 ? Number(words[3].text) : std::optional<int64_t>(-1);
        if (!result || !times)
            return Err("bad result or count");
        machine.results().Force(words[1].text, *result, *times);
        return Ok();
    }

    if (command == "restore") {
        if (words.size() != 2)
            return Err("usage: restore <function>");
        machine.results().Restore(words[1].text);
        return Ok();
    }

    if (command == "service") {
        if (words.size() != 2)
            return Err("usage: service stopped|pending|running");
        if (words[1].text == "stopped") {
            machine.set_service_state(NCM_DLGSRV_STOPPED);
        } else if (words[1].text == "pending") {
            machine.set_service_state(NCM_DLGSRV_START_PENDING);
        } else if (words[1].text == "running") {
            machine.set_service_state(NCM_DLGSRV_RUNNING);
        } else {
            return Err("usage: service stopped|pending|running");
        }
        return Ok();
    }

    return Err("unknown command " + command);
}

}  // namespace

std::string ExecuteControlCommand(Machine& machine, const std::string& line) {
    return Execute(machine, line);
}

}  // namespace ruzd::boardsim
