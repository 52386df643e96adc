// Helper program for the named mutex tests.
//   named_mutex_child probe NAME  exit 0 when the mutex could be taken, 1 when another holds
//                                 it, 2 on failure
//   named_mutex_child hold NAME   takes the mutex, writes "held\n" to stdout and keeps it until
//                                 stdin reaches its end (or the process is killed); exits 1 or
//                                 2 like probe when it cannot take it
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/named_mutex.h"

int main(int argc, char** argv) {
    using ruzd::platform::NamedMutex;
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s probe|hold NAME\n", argv[0]);
        return 2;
    }
    NamedMutex mutex(argv[2]);
    switch (mutex.TryAcquire()) {
        case NamedMutex::Acquire::kAcquired:
            break;
        case NamedMutex::Acquire::kHeldElsewhere:
            return 1;
        case NamedMutex::Acquire::kFailed:
            return 2;
    }
    if (std::strcmp(argv[1], "hold") == 0) {
        std::fputs("held\n", stdout);
        std::fflush(stdout);
        char buffer[64];
        while (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
        }
    }
    return 0;
}
