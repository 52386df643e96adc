#include "boardsim/core/media_commands.h"

#include <memory>

#include "boardsim/core/machine.h"
#include "boardsim/core/voice_files.h"

namespace ruzd::boardsim {

std::optional<MediaSource> ReadSource(const std::vector<std::string>& words) {
    MediaSource source;
    if (words.size() == 1 && words[0] == "silence")
        return source;
    if (words.size() == 2 && words[0] == "pattern") {
        const std::optional<int64_t> seed = Number(words[1]);
        if (!seed)
            return std::nullopt;
        source.kind = MediaSource::Kind::kPattern;
        source.seed = static_cast<uint32_t>(*seed);
        return source;
    }
    if (words.size() == 2 && words[0] == "file") {
        std::optional<std::vector<uint8_t>> bytes = ReadHostFile(words[1]);
        if (!bytes)
            return std::nullopt;
        source.kind = MediaSource::Kind::kFile;
        source.file = std::make_shared<const std::vector<uint8_t>>(std::move(*bytes));
        return source;
    }
    return std::nullopt;
}

std::optional<std::string> ExecuteMediaCommand(Machine& machine, const std::string& line,
                                               const std::vector<Word>& words) {
    const std::string& command = words[0].text;
    VoiceMedia& media = machine.media();
    if (command == "speed") {
        const std::optional<int64_t> factor =
            words.size() == 2 ? Number(words[1].text) : std::nullopt;
        if (!factor || *factor < 0 || *factor > 100000)
            return Err("usage: speed <factor 0 to 100000>");
        media.SetSpeed(static_cast<double>(*factor));
        machine.speech().SetSpeed(static_cast<double>(*factor));
        return Ok();
    }
    if (command == "source") {
        if (words.size() < 3)
            return Err("usage: source <device> silence|pattern <seed>|file <host path>");
        std::vector<std::string> rest{words[2].text};
        if (words.size() > 3)
            rest.push_back(Rest(line, words, 2));
        const std::optional<MediaSource> source = ReadSource(rest);
        if (!source)
            return Err("bad source");
        if (!media.SetSource(words[1].text, *source))
            return Err("no device " + words[1].text);
        return Ok();
    }
    if (command == "recordings") {
        if (words.size() != 2 || (words[1].text != "clock" && words[1].text != "control"))
            return Err("usage: recordings clock|control");
        media.SetRecordingsByControl(words[1].text == "control");
        return Ok();
    }
    if (command == "callprogress") {
        if (words.size() != 3 || !media.SetCallProgress(words[1].text, words[2].text))
            return Err(
                "usage: callprogress <device>|* connect|busy|noanswer|noringback|"
                "nodialtone|fax");
        return Ok();
    }
    if (command == "tone") {
        const std::optional<int64_t> id = words.size() == 3 ? Number(words[2].text) : std::nullopt;
        const int32_t device = words.size() == 3 ? DeviceHandle(machine, words[1].text) : -1;
        if (!id || device < 0)
            return Err("usage: tone <open device> <id>");
        if (!media.Tone(device, static_cast<int32_t>(*id)))
            return Err("tone not enabled");
        return Ok();
    }
    return std::nullopt;
}

std::optional<std::string> QueryMedia(Machine& machine, const std::vector<Word>& words) {
    if (words.size() != 3)
        return std::nullopt;
    if (words[1].text == "voice") {
        const int32_t device = DeviceHandle(machine, words[2].text);
        if (device < 0)
            return Err("no open device " + words[2].text);
        return Ok(machine.media().QueryVoice(device));
    }
    if (words[1].text == "heard") {
        std::string name = words[2].text;
        const int32_t device = DeviceHandle(machine, name);
        if (device >= 0)
            name = machine.devices().Find(device)->device;
        return Ok(machine.media().QueryHeard(name));
    }
    return std::nullopt;
}

}  // namespace ruzd::boardsim
