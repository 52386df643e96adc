#include "boardsim/core/call_commands.h"

#include <chrono>
#include <cstdio>

#include "boardsim/core/line_extras.h"
#include "boardsim/core/machine.h"

namespace ruzd::boardsim {
namespace {

// How long "settle" waits for the call worker at most.
constexpr std::chrono::milliseconds kSettleLimit(5000);
constexpr size_t kMaxInformationElements = sizeof(IE_BLK::data);

std::string NoDevice(const std::string& word) {
    return Err("no open device " + word);
}

// "call <device> [<dnis> [<ani>]] [ie=<hex>] [name=<name>] [type=<n>]"
std::string Call(Machine& machine, const std::vector<Word>& words) {
    const std::string usage =
        "usage: call <device> [<dnis> [<ani>]] [ie=<hex>] [name=<name>] [type=<n>]";
    if (words.size() < 2)
        return Err(usage);
    const int32_t device = DeviceHandle(machine, words[1].text);
    if (device < 0)
        return NoDevice(words[1].text);
    IncomingCall call;
    size_t numbers = 0;
    for (size_t i = 2; i < words.size(); ++i) {
        const std::string& word = words[i].text;
        const size_t equals = word.find('=');
        if (equals == std::string::npos) {
            if (numbers == 2)
                return Err(usage);
            (numbers++ == 0 ? call.dnis : call.ani) = word;
            continue;
        }
        const std::string key = word.substr(0, equals);
        const std::string value = word.substr(equals + 1);
        if (key == "ie") {
            std::optional<std::vector<uint8_t>> bytes = HexBytes(value);
            if (!bytes || bytes->size() > kMaxInformationElements)
                return Err("ie= takes at most 260 bytes in hex");
            call.ies = std::move(*bytes);
        } else if (key == "name") {
            call.calling_name = value;
        } else if (key == "type") {
            const std::optional<int64_t> type = Number(value);
            if (!type || *type < 0 || *type > 255)
                return Err("type= takes a number 0 to 255");
            call.info_type = static_cast<int32_t>(*type);
        } else {
            return Err(usage);
        }
    }
    if (call.dnis.size() > CallModel::kMaxNumber || call.ani.size() > CallModel::kMaxNumber ||
        call.calling_name.size() > CallModel::kMaxNumber)
        return Err("numbers and names have at most 32 characters");
    const std::optional<CallModel::Offer> offer = machine.calls().Incoming(device, std::move(call));
    if (!offer)
        return Err(words[1].text + " is not a line device");
    return Ok("crn=" + std::to_string(offer->crn) + (offer->presented ? "" : " held"));
}

std::string HangUp(Machine& machine, const std::vector<Word>& words) {
    if (words.size() < 2 || words.size() > 3)
        return Err("usage: hangup <device> [<cause>]");
    const int32_t device = DeviceHandle(machine, words[1].text);
    const std::optional<int64_t> cause =
        words.size() == 3 ? Number(words[2].text) : std::optional<int64_t>(CAUSE_NORMAL_CLEARING);
    if (device < 0)
        return NoDevice(words[1].text);
    if (!cause)
        return Err("bad cause");
    const std::optional<CRN> crn = machine.calls().HangUp(device, static_cast<int32_t>(*cause));
    if (!crn)
        return Err("no call on " + words[1].text);
    return Ok("crn=" + std::to_string(*crn));
}

// "<outcome> [<cause>] [ext=<hex>]" from the word at index on.
std::optional<Outcome> ReadOutcome(std::vector<Word> words, size_t index, bool pending_allowed) {
    std::vector<uint8_t> extension;
    if (words.size() > index + 1 && words.back().text.starts_with("ext=")) {
        std::optional<std::vector<uint8_t>> bytes = HexBytes(words.back().text.substr(4));
        if (!bytes || bytes->size() > kMaxParameterBytes)
            return std::nullopt;
        extension = ParameterBlockBytes(*bytes);
        words.pop_back();
    }
    if (words.size() <= index || words.size() > index + 2)
        return std::nullopt;
    const std::optional<Outcome::Kind> kind = OutcomeKind(words[index].text, pending_allowed);
    if (!kind)
        return std::nullopt;
    Outcome outcome{*kind, 0, std::move(extension)};
    if (words.size() == index + 2) {
        const std::optional<int64_t> cause = Number(words[index + 1].text);
        if (!cause || *cause <= 0 || *cause > 127)
            return std::nullopt;
        outcome.cause = static_cast<int32_t>(*cause);
    }
    return outcome;
}

std::string Dialout(Machine& machine, const std::vector<Word>& words) {
    const std::optional<Outcome> outcome = ReadOutcome(words, 2, true);
    if (words.size() < 2 || !outcome)
        return Err("usage: dialout <device>|* connect|busy|noanswer|fail|pending [<cause>]");
    std::string device;
    if (words[1].text != "*") {
        const int32_t handle = DeviceHandle(machine, words[1].text);
        if (handle >= 0) {
            device = machine.devices().Find(handle)->device;
        } else if (machine.devices().Exists(words[1].text)) {
            device = words[1].text;
        } else {
            return Err("no device " + words[1].text);
        }
    }
    machine.calls().SetDialout(device, *outcome);
    return Ok();
}

std::string FarEnd(Machine& machine, const std::vector<Word>& words) {
    const std::optional<Outcome> outcome = ReadOutcome(words, 2, false);
    if (words.size() < 2 || !outcome)
        return Err("usage: farend <device> connect|busy|noanswer|fail [<cause>]");
    const int32_t device = DeviceHandle(machine, words[1].text);
    if (device < 0)
        return NoDevice(words[1].text);
    const std::optional<CRN> crn = machine.calls().SettleOutgoing(device, *outcome);
    if (!crn)
        return Err("no outgoing call waits on " + words[1].text);
    return Ok("crn=" + std::to_string(*crn));
}

std::string CallControlLibrary(Machine& machine, const std::vector<Word>& words) {
    if (words.size() != 3 || (words[2].text != "ok" && words[2].text != "fail"))
        return Err("usage: cclib <library> ok|fail");
    if (GlobalCallLibrary::LibraryId(words[1].text) == GC_NO_CCLIB)
        return Err("no library " + words[1].text);
    machine.globalcall().SetFailing(words[1].text, words[2].text == "fail");
    return Ok();
}

std::string Worker(Machine& machine, const std::vector<Word>& words) {
    if (words.size() == 2 && words[1].text == "hold") {
        machine.calls().worker().Hold();
        return Ok();
    }
    if (words.size() == 2 && words[1].text == "run") {
        machine.calls().worker().Run();
        return Ok();
    }
    return Err("usage: worker hold|run");
}

std::string Settle(Machine& machine) {
    CallWorker& worker = machine.calls().worker();
    if (worker.held())
        return Err("worker held");
    return worker.Settle(kSettleLimit) ? Ok() : Err("worker busy");
}

}  // namespace

std::optional<std::string> ExecuteCallCommand(Machine& machine, const std::vector<Word>& words) {
    const std::string& command = words[0].text;
    if (command == "call")
        return Call(machine, words);
    if (command == "hangup")
        return HangUp(machine, words);
    if (command == "dialout")
        return Dialout(machine, words);
    if (command == "farend")
        return FarEnd(machine, words);
    if (command == "cclib")
        return CallControlLibrary(machine, words);
    if (command == "worker")
        return Worker(machine, words);
    if (command == "settle" && words.size() == 1)
        return Settle(machine);
    return std::nullopt;
}

std::optional<std::string> QueryCalls(Machine& machine, const std::vector<Word>& words) {
    const std::string& what = words[1].text;
    if (what == "call" && words.size() == 3) {
        const std::optional<int64_t> crn = Number(words[2].text);
        const std::optional<CallRecord> call =
            crn ? machine.calls().Find(static_cast<CRN>(*crn)) : std::nullopt;
        if (!call)
            return Err("no call " + words[2].text);
        const char* name = machine.devices().NameOf(call->line);
        return Ok("crn=" + std::to_string(call->crn) + " line=" + std::to_string(call->line) +
                  " device=" + (name != nullptr ? name : "") + " direction=" +
                  (call->outgoing ? "out" : "in") + " state=" + CallStateName(call->state) +
                  " presented=" + (call->presented ? "1" : "0") + " dnis=" + call->dnis +
                  " ani=" + call->ani + " cause=" + std::to_string(call->cause) +
                  " ies=" + HexText(call->ies) + " destination=" + call->destination + " ext=" +
                  HexText(call->extension) + " makecall=" + HexText(call->makecall_block));
    }
    if (what == "line" && words.size() == 3) {
        const int32_t device = DeviceHandle(machine, words[2].text);
        const std::optional<CallModel::LineView> view =
            device >= 0 ? machine.calls().ViewLine(device) : std::nullopt;
        if (!view)
            return Err("no line device " + words[2].text);
        return Ok("line=" + std::to_string(device) + " waiting=" + (view->waiting ? "1" : "0") +
                  " call=" + std::to_string(view->call) +
                  " unpresented=" + std::to_string(view->unpresented) + " bchannel=" +
                  std::to_string(view->channel_state) + machine.line_extras().Describe(device));
    }
    if (what == "globalcall" && words.size() == 2)
        return Ok(machine.globalcall().Describe());
    return std::nullopt;
}

}  // namespace ruzd::boardsim
