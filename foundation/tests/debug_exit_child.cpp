// Starts the debug log in C:\Debug of the platform root, traces the number of lines given as
// its argument and leaves main without stopping the log.

#include <cstdlib>

#include "foundation/debug_log.h"
#include "foundation/trace.h"

int main(int argc, char** argv) {
    const int lines = argc > 1 ? std::atoi(argv[1]) : 0;
    ruzd::foundation::StartDebugLog("C:\\Debug\\Tav", 5, true, 0);
    for (int i = 0; i < lines; ++i)
        ruzd::foundation::Trace(ruzd::foundation::kTraceVoice, 1, "line %d", i);
    return 0;
}
