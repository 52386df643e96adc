#include "watchdog/option_reader.h"

#include <algorithm>
#include <cstdint>

#include "platform/message_box.h"
#include "platform/text.h"

namespace ruzd::watchdog {
namespace {

// The usage text its boxes show, as it always read (tabs after the letters).
constexpr const char* kUsageLines[] = {
    // One line split in two: the parentheses tell clang the missing comma is not missing.
    ("Usage : Tormbel -Bb -Aa -Oo -Qq -Ww -Ii -Kk -Xx -Nn -Ff -Gg -Pp -Ll -Ss -Tt -Rr -Dd -Ee "
     "-Ccommand"),
    "where B\t= at timeout, reboot the system",
    "where A\t= at timeout, send socket message to 'a'",
    "where O\t= client socket port number (used for sending info to event monitor)",
    "where Q\t= server socket port number (used for receiving hearbeats from other Tormbel)",
    "where W\t= num seconds to wait at initialisation",
    "where I\t= num seconds to count down (>30s)",
    "where K\t= num seconds before rebooting to stop the Orvanthella",
    "where X\t= num seconds before rebooting to start alerting user",
    "where N\t= don't store last screen in BMP",
    "where F\t= path to BTV for adding call",
    "where G\t= generate pulses each g seconds",
    "where P\t= project ID for call",
    "where L\t= language ID for call",
    "where S\t= state ID for call",
    "where T\t= telnr for call",
    "where R\t= watch only remote system",
    "where D\t= use watchdog functionality",
    "where E\t= send message to the event monitor",
    "where C\t= command to execute",
    "where U\t= don't create crash dumps",
    "where H\t= generate first chance exception log file",
    "where M\t= generate a midi dump file also on crash",
    "where V\t= peers allowed on the server socket port (a.b.c.d or a.b.c.d/n, comma separated)",
    "(Default for a = 'localhost', o = 9100, q = 9600, g = 20s, w = 0s, i = 60s and x = 0s)",
};

// The help a terminal prints, one option a line.
constexpr const char* kHelpLines[] = {
    "Usage: Tormbel -I<seconds> <action>... [option]...",
    "Watches the node: the node's heartbeat must come before the countdown runs out, else the",
    "actions follow. An option is a letter in either case after '-' or '/', its value right",
    "behind it (-I120, -Alocalhost).",
    "",
    "Countdown:",
    "  -I<seconds>    the countdown, above 30 (60)",
    "  -W<seconds>    wait this long before counting, at start and after each time-out (0)",
    "  -G<seconds>    feed itself a heartbeat whenever the time is a multiple of this (0: off)",
    "  -X<seconds>    alert the user this long before a time-out (0: off)",
    "  -K<seconds>    close the central program this long before a time-out (0: off)",
    "",
    "Actions (at least one):",
    "  -A<address>    send heartbeats to the event monitor or peer watchdog there (localhost)",
    "  -O<port>       its port (9100)",
    "  -Q<port>       take the heartbeats of peer watchdogs on this port (9600)",
    "  -B             restart the machine at a time-out",
    "  -F<folder>     the folder of the callout file PROJEC16.BTV (for -E)",
    "  -D             drive the hardware watchdog card",
    "  -C<command>    run this command at a time-out",
    "",
    "Options:",
    "  -E             at a time-out, send the alarm texts to the event monitor and the peers,",
    "                 and add a callout record to -F",
    "  -P<id>         the callout record's project id (0)",
    "  -L<id>         the callout record's language id (1)",
    "  -S<id>         the callout record's state id (0)",
    "  -T<number>     the callout record's telephone number",
    "  -R             show only the remote countdown",
    "  -V<list>       the peers -Q lets in: addresses and a.b.c.d/n ranges, comma separated",
    "  -N             take no screen shot at a time-out",
    "  -U             create no crash dumps of the watched programs",
    "  -H             log first-chance exceptions of the watched programs",
    "  -M             write the larger crash dump too",
    "  -h, --help, -help, -?",
    "                 print this text and end (-h or -help among other options is -H)",
};

char UpperLetter(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsOptionLetter(char upper) {
    return std::string_view("ABCDEFGHIKLMNOPQRSTUVWX").find(upper) != std::string_view::npos;
}

template <size_t N>
std::string JoinedLines(const char* const (&lines)[N]) {
    std::string text;
    for (const char* line : lines) {
        if (!text.empty()) {
            text += '\n';
        }
        text += line;
    }
    return text;
}

}  // namespace

std::string UsageText() {
    return JoinedLines(kUsageLines);
}

std::string HelpText() {
    return JoinedLines(kHelpLines);
}

void ShowUsage() {
    // Headless too a line per option, its tabs lining the texts up.
    platform::ShowLaidOutMessageBox(UsageText(), "Tormbel",
                                    platform::kMbOk | platform::kMbIconInformation);
}

int32_t ReadNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Past 32 bits the number wraps, as the run time's conversion to int does.
    uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + static_cast<uint32_t>(text[i] - '0');
    }
    return static_cast<int32_t>(negative ? 0u - value : value);
}

