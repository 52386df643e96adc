#include "platform/error_output.h"

#include <unistd.h>

#include <string>

#include "platform/running_program.h"
#include "platform/write_whole.h"

namespace ruzd::platform {

void WriteErrorLine(std::string_view text) {
    std::string line = RunningProgramBaseName();
    if (line.empty()) {
        line = "ruzd";  // its program file could not be read
    }
    line += ": ";
    line += text;
    line += '\n';
    WriteWhole(STDERR_FILENO, line.data(), line.size());
}

}  // namespace ruzd::platform
