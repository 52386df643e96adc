#include "boardsim/core/aculab_commands.h"

#include "boardsim/core/machine.h"

namespace ruzd::boardsim {
namespace {

// "acuevent <call handle> <state> [value=<n>] [stream=<s> slot=<t>] [valid=0|1]": the details
// go with the event when it names a stream and slot or a validity (valid unless said).
std::string PutCallEvent(Machine& machine, const std::vector<Word>& words) {
    const std::string usage =
        "usage: acuevent <call handle> <state> [value=<n>] [stream=<s> slot=<t>] [valid=0|1]";
    const std::optional<int64_t> handle = words.size() >= 3 ? Number(words[1].text) : std::nullopt;
    const std::optional<int64_t> state = words.size() >= 3 ? Number(words[2].text) : std::nullopt;
    if (!handle || !state)
        return Err(usage);
    AculabEvents::CallEvent event{static_cast<int32_t>(*handle), static_cast<int32_t>(*state), 0};
    std::optional<int64_t> stream;
    std::optional<int64_t> slot;
    std::optional<int64_t> valid;
    for (size_t i = 3; i < words.size(); ++i) {
        const std::string& word = words[i].text;
        const size_t equals = word.find('=');
        const std::optional<int64_t> number =
            equals == std::string::npos ? std::nullopt : Number(word.substr(equals + 1));
        const std::string key = word.substr(0, equals);
        if (!number)
            return Err(usage);
        if (key == "value")
            event.value = static_cast<int32_t>(*number);
        else if (key == "stream")
            stream = number;
        else if (key == "slot")
            slot = number;
        else if (key == "valid" && (*number == 0 || *number == 1))
            valid = number;
        else
            return Err(usage);
    }
    if (stream.has_value() != slot.has_value())
        return Err(usage);
    if (!machine.aculab_calls().CallOf(event.handle))
        return Err("no Aculab call " + words[1].text);
    std::optional<AculabEvents::CallDetails> details;
    if (stream || valid) {
        details = AculabEvents::CallDetails{static_cast<int32_t>(valid.value_or(1)),
                                            static_cast<int32_t>(stream.value_or(0)),
                                            static_cast<int32_t>(slot.value_or(0))};
    }
    machine.aculab_events().PutCallEvent(event, details);
    return Ok();
}

bool IsAculabCard(Machine& machine, const std::string& serial) {
    for (const BoardConfig::AculabCard& card : machine.aculab().Cards()) {
        if (card.serial == serial)
            return true;
    }
    return false;
}

}  // namespace

std::optional<std::string> QueryAculab(Machine& machine, const std::vector<Word>& words) {
    const std::string& what = words[1].text;
    if (what != "acuport" && what != "acucall" && what != "prosody")
        return std::nullopt;
    const std::optional<int64_t> number = words.size() == 3 ? Number(words[2].text) : std::nullopt;
    if (!number)
        return Err("usage: query " + what + " <number>");
    const auto id = static_cast<int32_t>(*number);
    if (what == "acuport") {
        const std::optional<std::string> port = machine.aculab_calls().DescribePort(id);
        return port ? Ok(*port) : Err("no Aculab port " + words[2].text);
    }
    if (what == "acucall") {
        const std::optional<std::string> call = machine.aculab_calls().DescribeCall(id);
        return call ? Ok(*call) : Err("no Aculab call " + words[2].text);
    }
    return Ok(machine.prosody().Describe(id));
}

std::optional<std::string> ExecuteAculabCommand(Machine& machine, const std::string& line,
                                                const std::vector<Word>& words) {
    const std::string& command = words[0].text;
    if (command == "acuevent")
        return PutCallEvent(machine, words);
    if (command == "acusys") {
        const std::optional<int64_t> kind =
            words.size() == 2 || words.size() == 3 ? Number(words[1].text) : std::nullopt;
        if (!kind || *kind < 0)
            return Err("usage: acusys <kind> [<serial>]");
        machine.aculab_events().PutSystemNotification(
            {static_cast<uint32_t>(*kind), words.size() == 3 ? words[2].text : std::string()});
        return Ok();
    }
    if (command != "iptnotify" && command != "iptstats" && command != "acustatus")
        return std::nullopt;
    if (words.size() < 3 || !IsAculabCard(machine, words[1].text))
        return Err(words.size() < 3 ? "usage: " + command + " <serial> ..."
                                    : "no Aculab card " + words[1].text);
    const std::string& serial = words[1].text;
    if (command == "acustatus") {
        const size_t start = line.find_first_not_of(" \t", words[1].end);
        machine.aculab_events().SetStatus(serial, line.substr(start));
        return Ok();
    }
    if (command == "iptnotify") {
        const std::optional<int64_t> value =
            words.size() == 3 ? Number(words[2].text) : std::nullopt;
        if (!value)
            return Err("usage: iptnotify <serial> <value>");
        machine.aculab_events().SetNotification(serial, static_cast<int32_t>(*value));
        return Ok();
    }
    AculabEvents::Statistics statistics;
    if (words.size() != 8)
        return Err("usage: iptstats <serial> <six counters>");
    for (size_t i = 0; i < 6; ++i) {
        const std::optional<int64_t> counter = Number(words[i + 2].text);
        if (!counter || *counter < 0)
            return Err("usage: iptstats <serial> <six counters>");
        statistics.counters[i] = static_cast<uint32_t>(*counter);
    }
    machine.aculab_events().SetStatistics(serial, statistics);
    return Ok();
}

}  // namespace ruzd::boardsim
