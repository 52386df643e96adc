// Helper program of the heartbeat tests: plays the watchdog's window (class "Tormbel").
//   tormbel_window_child REPLY|none [hang]
// It answers every sent message with REPLY (1 running, 2 paused) and writes a line for each;
// see testing/window_child.h.
#include <cstdio>
#include <cstring>

#include "testing/window_child.h"

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s REPLY|none [hang]\n", argv[0]);
        return 2;
    }
    const bool hang = argc == 3 && std::strcmp(argv[2], "hang") == 0;
    return ruzd::testing::RunWindowChild("Tormbel", "Tormbel", argv[1], hang);
}
