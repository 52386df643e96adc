#include "boardsim/core/globalcall_commands.h"

#include <cstring>

#include "boardsim/core/behaviour/globalcall_line_functions.h"
#include "boardsim/core/call_event_data.h"
#include "boardsim/core/line_extras.h"
#include "boardsim/core/machine.h"

namespace ruzd::boardsim {
namespace {

// The parameters of a command's optional hex word at `index`, as a parameter block.
std::optional<std::vector<uint8_t>> ParameterWord(const std::vector<Word>& words, size_t index) {
    if (words.size() <= index)
        return ParameterBlockBytes({});
    const std::optional<std::vector<uint8_t>> bytes = HexBytes(words[index].text);
    if (!bytes || bytes->size() > kMaxParameterBytes)
        return std::nullopt;
    return ParameterBlockBytes(*bytes);
}

// "alarm <device> <number> [source=<id>]": a media device raises it only while its alarms are
// switched on.
std::string Alarm(Machine& machine, const std::vector<Word>& words) {
    const std::string usage = "usage: alarm <device> <alarm number> [source=<id>]";
    if (words.size() < 3 || words.size() > 4)
        return Err(usage);
    const int32_t device = DeviceHandle(machine, words[1].text);
    const std::optional<int64_t> alarm = Number(words[2].text);
    std::optional<int64_t> source = 0;
    if (words.size() == 4)
        source =
            words[3].text.starts_with("source=") ? Number(words[3].text.substr(7)) : std::nullopt;
    if (device < 0)
        return Err("no open device " + words[1].text);
    if (!alarm || !source)
        return Err(usage);
    LineExtras& extras = machine.line_extras();
    if (extras.IsMedia(device) && !extras.AlarmNotify(device))
        return Err("alarms of " + words[1].text + " are not switched on");
    const auto number = static_cast<int32_t>(*alarm);
    std::vector<uint8_t> data(2 * sizeof number);
    const auto source_id = static_cast<uint32_t>(*source);
    std::memcpy(data.data(), &number, sizeof number);
    std::memcpy(data.data() + sizeof number, &source_id, sizeof source_id);
    extras.NoteAlarm(device, number);
    machine.events().Put(device, CCEV_ALARM, std::move(data));
    return Ok();
}

// "modify <device> [<hex>]": the far end asks to modify the line device's call.
std::string Modify(Machine& machine, const std::vector<Word>& words) {
    if (words.size() < 2 || words.size() > 3)
        return Err("usage: modify <device> [<hex parameters>]");
    const int32_t device = DeviceHandle(machine, words[1].text);
    std::optional<std::vector<uint8_t>> block = ParameterWord(words, 2);
    if (device < 0)
        return Err("no open device " + words[1].text);
    if (!block)
        return Err("bad parameters");
    const std::optional<CallModel::LineView> line = machine.calls().ViewLine(device);
    if (!line || line->call == 0)
        return Err("no call on " + words[1].text);
    machine.line_extras().SetPendingModification(device, line->call);
    machine.events().Put(device, CCEV_MODIFY_CALL, EncodeCallEvent({line->call, 0, {}}),
                         std::move(*block));
    return Ok("crn=" + std::to_string(line->call));
}

// "extension <device> <id> [<hex>]": an extension event nobody asked for.
std::string Extension(Machine& machine, const std::vector<Word>& words) {
    if (words.size() < 3 || words.size() > 4)
        return Err("usage: extension <device> <id> [<hex parameters>]");
    const int32_t device = DeviceHandle(machine, words[1].text);
    const std::optional<int64_t> id = Number(words[2].text);
    const std::optional<std::vector<uint8_t>> block = ParameterWord(words, 3);
    if (device < 0)
        return Err("no open device " + words[1].text);
    if (!id || *id < 0 || *id > 255 || !block)
        return Err("bad id or parameters");
    const std::optional<CallModel::LineView> line = machine.calls().ViewLine(device);
    RaiseExtension(device, line ? line->call : 0, static_cast<uint8_t>(*id), *block);
    return Ok();
}

}  // namespace

std::optional<std::string> ExecuteGlobalCallCommand(Machine& machine,
                                                    const std::vector<Word>& words) {
    const std::string& command = words[0].text;
    if (command == "alarm")
        return Alarm(machine, words);
    if (command == "modify")
        return Modify(machine, words);
    if (command == "extension")
        return Extension(machine, words);
    return std::nullopt;
}

std::optional<std::string> QueryGlobalCall(Machine& machine, const std::vector<Word>& words) {
    const std::string& what = words[1].text;
    if ((what != "userinfo" && what != "qos") || words.size() != 3)
        return std::nullopt;
    const int32_t device = DeviceHandle(machine, words[2].text);
    if (device < 0)
        return Err("no open device " + words[2].text);
    if (what == "userinfo") {
        const std::optional<UserInformation> info = machine.line_extras().UserInformationOf(device);
        if (!info)
            return Err("no user information on " + words[2].text);
        return Ok("target=" + std::to_string(info->target_type) +
                  " id=" + std::to_string(info->target_id) + " block=" + HexText(info->block) +
                  " duration=" + std::to_string(info->duration));
    }
    const std::optional<std::vector<uint8_t>> record = machine.line_extras().QosReset(device);
    if (!record)
        return Err("no QoS reset on " + words[2].text);
    IPM_QOS_ALARM_STATUS status{};
    std::memcpy(&status, record->data(), std::min(record->size(), sizeof status));
    std::string text = "count=" + std::to_string(status.unAlarmCount);
    for (uint32_t i = 0; i < status.unAlarmCount && i < std::size(status.QoSData); ++i)
        text += " " + std::to_string(status.QoSData[i].eAlarmType) + ":" +
                std::to_string(status.QoSData[i].eAlarmState);
    return Ok(text);
}

}  // namespace ruzd::boardsim
