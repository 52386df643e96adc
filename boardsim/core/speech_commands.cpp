#include "boardsim/core/speech_commands.h"

#include "boardsim/core/machine.h"
#include "boardsim/core/media_commands.h"

namespace ruzd::boardsim {
namespace {

std::string Media(Machine& machine, const std::vector<Word>& words) {
    SpeechStreams& speech = machine.speech();
    if (words.size() == 2 && (words[1].text == "hold" || words[1].text == "run")) {
        speech.Hold(words[1].text == "hold");
        return Ok();
    }
    if (words.size() == 4 && words[1].text == "step") {
        const int32_t device = words[2].text == "*" ? -1 : DeviceHandle(machine, words[2].text);
        const std::optional<int64_t> blocks = Number(words[3].text);
        if (words[2].text != "*" && device < 0)
            return Err("no open device " + words[2].text);
        if (!blocks || *blocks < 0 || *blocks > 1000000)
            return Err("bad block count");
        return Ok("delivered=" + std::to_string(speech.Step(device, *blocks)));
    }
    return Err("usage: media hold|run|step <device>|* <blocks>");
}

std::string Audio(Machine& machine, const std::string& line, const std::vector<Word>& words) {
    if (words.size() < 3)
        return Err("usage: audio <device> counter|silence|pattern <seed>|file <host path>");
    std::optional<MediaSource> audio;
    if (words.size() != 3 || words[2].text != "counter") {
        std::vector<std::string> rest{words[2].text};
        if (words.size() > 3)
            rest.push_back(Rest(line, words, 2));
        audio = ReadSource(rest);
        if (!audio)
            return Err("bad audio");
    }
    const int32_t device = DeviceHandle(machine, words[1].text);
    if (device < 0 || !machine.speech().SetAudio(device, std::move(audio)))
        return Err("no open voice channel " + words[1].text);
    return Ok();
}

}  // namespace

std::optional<std::string> ExecuteSpeechCommand(Machine& machine, const std::string& line,
                                                const std::vector<Word>& words) {
    if (words[0].text == "media")
        return Media(machine, words);
    if (words[0].text == "audio")
        return Audio(machine, line, words);
    return std::nullopt;
}

std::optional<std::string> QuerySpeech(Machine& machine, const std::vector<Word>& words) {
    if (words.size() != 3 || words[1].text != "stream")
        return std::nullopt;
    const std::optional<std::string> answer =
        machine.speech().Query(DeviceHandle(machine, words[2].text));
    if (!answer)
        return Err("no open voice channel " + words[2].text);
    return Ok(*answer);
}

}  // namespace ruzd::boardsim
