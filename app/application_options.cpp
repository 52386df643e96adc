#include "app/application_options.h"

#include <algorithm>
#include <cctype>
#include <climits>

#include "foundation/registry.h"
#include "platform/text.h"

namespace ruzd::app {

namespace {

constexpr std::string_view kServerPrefix = "-server:";

bool IsDigitAt(std::string_view text, size_t i) {
    return i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]));
}

// The decimal number at `i`, saturated at the largest signed 32-bit value.
int32_t NumberAt(std::string_view text, size_t i) {
    int64_t value = 0;
    for (; IsDigitAt(text, i); ++i) {
        value = std::min<int64_t>(INT32_MAX, value * 10 + (text[i] - '0'));
    }
    return static_cast<int32_t>(value);
}

bool CharIs(std::string_view text, size_t i, char c) {
    return i < text.size() && text[i] == c;
}

void ReadAmtelcoOption(std::string_view option, size_t i, ApplicationOptions& options) {
    options.configureAmtelco = true;
    if (CharIs(option, i, 'b')) {
        if (IsDigitAt(option, i + 1)) {
            options.amtelcoBoard = NumberAt(option, i + 1);
        }
    } else if (CharIs(option, i, 'c')) {
        options.busClockMaster = CharIs(option, i + 1, '1');
    } else if (CharIs(option, i, 's')) {
        options.ctBus = CharIs(option, i + 1, '1');
    }
}

}  // namespace

ApplicationOptions ParseApplicationOptions(const std::vector<std::string>& arguments) {
    ApplicationOptions options;
    for (const std::string& argument : arguments) {
        const std::string option = platform::AsciiLower(argument);
        if (option.starts_with(kServerPrefix)) {
            options.remoteAddress = option.substr(kServerPrefix.size());
        }
        const size_t letter = option.starts_with('-') ? 1 : 0;
        if (letter >= option.size()) {
            continue;
        }
        switch (option[letter]) {
            case 'a':
                ReadAmtelcoOption(option, letter + 1, options);
                break;
            case 'd':
                if (option != "-debug") {
                    options.debugOn = true;
                    if (IsDigitAt(option, letter + 1)) {
                        options.traceLevel = NumberAt(option, letter + 1);
                    }
                }
                break;
            case 'w':
                if (!option.starts_with("-workingdir:")) {
                    if (IsDigitAt(option, letter + 1)) {
                        options.waitSeconds = static_cast<uint32_t>(NumberAt(option, letter + 1));
                    }
                    if (options.waitSeconds == 0) {
                        options.waitSeconds = 40;
                    }
                }
                break;
            default:
                break;
        }
    }
    return options;
}

bool IsApplicationOption(std::string_view argument) {
    const std::string option = platform::AsciiLower(argument);
    if (option.starts_with(kServerPrefix)) {
        return true;
    }
    const size_t letter = option.starts_with('-') ? 1 : 0;
    if (letter >= option.size()) {
        return false;
    }
    switch (option[letter]) {
        case 'a':
            return true;
        case 'd':
            return option != "-debug";
        case 'w':
            return !option.starts_with("-workingdir:");
        default:
            return false;
    }
}

bool StoreRemoteAddress(std::string_view address) {
    foundation::CRegistry registry("Pelwix");
    return registry.WriteString("Remote Vesmarin Address", address);
}

}  // namespace ruzd::app
