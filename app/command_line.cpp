#include "app/command_line.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>

#include "platform/text.h"

namespace ruzd::app {

namespace {

constexpr std::string_view kWorkingDirPrefix = "-WORKINGDIR:";
constexpr std::string_view kSleepPrefix = "-SLEEP:";

bool IsIn(std::string_view set, char c) {
    return set.find(c) != std::string_view::npos;
}

const char kOptionsBlock[] =
    "\r\nVesmarin extra parameters are:\n"
    "          -w timeinseconds\n"
    "                    (time to wait before informing central Orvanthella)\n"
    "          -d\n"
    "                    (put debug on by default)\n"
    "          -a\n"
    "                    (Config Ametlco at startup)\n"
    "          -ab\n"
    "                    (put Amtelco Board Id 16 will be used if not specified)\n"
    "          -ac\n"
    "                    (put Amtelco TDM Bus Clock mode : 1 for Master - 0 for Slave\n"
    "                     Config the first Client as Slave the rest as Master\n"
    "                     Master will be used if not specified)\n"
    "          -as\n"
    "                    (put Amtelco TDM Bus Speed : 1 for CTBus - 0 for SCBus\n"
    "                     CTBus will be used if not specified)\n";

}  // namespace

void SplitCommandLine(std::vector<std::string>& result, std::string_view text,
                      std::string_view separators, std::string_view quotes) {
    size_t i = 0;
    while (true) {
        while (i < text.size() && IsIn(separators, text[i])) {
            ++i;
        }
        if (i >= text.size()) {
            return;
        }
        if (IsIn(quotes, text[i])) {
            const size_t start = i + 1;
            size_t end = start;
            while (end < text.size() && !IsIn(quotes, text[end])) {
                ++end;
            }
            result.emplace_back(text.substr(start, end - start));
            i = end < text.size() ? end + 1 : end;
            continue;
        }
        const size_t start = i;
        while (i < text.size() && !IsIn(separators, text[i])) {
            ++i;
        }
        result.emplace_back(text.substr(start, i - start));
        if (i < text.size()) {
            ++i;
        }
    }
}

EntryPath EntryOptions::Path() const {
    if (help) {
        return EntryPath::kShowHelp;
    }
    if (service && !headless && !attachedWindow) {
        return EntryPath::kRunService;
    }
    return EntryPath::kRunApplication;
}

foundation::RunMode EntryOptions::RunMode() const {
    if (attachedWindow) {
        return foundation::kRunModeAttachedWindow;
    }
    if (headless) {
        return foundation::kRunModeHeadless;
    }
    return foundation::kRunModeWindow;
}

EntryOptions ParseEntryOptions(const std::vector<std::string>& words) {
    EntryOptions options;
    for (const std::string& word : words) {
        // Upper-casing touches only ASCII letters, so offsets stay those of the word itself.
        const std::string upper = platform::AsciiUpper(word);
        if (upper == "-SERVICE") {
            options.service = true;
        } else if (upper == "-DEBUG") {
            options.headless = true;
        } else if (upper == "-GUI") {
            options.attachedWindow = true;
        } else if (upper == "-HELP" || upper == "-?") {
            options.help = true;
        } else if (upper.starts_with(kWorkingDirPrefix)) {
            StartupStep step;
            step.kind = StartupStep::Kind::kEnterFolder;
            step.folder = word.substr(kWorkingDirPrefix.size());
            options.steps.push_back(std::move(step));
        } else if (upper.starts_with(kSleepPrefix)) {
            StartupStep step;
            step.kind = StartupStep::Kind::kSleep;
            step.milliseconds =
                ParseSleepMilliseconds(std::string_view(word).substr(kSleepPrefix.size()));
            options.steps.push_back(std::move(step));
        }
    }
    return options;
}

EntryOptions ParseEntryCommandLine(std::string_view commandLine) {
    std::vector<std::string> words;
    SplitCommandLine(words, commandLine, " ", "\"");
    return ParseEntryOptions(words);
}

uint32_t ParseSleepMilliseconds(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) {
        return kUnreadableSleepMs;
    }
    // The magnitude, up to one past the largest that fits.
    constexpr int64_t kLimit = int64_t{INT32_MAX} + 2;
    int64_t magnitude = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        magnitude = std::min(kLimit, magnitude * 10 + (text[i] - '0'));
    }
    const int64_t value = negative ? -magnitude : magnitude;
    if (value > INT32_MAX || value < INT32_MIN) {
        return kUnreadableSleepMs;
    }
    // A negative wait would be an unsigned wait of weeks: it means no wait.
    return value < 0 ? 0 : static_cast<uint32_t>(value);
}

std::string EntryHelpText(std::string_view programFileName) {
    const std::string name(programFileName);
    std::string text = "Possible command line options:\r\n";
    text += platform::Format("\r\n     %s", name.c_str());
    text += platform::Format("\r\n     %s  -help | -?", name.c_str());
    text += platform::Format(
        "\r\n     %s  -service -install [U:<username> P:<password>] | -uninstall | -start | "
        "-stop",
        name.c_str());
    text += kOptionsBlock;
    return text;
}

std::string EnsureServiceSwitch(std::string_view serviceCommandLine) {
    if (serviceCommandLine.empty()) {
        return "-service";
    }
    if (serviceCommandLine.find("-service") == std::string_view::npos) {
        return "-service " + std::string(serviceCommandLine);
    }
    return std::string(serviceCommandLine);
}

int ServiceExitStatus(uint32_t result) {
    if (result == 0) {
        return 0;
    }
    const int low = static_cast<int>(result & 0xFF);
    return low != 0 ? low : 1;
}

std::vector<std::string> ServiceFrameworkWords(const std::vector<std::string>& words) {
    std::vector<std::string> out;
    out.reserve(words.size());
    for (const std::string& word : words) {
        const std::string upper = platform::AsciiUpper(word.substr(0, 2));
        out.push_back(upper == "U:" || upper == "P:" ? "-" + word : word);
    }
    return out;
}

}  // namespace ruzd::app
