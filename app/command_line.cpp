#include "app/command_line.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>

#include "app/application_options.h"
#include "platform/text.h"

namespace ruzd::app {

namespace {

constexpr std::string_view kWorkingDirPrefix = "-WORKINGDIR:";
constexpr std::string_view kSleepPrefix = "-SLEEP:";

// The whole usage, one option a line; the first line, which names the program, goes before it.
constexpr const char kHelpBody[] =
    "Without a mode the program opens the window that drives the local boards.\n"
    "\n"
    "Modes:\n"
    "  -debug                  run headless in the foreground; Ctrl-C or SIGTERM stops it\n"
    "  -gui                    open a window attached to the node running as a service or\n"
    "                          headless (also beside -debug)\n"
    "  -service                run as the node's service under the service manager, or, with\n"
    "                          a verb below, install or control that service (ignored beside\n"
    "                          -debug or -gui)\n"
    "  --help, -h              print this text and end with exit status 0\n"
    "  -help, -?               show the program's own option text, in a box where a window\n"
    "                          can open and else on standard output, and end with exit\n"
    "                          status 255\n"
    "\n"
    "Options of every mode (the case of letters does not matter):\n"
    "  -workingdir:<folder>    work in this folder (a Windows path; quote the whole word when\n"
    "                          it holds blanks)\n"
    "  -sleep:<ms>             wait this many milliseconds before anything else (15000 when\n"
    "                          no number reads)\n"
    "  -w<seconds>             wait this long before taking the central server's commands\n"
    "                          (4 without -w, 40 for -w alone)\n"
    "  -d                      debug log on from the start\n"
    "  -d<level>               the same, with this trace level\n"
    "  -server:<address>       the node a -gui window attaches to (kept in the registry as\n"
    "                          \"Remote Vesmarin Address\")\n"
    "  -a                      set the Amtelco board up at start-up\n"
    "  -ab<id>                 the same, with this Amtelco board id (16 when not given)\n"
    "  -ac<1|0>                the same, with the TDM bus clock master (1, the default) or\n"
    "                          slave (0)\n"
    "  -as<1|0>                the same, with the TDM bus speed CT bus (1, the default) or\n"
    "                          SC bus (0)\n"
    "\n"
    "Service verbs and switches (after -service):\n"
    "  -install                install the service: it starts automatically and is restarted\n"
    "                          when it fails\n"
    "  U:<username>            with -install: the account the service runs as\n"
    "  P:<password>            with -install: that account's password\n"
    "  -delayedstart           with -install: start late at machine start\n"
    "  -SCL:<arguments>        with -install: the service's own arguments (-service is put\n"
    "                          in front)\n"
    "  -FAILUREACTION<n>:<a>   with -install: the n-th failure action, restart, reboot or a\n"
    "                          command, in place of the restart\n"
    "  -uninstall, -remove     remove the installed service\n"
    "  -start                  start the installed service\n"
    "  -stop                   stop it\n"
    "  -pause, -continue       pause or continue it (the node's service takes neither)\n"
    "  -console, -app, -application\n"
    "                          run the service's work in the foreground\n"
    "  -T:<ms>                 how long a verb waits for the service (5000)\n"
    "  -silent                 say nothing when a verb fails\n"
    "\n"
    "An option the program does not know is named on stderr and ignored.\n";

// The words the entry itself reads.
bool IsEntryWord(const std::string& word) {
    const std::string upper = platform::AsciiUpper(word);
    return upper == "-SERVICE" || upper == "-DEBUG" || upper == "-GUI" || IsHelpWord(word) ||
           IsUsageWord(word) || upper.starts_with(kWorkingDirPrefix) ||
           upper.starts_with(kSleepPrefix);
}

// The service framework's verbs and switches (its parser takes them after '-' or '/'; a bare
// "U:" and "P:" are made switches first).
bool IsServiceFrameworkWord(std::string_view word) {
    if (word.size() < 2 || (word.front() != '-' && word.front() != '/')) {
        return false;
    }
    const std::string flag = platform::AsciiUpper(word.substr(1));
    for (const char* verb :
         {"INSTALL", "SILENT", "START", "PAUSE", "CONTINUE", "STOP", "AUTO", "DELAYEDSTART",
          "REMOVE", "UNINSTALL", "DEBUG", "APP", "APPLICATION", "CONSOLE", "HELP", "?"}) {
        if (flag == verb) {
            return true;
        }
    }
    // The node's service keeps its own names, so "SN:", "SDN:" and "SD:" change nothing.
    for (const char* prefix : {"T:", "SCL:", "P:", "U:"}) {
        if (flag.size() > std::string_view(prefix).size() && flag.starts_with(prefix)) {
            return true;
        }
    }
    return flag.starts_with("FAILUREACTION");
}

bool IsIn(std::string_view set, char c) {
    return set.find(c) != std::string_view::npos;
}

// The application's options as the entry's own text has always told them.
constexpr const char kApplicationOptionsBlock[] =
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
    if (usage) {
        return EntryPath::kShowUsage;
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
        } else if (IsHelpWord(word)) {
            options.help = true;
        } else if (IsUsageWord(word)) {
            options.usage = true;
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
    text += kApplicationOptionsBlock;
    return text;
}

std::string TerminalLines(std::string_view text) {
    std::string lines;
    lines.reserve(text.size() + 1);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        lines += text[i] == '\r' ? '\n' : text[i];
    }
    if (!lines.empty() && lines.back() != '\n') {
        lines += '\n';
    }
    return lines;
}

bool IsHelpWord(std::string_view word) {
    return platform::EqualsIgnoreCase(word, "-help") || word == "-?";
}

std::string EntryUsageText(std::string_view programFileName) {
    const std::string name(programFileName);
    std::string text = platform::Format("Usage: %s [mode] [options]\n", name.c_str());
    text += kHelpBody;
    return text;
}

bool IsUsageWord(std::string_view word) {
    return word == "--help" || word == "-h";
}

std::vector<std::string> UnusedWordNotes(const std::vector<std::string>& words, EntryPath path) {
    std::vector<std::string> notes;
    for (const std::string& word : words) {
        if (IsEntryWord(word) || IsApplicationOption(word)) {
            continue;
        }
        const std::vector<std::string> asService = ServiceFrameworkWords({word});
        if (!IsServiceFrameworkWord(asService.front())) {
            notes.push_back("unknown option \"" + word + "\" (ignored; --help lists the options)");
        } else if (path != EntryPath::kRunService) {
            notes.push_back("\"" + word + "\" counts only after -service (ignored)");
        }
    }
    return notes;
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
