// Helper program of the window message tests: plays another process's window.
//   message_window_child CLASS TITLE REPLY|none [hang]
// See testing/window_child.h for what it writes and reads.
#include <cstdio>
#include <cstring>

#include "testing/window_child.h"

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: %s CLASS TITLE REPLY|none [hang]\n", argv[0]);
        return 2;
    }
    const bool hang = argc == 5 && std::strcmp(argv[4], "hang") == 0;
    return ruzd::testing::RunWindowChild(argv[1], argv[2], argv[3], hang);
}
