// The watchdog program Tormbel. It runs headless: its window is a message window the node finds
// by class, and its messages, timer and sockets all run on the main thread. Asked for help, it
// prints its usage and starts nothing.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "foundation/version_note.h"
#include "platform/command_line.h"
#include "watchdog/option_reader.h"
#include "watchdog/tormbel_app.h"

int main(int argc, char** argv) {
    const std::vector<std::string> words(argv, argv + argc);
    if (std::any_of(words.begin() + 1, words.end(), ruzd::platform::IsHelpWord)) {
        const std::string usage = ruzd::watchdog::UsageText() + "\n";
        std::fwrite(usage.data(), 1, usage.size(), stdout);
        return 0;
    }
    return ruzd::watchdog::RunTormbel(words);
}
