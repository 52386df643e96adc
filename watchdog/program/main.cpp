// The watchdog program Tormbel. It runs headless: its window is a message window the node finds
// by class, and its messages, timer and sockets all run on the main thread. Asked for help, it
// prints its usage and starts nothing.

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "foundation/version_note.h"
#include "platform/command_line.h"
#include "platform/system_reboot.h"
#include "watchdog/option_reader.h"
#include "watchdog/tormbel_app.h"
#include "watchdog/tormbel_log.h"

namespace {

// "-h" and "-help" are also the option H (letters count in either case, and the rest of the word
// is its value): they ask for help only alone, and among other options log first-chance
// exceptions as they always did.
bool AsksForHelp(const std::vector<std::string>& words) {
    return std::any_of(words.begin() + 1, words.end(), [&](const std::string& word) {
        const bool optionH = word.size() >= 2 && (word[1] == 'h' || word[1] == 'H');
        return ruzd::platform::IsHelpWord(word) && (words.size() == 2 || !optionH);
    });
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> words(argv, argv + argc);
    // The helper that restarts the machine after a time-out's delay (platform/system_reboot.h).
    if (const std::optional<int> status = ruzd::platform::RunRebootHelper(
            words, [](const std::string& line) { ruzd::watchdog::WriteLog(line); })) {
        return *status;
    }
    if (AsksForHelp(words)) {
        const std::string usage = ruzd::watchdog::HelpText() + "\n";
        std::fwrite(usage.data(), 1, usage.size(), stdout);
        return 0;
    }
    return ruzd::watchdog::RunTormbel(words);
}
