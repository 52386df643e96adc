#include "boardsim/core/board_config.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <fstream>
#include <optional>
#include <sstream>

namespace ruzd::boardsim {
namespace {

std::vector<std::string> Words(std::string_view line) {
    std::vector<std::string> words;
    std::istringstream in{std::string(line)};
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

bool ReadInt(const std::string& word, int64_t min, int64_t* value) {
    const char* begin = word.data();
    const char* end = begin + word.size();
    int base = 10;
    bool negative = false;
    if (begin != end && *begin == '-') {
        negative = true;
        ++begin;
    }
    if (end - begin > 2 && begin[0] == '0' && (begin[1] == 'x' || begin[1] == 'X')) {
        base = 16;
        begin += 2;
    }
    int64_t number = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, number, base);
    if (ec != std::errc() || ptr != end)
        return false;
    number = negative ? -number : number;
    if (number < min)
        return false;
    *value = number;
    return true;
}

bool ReadBoards(const std::vector<std::string>& words, BoardConfig::Boards* boards) {
    int64_t count = 0;
    int64_t subdevices = 0;
    if (words.size() != 3 || !ReadInt(words[1], 0, &count) || !ReadInt(words[2], 0, &subdevices))
        return false;
    boards->count = static_cast<int>(count);
    boards->subdevices = static_cast<int>(subdevices);
    return true;
}

std::string Trim(std::string_view text) {
    const size_t start = text.find_first_not_of(" \t\r");
    if (start == std::string_view::npos)
        return std::string();
    const size_t end = text.find_last_not_of(" \t\r");
    return std::string(text.substr(start, end - start + 1));
}

// "family <name> <device>; <device>...": device names may hold blanks.
bool ApplyFamily(std::string_view line, BoardConfig* config) {
    std::string rest = Trim(line);
    rest = Trim(std::string_view(rest).substr(std::string_view("family").size()));
    const size_t blank = rest.find_first_of(" \t");
    const std::string family = rest.substr(0, blank);
    std::vector<std::string> devices;
    if (blank != std::string::npos) {
        std::string_view list = std::string_view(rest).substr(blank);
        while (!list.empty()) {
            const size_t end = std::min(list.find(';'), list.size());
            const std::string device = Trim(list.substr(0, end));
            if (device.empty())
                return false;
            devices.push_back(device);
            list.remove_prefix(std::min(end + 1, list.size()));
        }
    }
    config->families.emplace_back(family, devices);
    return true;
}

// "features <play> <record> <tone> <board config> [<voice board>]".
bool ApplyFeatures(const std::vector<std::string>& words, BoardConfig* config) {
    if (words.size() != 5 && words.size() != 6)
        return false;
    int64_t values[4] = {};
    for (size_t i = 0; i < 4; ++i) {
        if (!ReadInt(words[i + 1], 0, &values[i]) || values[i] > UINT16_MAX)
            return false;
    }
    BoardConfig::VoiceFeatures features;
    features.play = static_cast<uint16_t>(values[0]);
    features.record = static_cast<uint16_t>(values[1]);
    features.tone = static_cast<uint16_t>(values[2]);
    features.board_config = static_cast<uint16_t>(values[3]);
    if (words.size() == 5) {
        config->voice_features = features;
        return true;
    }
    int64_t board = 0;
    if (!ReadInt(words[5], 1, &board) || board > INT32_MAX)
        return false;
    config->board_voice_features[static_cast<int>(board)] = features;
    return true;
}

// "slot <device> <n>": the device's transmit slot on the TDM bus (not 4095).
bool ApplySlot(const std::vector<std::string>& words, BoardConfig* config) {
    int64_t slot = 0;
    if (words.size() != 3 || !ReadInt(words[2], 0, &slot) || slot >= 4095)
        return false;
    std::string device = words[1];
    for (char& c : device)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    config->pinned_slots.emplace_back(device, static_cast<int32_t>(slot));
    return true;
}

// "aculab <serial> <capabilities> [ports=<n>] [porttype=<n>] [modules=<n>] [bus=<bits>]
// [tdm=<n>] [faststart=<n>]".
bool ApplyAculabCard(const std::vector<std::string>& words, BoardConfig* config) {
    constexpr size_t kSerialLength = 30;
    int64_t number = 0;
    if (words.size() < 3 || words[1].size() > kSerialLength || !ReadInt(words[2], 0, &number) ||
        number > 0xF)
        return false;
    BoardConfig::AculabCard card;
    card.serial = words[1];
    card.capabilities = static_cast<uint32_t>(number);
    for (size_t i = 3; i < words.size(); ++i) {
        const size_t equals = words[i].find('=');
        if (equals == std::string::npos || !ReadInt(words[i].substr(equals + 1), 0, &number) ||
            number > INT32_MAX)
            return false;
        const std::string key = words[i].substr(0, equals);
        if (key == "ports") {
            card.net_ports = static_cast<int32_t>(number);
        } else if (key == "porttype") {
            card.net_port_type = static_cast<int32_t>(number);
        } else if (key == "modules") {
            card.prosody_modules = static_cast<int32_t>(number);
        } else if (key == "bus") {
            card.bus_modes = static_cast<uint32_t>(number);
        } else if (key == "tdm") {
            card.tdm_encoding = static_cast<int32_t>(number);
        } else if (key == "faststart") {
            card.fast_start = static_cast<int32_t>(number);
        } else {
            return false;
        }
    }
    config->aculab_cards.push_back(card);
    return true;
}

// One setting; false when it cannot be read.
bool Apply(std::string_view line, const std::vector<std::string>& words, BoardConfig* config) {
    const std::string& key = words[0];
    int64_t number = 0;
    if (key == "voice")
        return ReadBoards(words, &config->voice);
    if (key == "network")
        return ReadBoards(words, &config->network);
    if (key == "station") {
        if (words.size() == 4 && ReadInt(words[3], 0, &number))
            config->station_resources = static_cast<int>(number);
        else if (words.size() != 3)
            return false;
        return ReadBoards({words.begin(), words.begin() + 3}, &config->station);
    }
    if (key == "leftover") {
        if (words.size() != 3 || !ReadInt(words[2], 0, &number))
            return false;
        std::string device = words[1];
        std::transform(device.begin(), device.end(), device.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        config->leftovers.emplace_back(device, static_cast<int>(number));
        return true;
    }
    if (key == "ip")
        return ReadBoards(words, &config->ip);
    if (key == "ipm") {
        BoardConfig::Boards media;
        if (!ReadBoards(words, &media))
            return false;
        config->ip_media = media;
        return true;
    }
    if (key == "conference") {
        std::vector<std::string> boards(words.begin(),
                                        words.begin() + std::min<size_t>(3, words.size()));
        if (words.size() == 4 && ReadInt(words[3], 0, &number)) {
            config->conference_parties = static_cast<int>(number);
        } else if (words.size() != 3) {
            return false;
        }
        return ReadBoards(boards, &config->conference);
    }
    if (key == "features")
        return ApplyFeatures(words, config);
    if (key == "amtelco") {
        if (words.size() != 2 || !ReadInt(words[1], 0, &number))
            return false;
        config->amtelco_boards = static_cast<int>(number);
        return true;
    }
    if (key == "service") {
        if (words.size() != 2)
            return false;
        if (words[1] == "stopped") {
            config->service_state = 1;
        } else if (words[1] == "pending") {
            config->service_state = 2;
        } else if (words[1] == "running") {
            config->service_state = 4;
        } else {
            return false;
        }
        return true;
    }
    if (key == "address") {
        if (words.size() != 2)
            return false;
        config->default_ip = words[1];
        return true;
    }
    if (key == "bus") {
        if (words.size() != 3)
            return false;
        config->tdm_bus_type = words[1];
        config->media_type = words[2];
        return true;
    }
    if (key == "family")
        return words.size() >= 2 && ApplyFamily(line, config);
    if (key == "dialout") {
        const std::optional<Outcome::Kind> kind =
            words.size() >= 2 ? OutcomeKind(words[1], true) : std::nullopt;
        if (!kind || words.size() > 3 || (words.size() == 3 && !ReadInt(words[2], 1, &number)))
            return false;
        config->dialout = Outcome{*kind, words.size() == 3 ? static_cast<int32_t>(number) : 0, {}};
        return true;
    }
    if (key == "call_delay") {
        if (words.size() != 2 || !ReadInt(words[1], 0, &number) || number > 60000)
            return false;
        config->call_delay_ms = static_cast<int>(number);
        return true;
    }
    if (key == "speed") {
        if (words.size() != 2 || !ReadInt(words[1], 0, &number) || number > 100000)
            return false;
        config->speed = static_cast<int>(number);
        return true;
    }
    if (key == "source") {
        if (words.size() < 3)
            return false;
        // The source's words are read when the machine starts, with the device catalogue.
        config->sources.emplace_back(words[1],
                                     std::vector<std::string>(words.begin() + 2, words.end()));
        return true;
    }
    if (key == "amtelcoring") {
        config->amtelco_rings.emplace_back(words.begin() + 1, words.end());
        return true;
    }
    if (key == "cclib") {
        if (words.size() != 3 || words[2] != "fail")
            return false;
        config->failing_cclibs.push_back(words[1]);
        return true;
    }
    if (key == "slot")
        return ApplySlot(words, config);
    if (key == "aculab")
        return ApplyAculabCard(words, config);
    if (key == "result") {
        if (words.size() != 3 || !ReadInt(words[2], INT64_MIN + 1, &number))
            return false;
        config->results[words[1]] = number;
        return true;
    }
    return false;
}

}  // namespace

BoardConfig BoardConfig::Parse(std::string_view text, std::vector<std::string>* errors) {
    BoardConfig config;
    int number = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        const std::vector<std::string> words = Words(line);
        if (words.empty() || words[0][0] == '#')
            continue;
        if (!Apply(line, words, &config) && errors != nullptr)
            errors->push_back("line " + std::to_string(number) + ": cannot read \"" +
                              std::string(line) + "\"");
    }
    return config;
}

BoardConfig BoardConfig::Load(const char* path, std::vector<std::string>* errors) {
    if (path == nullptr || *path == '\0')
        return BoardConfig();
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (errors != nullptr)
            errors->push_back(std::string("cannot read ") + path);
        return BoardConfig();
    }
    std::ostringstream text;
    text << in.rdbuf();
    return Parse(text.str(), errors);
}

std::vector<std::pair<std::string, std::vector<std::string>>> BoardConfig::InstalledFamilies()
    const {
    if (!families.empty())
        return families;
    std::vector<std::pair<std::string, std::vector<std::string>>> derived;
    if (ip.count > 0)
        derived.emplace_back("HMP_Software", std::vector<std::string>{"HMP_Software #0"});
    return derived;
}

const BoardConfig::VoiceFeatures& BoardConfig::FeaturesOfVoiceBoard(int board) const {
    const auto found = board_voice_features.find(board);
    return found != board_voice_features.end() ? found->second : voice_features;
}

}  // namespace ruzd::boardsim
