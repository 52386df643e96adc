#include "boardsim/core/control_commands.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "boardsim/core/aculab_commands.h"
#include "boardsim/core/amtelco_commands.h"
#include "boardsim/core/bus_commands.h"
#include "boardsim/core/call_commands.h"
#include "boardsim/core/command_words.h"
#include "boardsim/core/conference_commands.h"
#include "boardsim/core/globalcall_commands.h"
#include "boardsim/core/ip_service_commands.h"
#include "boardsim/core/machine.h"
#include "boardsim/core/media_commands.h"
#include "boardsim/core/speech_commands.h"
#include "telephony/vendorapi/vendor_api.h"

namespace ruzd::boardsim {
namespace {

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
    if (std::optional<std::string> answer = QueryCalls(machine, words))
        return *answer;
    if (std::optional<std::string> answer = QueryGlobalCall(machine, words))
        return *answer;
    if (std::optional<std::string> answer = QueryIpServices(machine, words))
        return *answer;
    if (std::optional<std::string> answer = QueryBus(machine, words))
        return *answer;
    if (std::optional<std::string> answer = QueryAculab(machine, words))
        return *answer;
    if (std::optional<std::string> answer = QueryMedia(machine, words))
        return *answer;
    if (std::optional<std::string> answer = QueryAmtelco(machine, words))
        return *answer;
    if (std::optional<std::string> answer = QueryConferences(machine, words))
        return *answer;
    if (std::optional<std::string> answer = QuerySpeech(machine, words))
        return *answer;
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

    if (command == "waitevt") {
        const std::optional<int64_t> timeout =
            words.size() == 2 && words[1].text != "asked" ? Number(words[1].text) : std::nullopt;
        if (words.size() != 2 || (words[1].text != "asked" && !timeout))
            return Err("usage: waitevt <ms>|asked");
        machine.events().OverrideWaits(
            timeout ? std::optional<int32_t>(static_cast<int32_t>(*timeout)) : std::nullopt);
        return Ok();
    }

    if (std::optional<std::string> answer = ExecuteCallCommand(machine, words))
        return *answer;
    if (std::optional<std::string> answer = ExecuteGlobalCallCommand(machine, words))
        return *answer;
    if (std::optional<std::string> answer = ExecuteMediaCommand(machine, line, words))
        return *answer;
    if (std::optional<std::string> answer = ExecuteAmtelcoCommand(machine, words))
        return *answer;
    if (std::optional<std::string> answer = ExecuteAculabCommand(machine, line, words))
        return *answer;
    if (std::optional<std::string> answer = ExecuteConferenceCommand(machine, words))
        return *answer;
    if (std::optional<std::string> answer = ExecuteSpeechCommand(machine, line, words))
        return *answer;

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
        machine.media().Digits(device, words[2].text);
        return Ok("events=" + std::to_string(words[2].text.size()));
    }

    if (command == "record") {
        if (words.size() < 3 || words.size() > 5)
            return Err("usage: record <device> <bytes> [<piece> [<header>]]");
        const int32_t device = DeviceHandle(machine, words[1].text);
        const std::optional<int64_t> bytes = Number(words[2].text);
        const std::optional<int64_t> piece =
            words.size() >= 4 ? Number(words[3].text) : std::optional<int64_t>(4096);
        const std::optional<int64_t> header =
            words.size() == 5 ? Number(words[4].text) : std::optional<int64_t>(0);
        if (device < 0)
            return Err("no open device " + words[1].text);
        constexpr int64_t kMost = 1 << 30;
        if (!bytes || !piece || !header || *bytes < 0 || *bytes > kMost || *piece < 1 ||
            *piece > kMost || *header < 0 || *header > kMost)
            return Err("bad byte count");
        machine.media().Abandon(device);
        const VoiceRecordings::Outcome outcome =
            machine.recordings().Record(device, *bytes, *piece, *header);
        if (!outcome.error.empty())
            return Err(outcome.error);
        return Ok("written=" + std::to_string(outcome.written));
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
        if (words.size() < 3 || words.size() > 5)
            return Err("usage: fail <function> <result> [<times> [<after>]]");
        const std::optional<int64_t> result = Number(words[2].text);
        const std::optional<int64_t> times =
            words.size() >= 4 ? Number(words[3].text) : std::optional<int64_t>(-1);
        const std::optional<int64_t> after =
            words.size() == 5 ? Number(words[4].text) : std::optional<int64_t>(0);
        if (!result || !times || !after || *after < 0)
            return Err("bad result or count");
        machine.results().Force(words[1].text, *result, *times, *after);
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
