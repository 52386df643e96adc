// The watchdog program Tormbel. It runs headless: its window is a message window the node finds
// by class, and its messages, timer and sockets all run on the main thread.

#include <string>
#include <vector>

#include "foundation/version_note.h"
#include "watchdog/tormbel_app.h"

int main(int argc, char** argv) {
    return ruzd::watchdog::RunTormbel(std::vector<std::string>(argv, argv + argc));
}