void OptionReader::ParseParam(std::string_view text, bool is_flag) {
    // A plain argument (a document name to the framework) means nothing to the watchdog.
    if (options_.countdown == 0 || !is_flag) {
        return;
    }
    const char letter = text.empty() ? '\0' : text.front();
    if (letter < 'A' || letter > 'x' || !IsOptionLetter(UpperLetter(letter))) {
        ShowUsage();
        options_.countdown = 0;
        options_.wait = 0;
        return;
    }
    ParseOption(UpperLetter(letter), text.substr(1));
}

void OptionReader::ParseOption(char letter, std::string_view value) {
    WatchdogOptions& o = options_;
    const auto default_ports = [&o] {
        if (o.client_port == kPortUnset)
            o.client_port = kDefaultClientPort;
        if (o.server_port == kPortUnset)
            o.server_port = kDefaultServerPort;
    };
    switch (letter) {
        case 'A':
            o.address = std::string(value);
            default_ports();
            break;
        case 'E':
        case 'R':
            (letter == 'E' ? o.event_monitor : o.remote_only) = true;
            default_ports();
            if (o.address.empty())
                o.address = "localhost";
            break;
        case 'B':
            o.reboot = true;
            break;
        case 'D':
            o.card = true;
            break;
        case 'H':
            o.first_chance_log = true;
            break;
        case 'M':
            o.midi_dump = true;
            break;
        case 'N':
            o.screen_shot = false;
            break;
        case 'U':
            o.crash_dumps = false;
            break;
        case 'C':
            o.command = std::string(value);
            break;
        case 'F': {
            std::string path = platform::AsciiUpper(value);
            if (!path.empty() && path.find(kCalloutFileName) == std::string::npos) {
                if (path.back() != '\\')
                    path += '\\';
                path += kCalloutFileName;
            }
            o.callout_file = std::move(path);
            break;
        }
        case 'G':
            o.pulse = ReadNumber(value);
            break;
        case 'L':
            o.language = ReadNumber(value);
            break;
        case 'P':
            o.project = ReadNumber(value);
            break;
        case 'S':
            o.state = ReadNumber(value);
            break;
        case 'I':
            o.countdown = std::max(ReadNumber(value), kMinimumCountdownSeconds);
            break;
        case 'K':
            o.close_central = std::max(ReadNumber(value), 0);
            break;
        case 'W':
            o.wait = std::max(ReadNumber(value), 0);
            break;
        case 'X':
            o.alert = std::max(ReadNumber(value), 0);
            break;
        case 'O':
            o.client_port = ReadNumber(value);
            if (o.server_port == kPortUnset)
                o.server_port = kDefaultServerPort;
            if (o.address.empty())
                o.address = "localhost";
            break;
        case 'Q':
            o.server_port = ReadNumber(value);
            if (o.client_port == kPortUnset)
                o.client_port = kDefaultClientPort;
            if (o.address.empty())
                o.address = "localhost";
            break;
        case 'V': {
            std::string bad;
            // A list that does not read is refused at start-up, with the entry named.
            o.allowed_peers =
                foundation::AddressList::Parse(value, &bad).value_or(foundation::AddressList());
            o.bad_peer_entry = bad;
            break;
        }
        case 'T': {
            const std::string bytes = platform::Utf8ToCp1252(value);
            o.phone.fill('\0');
            std::copy_n(bytes.begin(), std::min(bytes.size(), kPhoneFieldBytes - 1),
                        o.phone.begin());
            break;
        }
        default:
            break;
    }
}

void ReadCommandLine(const std::vector<std::string>& arguments, WatchdogOptions& options) {
    OptionReader reader(options);
    for (const std::string& argument : arguments) {
        const bool is_flag = !argument.empty() && (argument[0] == '-' || argument[0] == '/');
        reader.ParseParam(is_flag ? std::string_view(argument).substr(1) : argument, is_flag);
    }
}

}  // namespace ruzd::watchdog
